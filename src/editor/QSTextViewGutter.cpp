// The text view's gutter: line numbers and the markers of the last compile.
#include "editor/QSTextView.h"

#include "editor/LineNumberGutter.h"
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
    return 8 + fontMetrics().horizontalAdvance(u'9') * qMax(2, digits) + icon;
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
    const int numbersRight = gutter->width() - icon - 6;
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
