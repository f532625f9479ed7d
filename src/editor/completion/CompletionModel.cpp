#include "editor/completion/CompletionModel.h"

void CompletionModel::setItems(QList<CompletionItem> items)
{
    beginResetModel();
    _items = std::move(items);
    _rows.clear();
    endResetModel();
}

void CompletionModel::setRows(QList<int> rows)
{
    beginResetModel();
    _rows = std::move(rows);
    endResetModel();
}

int CompletionModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(_rows.size());
}

QVariant CompletionModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= _rows.size())
        return {};
    const int at = _rows.at(index.row());
    const CompletionItem &item = _items.at(at);
    switch (role) {
    case Qt::EditRole:
        return item.name;
    case Qt::DisplayRole: {
        // A command shows its whole template; an environment, its name and arguments.
        QString shown =
            item.insertion.startsWith(item.name) ? item.insertion : item.name + item.insertion;
        if (!item.where.isEmpty() || !item.detail.isEmpty())
            shown += QStringLiteral("  —  ") + item.where;
        if (!item.where.isEmpty() && !item.detail.isEmpty())
            shown += QStringLiteral(" · ");
        shown += item.detail;
        return shown;
    }
    case Qt::UserRole:
        return at;
    default:
        return {};
    }
}
