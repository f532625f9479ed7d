#pragma once

#include "editor/completion/CompletionItem.h"

#include <QAbstractListModel>

// The candidates of the completion popup: of all the items of a kind, the rows
// offered now, in the order offered. The edit role is an item's name; the display
// role is the item as the popup shows it, with its placeholders and, after a dash,
// its detail; the user role is the item's index among all.
class CompletionModel : public QAbstractListModel
{
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    // All items, and the indexes of those shown; none shown until setRows.
    void setItems(QList<CompletionItem> items);
    void setRows(QList<int> rows);
    const CompletionItem &item(int index) const { return _items.at(index); }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    QList<CompletionItem> _items;
    QList<int> _rows;
};
