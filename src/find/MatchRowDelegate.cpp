#include "find/MatchRowDelegate.h"

#include "find/FindAndReplaceOutlineViewDataSource.h"
#include "platform/Theme.h"

#include <QApplication>
#include <QPainter>

namespace {

constexpr int margin = 4;

// Room for four digits, so that the texts of a file's rows start in one column in all
// but the longest files, without taking much of a narrow outline.
int numberWidth(const QFontMetrics &metrics, const QString &number = {})
{
    return qMax(metrics.horizontalAdvance(QStringLiteral("0000")),
                metrics.horizontalAdvance(number));
}

} // namespace

MatchRowDelegate::MatchRowDelegate(QAbstractItemDelegate *standsFor, QObject *parent)
    : QStyledItemDelegate(parent)
    , _standsFor(standsFor)
{}

bool MatchRowDelegate::isMatchRow(const QModelIndex &index) const
{
    const auto *results = qobject_cast<const FindAndReplaceOutlineViewDataSource *>(index.model());
    return results && results->isMatchRow(index);
}

void MatchRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const
{
    if (!isMatchRow(index)) {
        if (_standsFor)
            return _standsFor->paint(painter, option, index);
        return QStyledItemDelegate::paint(painter, option, index);
    }
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    QStyle *style = cell.widget ? cell.widget->style() : QApplication::style();
    // The row's background and selection, without the default text.
    cell.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);

    const Theme &theme = Theme::current();
    const bool selected = option.state & QStyle::State_Selected;
    const QString text = index.data(FindAndReplaceOutlineViewDataSource::LineTextRole).toString();
    const qsizetype markStart = qBound<qsizetype>(
        0, index.data(FindAndReplaceOutlineViewDataSource::MarkStartRole).toLongLong(),
        text.size());
    const qsizetype markLength = qBound<qsizetype>(
        0, index.data(FindAndReplaceOutlineViewDataSource::MarkLengthRole).toLongLong(),
        text.size() - markStart);

    painter->save();
    QRect area = option.rect.adjusted(margin, 0, -margin, 0);
    const QFontMetrics plain(cell.font);
    painter->setFont(cell.font);
    painter->setPen(selected ? cell.palette.color(QPalette::HighlightedText) : theme.gutterText);
    const QString line = index.data(FindAndReplaceOutlineViewDataSource::LineNumberRole).toString();
    const QRect number(area.x(), area.y(), numberWidth(plain, line), area.height());
    painter->drawText(number, Qt::AlignRight | Qt::AlignVCenter, line);
    area.setLeft(number.right() + 1 + margin);

    const QColor textColour = selected ? cell.palette.color(QPalette::HighlightedText)
                                       : cell.palette.color(QPalette::Text);
    QFont bold = cell.font;
    bold.setBold(true);
    const QFontMetrics boldMetrics(bold);
    // Before, the match, after: each drawn from where the one before ended, until the
    // row's width is used up. In a narrow outline the text before a match far into its
    // line gives way (from its start) so that the match is in view.
    QString before = text.left(markStart);
    const QString marked = text.mid(markStart, markLength);
    if (plain.horizontalAdvance(before) + boldMetrics.horizontalAdvance(marked) > area.width())
        before = plain.elidedText(before, Qt::ElideLeft, area.width() / 3);
    const struct
    {
        QString text;
        bool mark;
    } parts[] = {{before, false}, {marked, true}, {text.mid(markStart + markLength), false}};
    int x = area.x();
    for (const auto &part : parts) {
        if (part.text.isEmpty() || x >= area.right())
            continue;
        const QFontMetrics &metrics = part.mark ? boldMetrics : plain;
        const QString shown = metrics.elidedText(part.text, Qt::ElideRight, area.right() - x + 1);
        const int width = metrics.horizontalAdvance(shown);
        const QRect box(x, area.y() + 1, width, area.height() - 2);
        if (part.mark) {
            // The theme's own text colour over its own mark colour, whatever the
            // row's selection: the pair is chosen to be read in either theme.
            painter->fillRect(box, theme.findIndicator);
            painter->setPen(theme.text);
            painter->setFont(bold);
        } else {
            painter->setPen(textColour);
            painter->setFont(cell.font);
        }
        painter->drawText(QRect(x, area.y(), width, area.height()),
                          Qt::AlignLeft | Qt::AlignVCenter, shown);
        x += width;
    }
    painter->restore();
}

// The view asks every row of an opened list for its size; the text's width is only
// estimated, the outline's one column taking the view's width in any case.
QSize MatchRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (!isMatchRow(index))
        return _standsFor ? _standsFor->sizeHint(option, index)
                          : QStyledItemDelegate::sizeHint(option, index);
    const QFontMetrics &metrics = option.fontMetrics;
    const qsizetype characters =
        index.data(FindAndReplaceOutlineViewDataSource::LineTextRole).toString().size();
    // As high as the outline's rows with their 16-pixel icons.
    return QSize(numberWidth(metrics) + 3 * margin + metrics.averageCharWidth() * int(characters),
                 qMax(metrics.height(), 16) + 4);
}

bool MatchRowDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view,
                                 const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (!isMatchRow(index) && _standsFor)
        return _standsFor->helpEvent(event, view, option, index);
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}
