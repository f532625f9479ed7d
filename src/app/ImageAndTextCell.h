#pragma once

#include <QStyledItemDelegate>

// Draws an outline row: a 16 by 16 icon at the left (the row's decoration) and
// the name beside it. Used by the document outline, the diagnostics and the find
// results.
class ImageAndTextCell : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr int iconSize = 16;

    using QStyledItemDelegate::QStyledItemDelegate;

    // The text area of a cell: without the icon strip (the icon's width and 3, or 3
    // without an icon), moved by (2, 2), 4 less high.
    static QRect titleRectForBounds(const QRect &bounds, bool hasIcon);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;
};
