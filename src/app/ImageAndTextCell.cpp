#include "app/ImageAndTextCell.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>

namespace {

bool hasIcon(const QModelIndex &index)
{
    return !index.data(Qt::DecorationRole).value<QIcon>().isNull();
}

int stripWidth(bool icon)
{
    return (icon ? ImageAndTextCell::iconSize : 0) + 3;
}

} // namespace

QRect ImageAndTextCell::titleRectForBounds(const QRect &bounds, bool hasIcon)
{
    const int strip = stripWidth(hasIcon);
    return QRect(bounds.x() + strip + 2, bounds.y() + 2, bounds.width() - strip,
                 bounds.height() - 4);
}

void ImageAndTextCell::paint(QPainter *painter, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const
{
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    QStyle *style = cell.widget ? cell.widget->style() : QApplication::style();
    // The row's background and selection, without the default icon and text.
    const QString text = cell.text;
    const QIcon icon = cell.icon;
    cell.text.clear();
    cell.icon = QIcon();
    cell.features &= ~QStyleOptionViewItem::HasDecoration;
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);

    const bool withIcon = !icon.isNull();
    if (withIcon) {
        const int y = option.rect.y() + (option.rect.height() - iconSize + 1) / 2;
        icon.paint(painter, QRect(option.rect.x() + 3, y, iconSize, iconSize));
    }
    const QRect textRect = titleRectForBounds(option.rect, withIcon);
    painter->save();
    painter->setPen(cell.palette.color(
        option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(cell.font);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                      cell.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width()));
    painter->restore();
}

QSize ImageAndTextCell::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const QSize text = cell.fontMetrics.size(Qt::TextSingleLine, cell.text);
    return QSize(text.width() + stripWidth(hasIcon(index)) + 4, qMax(text.height(), iconSize) + 4);
}

// In-place editing covers the text area only, never the icon.
void ImageAndTextCell::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                            const QModelIndex &index) const
{
    editor->setGeometry(titleRectForBounds(option.rect, hasIcon(index)));
}
