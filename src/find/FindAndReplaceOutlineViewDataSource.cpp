#include "find/FindAndReplaceOutlineViewDataSource.h"

#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"
#include "platform/OutlineAppearance.h"

void FindAndReplaceOutlineViewDataSource::setFindAndReplaceResults(
    const QList<std::shared_ptr<QSSectionNode>> &results)
{
    beginResetModel();
    _findAndReplaceResults = results;
    endResetModel();
}

std::shared_ptr<QSSectionNode>
FindAndReplaceOutlineViewDataSource::nodeForIndex(const QModelIndex &index) const
{
    return index.isValid() ? _findAndReplaceResults.value(index.row()) : nullptr;
}

QModelIndex FindAndReplaceOutlineViewDataSource::index(int row, int column,
                                                       const QModelIndex &parent) const
{
    return hasIndex(row, column, parent) ? createIndex(row, column) : QModelIndex();
}

QModelIndex FindAndReplaceOutlineViewDataSource::parent(const QModelIndex &) const
{
    return {};
}

int FindAndReplaceOutlineViewDataSource::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(_findAndReplaceResults.size());
}

int FindAndReplaceOutlineViewDataSource::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant FindAndReplaceOutlineViewDataSource::data(const QModelIndex &index, int role) const
{
    const std::shared_ptr<QSSectionNode> node = nodeForIndex(index);
    if (!node)
        return {};
    if (role == Qt::DisplayRole) {
        // The edit worker renames nodes as the user types.
        return OutlineAppearance::shownName(QSFilePool::nameOfNode(*node));
    }
    if (role == Qt::DecorationRole) {
        return OutlineAppearance::iconForType(node->isFileNode() ? QStringLiteral("quillsetFile")
                                                                 : node->nodeType());
    }
    return {};
}
