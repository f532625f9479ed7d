#pragma once

#include "editor/completion/CompletionItem.h"

#include <QAbstractListModel>

// The candidates of the completion popup. The edit role is the name
// the typed text is matched against; the display role is the item as the popup
// shows it, with its placeholders and, after a dash, its detail.
class CompletionModel : public QAbstractListModel
{
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    // Sorted by name ignoring case, so that the completer finds those a typed text
    // starts by halving.
    void setItems(QList<CompletionItem> items);
    const CompletionItem &item(int row) const { return _items.at(row); }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    QList<CompletionItem> _items;
};
