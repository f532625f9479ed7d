#pragma once

#include <QAbstractItemModel>
#include <QPointer>
#include <memory>
#include <vector>

class QSSectionNode;
class WordCounts;

// The outline of a document as an item model: one top-level row for the root
// file, under each node its sections and included files (text nodes and includes
// whose file was not found are not shown; an include shows the included file's
// root), and, as the View menu chooses, the labels, figures, tables and
// bibliographies of its text in document order among them. The model keeps its own picture of the
// tree and brings it up to date on the UI thread with as few row changes as it can, so that
// expanded and selected rows stay as they are wherever their nodes are still there.
class OutlineViewDataSource : public QAbstractItemModel
{
    Q_OBJECT

public:
    // The words of a row's section (with its subsections and included files), an
    // int; none until the counts know the row.
    static constexpr int WordCountRole = Qt::UserRole + 1;

    explicit OutlineViewDataSource(std::shared_ptr<QSSectionNode> rootItem,
                                   QObject *parent = nullptr);
    ~OutlineViewDataSource() override;

    // A new root node (the root file was read again or replaced).
    void setRootItem(std::shared_ptr<QSSectionNode> rootItem);
    std::shared_ptr<QSSectionNode> rootItem() const;
    // Brings the rows up to date with the trees; takes the document-model lock.
    void reloadFromTree();
    // Whether the rows are being brought up to date: a row chosen meanwhile was
    // chosen by the view (the chosen row went), not by the user.
    bool isReloading() const { return _reloading; }

    // The counts whose section words the rows' tooltips give. Counts that change
    // send no row change: a tooltip is asked for when it is shown.
    void setWordCounts(const WordCounts *counts);

    // The node a row stands for; for a label's, float's or bibliography's row, the
    // node whose text holds it.
    std::shared_ptr<QSSectionNode> nodeForIndex(const QModelIndex &index) const;
    // Where in its node's own text a label's, float's or bibliography's row stands
    // (as of the last reload); 0 for other rows.
    qint32 offsetForIndex(const QModelIndex &index) const;
    // The first row that shows the node, or an invalid index.
    QModelIndex indexForNode(const QSSectionNode *node) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;

private:
    struct Item;
    struct Entry;
    std::vector<Entry> shownChildren(const std::shared_ptr<QSSectionNode> &node) const;
    const QList<std::shared_ptr<QSSectionNode>> &childrenRead(const QSSectionNode &node) const;
    bool readAsBefore(const Item &item) const;
    void remember(Item &item) const;
    Item *itemForIndex(const QModelIndex &index) const;
    QModelIndex indexForItem(Item *item) const;
    void sync(Item *item);
    std::unique_ptr<Item> makeItem(const Entry &entry, Item *parent) const;

    std::unique_ptr<Item> _invisibleRoot;
    std::shared_ptr<QSSectionNode> _rootItem;
    QPointer<const QObject> _wordCounts; // a WordCounts
    bool _reloading = false;
    int _shownLandmarks = 0; // OutlineLandmarkRows::Shown flags, from the View menu
};
