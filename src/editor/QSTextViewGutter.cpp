// The text view's gutter: line numbers, the markers of the last compile, and the
// markers of the folds at its right edge.
#include "editor/QSTextView.h"

#include "editor/LineNumberGutter.h"
#include "editor/TextFolding.h"
#include "model/ErrorWarningNode.h"
#include "platform/Theme.h"

#include <QIcon>
#include <QPainter>
#include <QStyle>
#include <QTextBlock>

int QSTextView::gutterWidth() const
{
    const int digits = QString::number(qMax(1, blockCount())).size();
    const int icon = fontMetrics().height();
    return 8 + fontMetrics().horizontalAdvance(u'9') * qMax(2, digits) + icon + foldColumn();
}

int QSTextView::foldColumn() const
{
    return fontMetrics().height() * 3 / 4;
}

void QSTextView::gutterClicked(QPoint point)
{
    if (point.x() < _gutter->width() - foldColumn())
        return;
    const QTextBlock line = cursorForPosition(QPoint(0, point.y())).block();
    if (TextFolding::startsFold(line))
        _folding->toggle(line.blockNumber());
}

void QSTextView::layOutGutter()
{
    const int width = gutterWidth();
    if (viewportMargins().left() != width)
        setViewportMargins(width, 0, 0, 0);
    const QRect area = contentsRect();
    _gutter->setGeometry(area.left(), area.top(), width, area.height());
}

void QSTextView::setDiagnostics(const QList<std::shared_ptr<ErrorWarningNode>> &diagnostics)
{
    _markers.clear();
    for (const std::shared_ptr<ErrorWarningNode> &diagnostic : diagnostics) {
        const QTextBlock line = document()->findBlockByNumber(diagnostic->lineNumber - 1);
        if (diagnostic->lineNumber > 0 && line.isValid())
            _markers.append({QTextCursor(line), diagnostic});
    }
    _gutter->update();
}

QMap<int, bool> QSTextView::markedLines() const
{
    QMap<int, bool> lines;
    for (const Marker &marker : _markers) {
        if (const auto diagnostic = marker.diagnostic.lock())
            lines[marker.at.blockNumber() + 1] |= diagnostic->type == QStringLiteral("error");
    }
    return lines;
}

void QSTextView::paintGutter(QWidget *gutter, const QRect &rect)
{
    QPainter painter(gutter);
    painter.fillRect(rect, Theme::current().gutter);
    painter.setPen(Theme::current().gutterText);
    const QMap<int, bool> marked = markedLines();
    const int lineHeight = fontMetrics().height();
    const int icon = lineHeight;
    const int fold = foldColumn();
    const int numbersRight = gutter->width() - icon - fold - 6;
    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    while (block.isValid() && top <= rect.bottom()) {
        const qreal height = blockBoundingRect(block).height();
        if (block.isVisible() && top + height >= rect.top()) {
            const int line = block.blockNumber() + 1;
            painter.drawText(QRect(0, int(top), numbersRight, lineHeight), Qt::AlignRight,
                             QString::number(line));
            if (const auto mark = marked.find(line); mark != marked.end()) {
                const QIcon symbol = style()->standardIcon(*mark ? QStyle::SP_MessageBoxCritical
                                                                 : QStyle::SP_MessageBoxWarning);
                symbol.paint(&painter, QRect(numbersRight + 3, int(top), icon, icon));
            }
            if (TextFolding::startsFold(block)) {
                // A triangle pointing right when closed, down when open.
                const QRectF box(gutter->width() - fold, top + (lineHeight - fold) / 2.0, fold,
                                 fold);
                const qreal inset = fold / 4.0;
                const QRectF shape = box.adjusted(inset, inset, -inset, -inset);
                const QPolygonF triangle =
                    _folding->isFolded(block.blockNumber())
                        ? QPolygonF{shape.topLeft(), shape.bottomLeft(),
                                    QPointF(shape.right(), shape.center().y())}
                        : QPolygonF{shape.topLeft(), shape.topRight(),
                                    QPointF(shape.center().x(), shape.bottom())};
                painter.save();
                painter.setRenderHint(QPainter::Antialiasing);
                painter.setPen(Qt::NoPen);
                painter.setBrush(Theme::current().gutterText);
                painter.drawPolygon(triangle);
                painter.restore();
            }
        }
        block = block.next();
        top += height;
    }
}

QString QSTextView::markerMessagesAt(int y) const
{
    const int line = cursorForPosition(QPoint(0, y)).blockNumber();
    QStringList messages;
    for (const Marker &marker : _markers) {
        if (const auto diagnostic = marker.diagnostic.lock();
            diagnostic && marker.at.blockNumber() == line)
            messages << diagnostic->msg.trimmed();
    }
    return messages.join(u'\n');
}
