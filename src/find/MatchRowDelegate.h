#pragma once

#include <QPointer>
#include <QStyledItemDelegate>

// Draws the match rows of a whole-document search: the line number in the gutter's
// colour, then the line's text with the match in bold on the find indicator's
// colour of the current theme (with the theme's text colour over it, readable in
// light and dark). Every other row, of the search's list or of another model the
// view shows, goes to the delegate it stands in for.
class MatchRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit MatchRowDelegate(QAbstractItemDelegate *standsFor, QObject *parent = nullptr);

    QAbstractItemDelegate *standsFor() const { return _standsFor; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

private:
    bool isMatchRow(const QModelIndex &index) const;

    QPointer<QAbstractItemDelegate> _standsFor; // not owned; the view's own delegate
};
