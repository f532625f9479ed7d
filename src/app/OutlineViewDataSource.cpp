#include "app/OutlineViewDataSource.h"

#include "editor/wordcount/WordCountLabel.h"
#include "editor/wordcount/WordCounts.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"
#include "platform/OutlineAppearance.h"

#include <QIcon>

struct OutlineViewDataSource::Item
{
    std::shared_ptr<QSSectionNode> node;
    QString name;
    QString type;
    Item *parent = nullptr;
    int row = 0; // the place among the parent's children, kept by sync
    std::vector<std::unique_ptr<Item>> children;

    void numberChildrenFrom(size_t first)
    {
        for (size_t i = first; i < children.size(); ++i)
            children[i]->row = int(i);
    }
};

namespace {

// The children a row shows: no text, no include whose file was not found, and
// an include as the root of the file it includes.
QSSectionNode::List shownChildren(const std::shared_ptr<QSSectionNode> &node)
{
    QSSectionNode::List shown;
    for (const std::shared_ptr<QSSectionNode> &child : node->childrenWithoutTextNodes()) {
        if (!child->isFileIncludeNode())
            shown.append(child);
        else if (!child->children().isEmpty())
            shown.append(child->children().first());
    }
    return shown;
}

} // namespace

OutlineViewDataSource::OutlineViewDataSource(std::shared_ptr<QSSectionNode> rootItem,
                                             QObject *parent)
    : QAbstractItemModel(parent)
    , _invisibleRoot(std::make_unique<Item>())
{
    setRootItem(std::move(rootItem));
}

OutlineViewDataSource::~OutlineViewDataSource() = default;

void OutlineViewDataSource::setRootItem(std::shared_ptr<QSSectionNode> rootItem)
{
    _rootItem = std::move(rootItem);
    reloadFromTree();
}

void OutlineViewDataSource::setWordCounts(const WordCounts *counts)
{
    _wordCounts = counts;
}

std::shared_ptr<QSSectionNode> OutlineViewDataSource::rootItem() const
{
    return _rootItem;
}

std::unique_ptr<OutlineViewDataSource::Item>
OutlineViewDataSource::makeItem(const std::shared_ptr<QSSectionNode> &node, Item *parent) const
{
    auto item = std::make_unique<Item>();
    item->node = node;
    item->name = node->nodeName();
    item->type = node->nodeType();
    item->parent = parent;
    for (const std::shared_ptr<QSSectionNode> &child : shownChildren(node))
        item->children.push_back(makeItem(child, item.get()));
    item->numberChildrenFrom(0);
    return item;
}

void OutlineViewDataSource::reloadFromTree()
{
    // The rows are read from the trees in one walk, which no edit may change half way.
    std::lock_guard lock(QSFilePool::documentModelLock());
    sync(_invisibleRoot.get());
}

// Keeps the rows at the start and at the end whose nodes are the same, pairs the
// rows between them with the new nodes while their kinds agree (a section whose
// title was edited is a new node, but the same row), and removes and inserts
// only the rest. Then does the same one level down.
void OutlineViewDataSource::sync(Item *item)
{
    const QSSectionNode::List nodes =
        item == _invisibleRoot.get()
            ? (_rootItem ? QSSectionNode::List{_rootItem} : QSSectionNode::List{})
            : shownChildren(item->node);
    std::vector<std::unique_ptr<Item>> &rows = item->children;
    const QModelIndex parentIndex = indexForItem(item);
    const size_t oldCount = rows.size();
    const size_t newCount = size_t(nodes.size());

    size_t head = 0;
    while (head < oldCount && head < newCount && rows[head]->node == nodes[qsizetype(head)])
        ++head;
    size_t tail = 0;
    while (tail < oldCount - head && tail < newCount - head
           && rows[oldCount - 1 - tail]->node == nodes[qsizetype(newCount - 1 - tail)]) {
        ++tail;
    }
    size_t paired = head;
    while (paired < oldCount - tail && paired < newCount - tail
           && rows[paired]->type == nodes[qsizetype(paired)]->nodeType()) {
        rows[paired]->node = nodes[qsizetype(paired)];
        ++paired;
    }

    if (oldCount - tail > paired) {
        beginRemoveRows(parentIndex, int(paired), int(oldCount - tail - 1));
        rows.erase(rows.begin() + qsizetype(paired), rows.begin() + qsizetype(oldCount - tail));
        item->numberChildrenFrom(paired);
        endRemoveRows();
    }
    if (newCount - tail > paired) {
        beginInsertRows(parentIndex, int(paired), int(newCount - tail - 1));
        std::vector<std::unique_ptr<Item>> made;
        for (size_t i = paired; i < newCount - tail; ++i)
            made.push_back(makeItem(nodes[qsizetype(i)], item));
        rows.insert(rows.begin() + qsizetype(paired), std::make_move_iterator(made.begin()),
                    std::make_move_iterator(made.end()));
        item->numberChildrenFrom(paired);
        endInsertRows();
    }

    for (const std::unique_ptr<Item> &row : rows) {
        const QString name = row->node->nodeName();
        if (name != row->name) {
            row->name = name;
            const QModelIndex changed = indexForItem(row.get());
            emit dataChanged(changed, changed);
        }
        sync(row.get());
    }
}

std::shared_ptr<QSSectionNode> OutlineViewDataSource::nodeForIndex(const QModelIndex &index) const
{
    const Item *item = itemForIndex(index);
    return item ? item->node : nullptr;
}

QModelIndex OutlineViewDataSource::indexForNode(const QSSectionNode *node) const
{
    QList<Item *> work{_invisibleRoot.get()};
    while (!work.isEmpty()) {
        Item *item = work.takeFirst();
        if (item->node.get() == node)
            return indexForItem(item);
        for (const std::unique_ptr<Item> &child : item->children)
            work.append(child.get());
    }
    return {};
}

OutlineViewDataSource::Item *OutlineViewDataSource::itemForIndex(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<Item *>(index.internalPointer()) : nullptr;
}

QModelIndex OutlineViewDataSource::indexForItem(Item *item) const
{
    if (!item || item == _invisibleRoot.get())
        return {};
    return createIndex(item->row, 0, item);
}

QModelIndex OutlineViewDataSource::index(int row, int column, const QModelIndex &parent) const
{
    const Item *parentItem = parent.isValid() ? itemForIndex(parent) : _invisibleRoot.get();
    if (column != 0 || row < 0 || size_t(row) >= parentItem->children.size())
        return {};
    return createIndex(row, 0, parentItem->children[size_t(row)].get());
}

QModelIndex OutlineViewDataSource::parent(const QModelIndex &index) const
{
    const Item *item = itemForIndex(index);
    return item ? indexForItem(item->parent) : QModelIndex();
}

int OutlineViewDataSource::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    const Item *item = parent.isValid() ? itemForIndex(parent) : _invisibleRoot.get();
    return int(item->children.size());
}

int OutlineViewDataSource::columnCount(const QModelIndex &) const
{
    return 1;
}

bool OutlineViewDataSource::hasChildren(const QModelIndex &parent) const
{
    return rowCount(parent) > 0;
}

QVariant OutlineViewDataSource::data(const QModelIndex &index, int role) const
{
    const Item *item = itemForIndex(index);
    if (!item)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return OutlineAppearance::shownName(item->name);
    case Qt::ToolTipRole: {
        const QVariant words = data(index, WordCountRole);
        return words.isValid() ? item->name + u'\n' + WordCountLabel::words(words.toInt())
                               : QVariant(item->name);
    }
    case WordCountRole:
        if (const auto *counts = static_cast<const WordCounts *>(_wordCounts.data())) {
            const auto found = counts->results().sections.constFind(item->node.get());
            if (found != counts->results().sections.cend())
                return *found;
        }
        return {};
    case Qt::DecorationRole:
        if (item->type == QStringLiteral("File"))
            return OutlineAppearance::iconForType(QStringLiteral("quillsetFile"));
        return {};
    default:
        return {};
    }
}
