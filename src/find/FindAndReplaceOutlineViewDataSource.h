#pragma once

#include <QAbstractItemModel>
#include <memory>

class QSSectionNode;

// The nodes found by a whole-document search, as a flat list for the outline view:
// each row shows the node's name and the icon of its kind.
class FindAndReplaceOutlineViewDataSource : public QAbstractItemModel
{
    Q_OBJECT

public:
    using QAbstractItemModel::QAbstractItemModel;

    const QList<std::shared_ptr<QSSectionNode>> &findAndReplaceResults() const
    {
        return _findAndReplaceResults;
    }
    void setFindAndReplaceResults(const QList<std::shared_ptr<QSSectionNode>> &results);
    std::shared_ptr<QSSectionNode> nodeForIndex(const QModelIndex &index) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QList<std::shared_ptr<QSSectionNode>> _findAndReplaceResults;
};
