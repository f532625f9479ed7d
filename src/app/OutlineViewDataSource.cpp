#include "app/OutlineViewDataSource.h"

#include "app/OutlineLandmarkRows.h"

#include "editor/wordcount/WordCountLabel.h"
#include "editor/wordcount/WordCounts.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"
#include "platform/OutlineAppearance.h"

#include "platform/UserDefaults.h"

#include <QFont>
#include <QIcon>
#include <QScopedValueRollback>

struct OutlineViewDataSource::Item
{
    std::shared_ptr<QSSectionNode> node;
    // A section's or file's name and type; or, for a row of the text's labels,
    // floats and bibliographies, the landmark's row.
    OutlineLandmarkRows::Row shown;
    bool isLandmark = false;
    Item *parent = nullptr;
    int row = 0; // the place among the parent's children, kept by sync
    std::vector<std::unique_ptr<Item>> children;
    // What the rows under it were made from, as of the last sync: the node's
    // children as shown, and the landmarks of its own text and of each text child
    // (held, so that an unchanged list is known by its shared data).
    std::vector<std::shared_ptr<QSSectionNode>> seenChildren;
    std::vector<QList<Landmark>> seenLandmarks;
    int seenShown = -1;

    void numberChildrenFrom(size_t first)
    {
        for (size_t i = first; i < children.size(); ++i)
            children[i]->row = int(i);
    }
};

// What a row stands for, before it is made.
struct OutlineViewDataSource::Entry
{
    std::shared_ptr<QSSectionNode> node;
    OutlineLandmarkRows::Row shown;
    bool isLandmark = false;

    // The same row: the same node, and for a landmark the same one (it may have moved).
    bool sameAs(const Item &item) const
    {
        return item.node == node && item.isLandmark == isLandmark
               && (!isLandmark
                   || (item.shown.type == shown.type && item.shown.name == shown.name
                       && item.shown.label == shown.label));
    }
};

namespace {

int shownLandmarks()
{
    const UserDefaults &defaults = UserDefaults::standardUserDefaults();
    return (defaults.boolForKey(QSOutlineShowsLabels) ? OutlineLandmarkRows::Labels : 0)
           | (defaults.boolForKey(QSOutlineShowsFloats) ? OutlineLandmarkRows::Floats : 0)
           | (defaults.boolForKey(QSOutlineShowsBibliography) ? OutlineLandmarkRows::Bibliography
                                                              : 0);
}

} // namespace

// The children a row shows: the landmarks of its own text and of the running
// text under it, its sections, and an include as the root of the file it
// includes (none when the file was not found).
std::vector<OutlineViewDataSource::Entry>
OutlineViewDataSource::shownChildren(const std::shared_ptr<QSSectionNode> &node) const
{
    std::vector<Entry> shown;
    const auto addLandmarks = [&](const std::shared_ptr<QSSectionNode> &holder) {
        for (const OutlineLandmarkRows::Row &row :
             OutlineLandmarkRows::rows(holder->landmarks(), _shownLandmarks))
            shown.push_back(Entry{holder, row, true});
    };
    if (_shownLandmarks && !node->isFileNode())
        addLandmarks(node);
    for (const std::shared_ptr<QSSectionNode> &child : childrenRead(*node)) {
        if (child->isTextNode()) {
            addLandmarks(child);
        } else if (!child->isFileIncludeNode()) {
            shown.push_back(Entry{child, {child->nodeType(), child->nodeName(), {}, 0}, false});
        } else if (!child->children().isEmpty()) {
            const std::shared_ptr<QSSectionNode> &file = child->children().first();
            shown.push_back(Entry{file, {file->nodeType(), file->nodeName(), {}, 0}, false});
        }
    }
    return shown;
}

OutlineViewDataSource::OutlineViewDataSource(std::shared_ptr<QSSectionNode> rootItem,
                                             QObject *parent)
    : QAbstractItemModel(parent)
    , _invisibleRoot(std::make_unique<Item>())
    , _shownLandmarks(shownLandmarks())
{
    setRootItem(std::move(rootItem));
    connect(&UserDefaults::standardUserDefaults(), &UserDefaults::valueChanged, this,
            [this](const QString &key) {
                if (key != QSOutlineShowsLabels && key != QSOutlineShowsFloats
                    && key != QSOutlineShowsBibliography)
                    return;
                _shownLandmarks = shownLandmarks();
                reloadFromTree();
            });
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

namespace {

// The node a child row shows: an include shows the root of the file it includes.
const std::shared_ptr<QSSectionNode> &shownNode(const std::shared_ptr<QSSectionNode> &child)
{
    static const std::shared_ptr<QSSectionNode> none;
    if (!child->isFileIncludeNode())
        return child;
    return child->children().isEmpty() ? none : child->children().first();
}

} // namespace

const QSSectionNode::List &OutlineViewDataSource::childrenRead(const QSSectionNode &node) const
{
    return _shownLandmarks ? node.children() : node.childrenWithoutTextNodes();
}

// Most syncs follow a keystroke that changed one node of a long document: every
// other row is passed over when its node has the same children, and its texts
// the same landmarks, as before.
bool OutlineViewDataSource::readAsBefore(const Item &item) const
{
    const QSSectionNode &node = *item.node;
    const QSSectionNode::List &children = childrenRead(node);
    if (item.seenShown != _shownLandmarks || size_t(children.size()) != item.seenChildren.size())
        return false;
    size_t landmarks = 0;
    const auto same = [&](const QSSectionNode &holder) {
        return landmarks < item.seenLandmarks.size()
               && holder.landmarksAreStill(item.seenLandmarks[landmarks++]);
    };
    if (_shownLandmarks && !node.isFileNode() && !same(node))
        return false;
    for (qsizetype i = 0; i < children.size(); ++i) {
        const std::shared_ptr<QSSectionNode> &child = children[i];
        if (item.seenChildren[size_t(i)] != shownNode(child))
            return false;
        if (_shownLandmarks && child->isTextNode() && !same(*child))
            return false;
    }
    return true;
}

void OutlineViewDataSource::remember(Item &item) const
{
    const QSSectionNode &node = *item.node;
    item.seenShown = _shownLandmarks;
    item.seenChildren.clear();
    item.seenLandmarks.clear();
    if (_shownLandmarks && !node.isFileNode())
        item.seenLandmarks.push_back(node.landmarks());
    for (const std::shared_ptr<QSSectionNode> &child : childrenRead(node)) {
        item.seenChildren.push_back(shownNode(child));
        if (_shownLandmarks && child->isTextNode())
            item.seenLandmarks.push_back(child->landmarks());
    }
}

std::unique_ptr<OutlineViewDataSource::Item> OutlineViewDataSource::makeItem(const Entry &entry,
                                                                             Item *parent) const
{
    auto item = std::make_unique<Item>();
    item->node = entry.node;
    item->shown = entry.shown;
    item->isLandmark = entry.isLandmark;
    item->parent = parent;
    if (!entry.isLandmark) {
        for (const Entry &child : shownChildren(entry.node))
            item->children.push_back(makeItem(child, item.get()));
        remember(*item);
    }
    item->numberChildrenFrom(0);
    return item;
}

void OutlineViewDataSource::reloadFromTree()
{
    // The rows are read from the trees in one walk, which no edit may change half way.
    std::lock_guard lock(QSFilePool::documentModelLock());
    const QScopedValueRollback reloading(_reloading, true);
    sync(_invisibleRoot.get());
}

// Keeps the rows at the start and at the end whose nodes are the same, pairs the
// rows between them with the new nodes while their kinds agree (a section whose
// title was edited is a new node, but the same row), and removes and inserts
// only the rest. Then does the same one level down.
void OutlineViewDataSource::sync(Item *item)
{
    if (item->isLandmark)
        return;
    if (item != _invisibleRoot.get() && readAsBefore(*item)) {
        for (const std::unique_ptr<Item> &row : item->children) {
            if (row->isLandmark)
                continue;
            const QString name = row->node->nodeName();
            if (name != row->shown.name) {
                row->shown.name = name;
                const QModelIndex changed = indexForItem(row.get());
                emit dataChanged(changed, changed);
            }
            sync(row.get());
        }
        return;
    }
    if (item != _invisibleRoot.get())
        remember(*item);
    std::vector<Entry> entries;
    if (item != _invisibleRoot.get())
        entries = shownChildren(item->node);
    else if (_rootItem)
        entries.push_back(
            Entry{_rootItem, {_rootItem->nodeType(), _rootItem->nodeName(), {}, 0}, false});
    std::vector<std::unique_ptr<Item>> &rows = item->children;
    const QModelIndex parentIndex = indexForItem(item);
    const size_t oldCount = rows.size();
    const size_t newCount = entries.size();

    size_t head = 0;
    while (head < oldCount && head < newCount && entries[head].sameAs(*rows[head]))
        ++head;
    size_t tail = 0;
    while (tail < oldCount - head && tail < newCount - head
           && entries[newCount - 1 - tail].sameAs(*rows[oldCount - 1 - tail])) {
        ++tail;
    }
    size_t paired = head;
    while (paired < oldCount - tail && paired < newCount - tail
           && rows[paired]->isLandmark == entries[paired].isLandmark
           && rows[paired]->shown.type == entries[paired].shown.type) {
        rows[paired]->node = entries[paired].node;
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
            made.push_back(makeItem(entries[i], item));
        rows.insert(rows.begin() + qsizetype(paired), std::make_move_iterator(made.begin()),
                    std::make_move_iterator(made.end()));
        item->numberChildrenFrom(paired);
        endInsertRows();
    }

    for (size_t i = 0; i < rows.size(); ++i) {
        Item *row = rows[i].get();
        const OutlineLandmarkRows::Row &shown = entries[i].shown;
        // A landmark moves with the typing before it, and its row must go where it is now.
        row->shown.offset = shown.offset;
        if (shown.name != row->shown.name || shown.label != row->shown.label) {
            row->shown = shown;
            const QModelIndex changed = indexForItem(row);
            emit dataChanged(changed, changed);
        }
        sync(row);
    }
}

std::shared_ptr<QSSectionNode> OutlineViewDataSource::nodeForIndex(const QModelIndex &index) const
{
    const Item *item = itemForIndex(index);
    return item ? item->node : nullptr;
}

qint32 OutlineViewDataSource::offsetForIndex(const QModelIndex &index) const
{
    const Item *item = itemForIndex(index);
    return item && item->isLandmark ? item->shown.offset : 0;
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
    if (item->isLandmark) {
        switch (role) {
        case Qt::DisplayRole:
            return OutlineLandmarkRows::displayText(item->shown);
        case Qt::ToolTipRole:
            return item->shown.label.isEmpty() ? item->shown.name
                                               : item->shown.name + u'\n' + item->shown.label;
        case Qt::FontRole: {
            QFont font;
            font.setItalic(true);
            return font;
        }
        default:
            return {};
        }
    }
    switch (role) {
    case Qt::DisplayRole:
        return OutlineAppearance::shownName(item->shown.name);
    case Qt::ToolTipRole: {
        const QVariant words = data(index, WordCountRole);
        return words.isValid() ? item->shown.name + u'\n' + WordCountLabel::words(words.toInt())
                               : QVariant(item->shown.name);
    }
    case WordCountRole:
        if (const auto *counts = static_cast<const WordCounts *>(_wordCounts.data())) {
            const auto found = counts->results().sections.constFind(item->node.get());
            if (found != counts->results().sections.cend())
                return *found;
        }
        return {};
    case Qt::DecorationRole:
        if (item->shown.type == QSNodeType::File)
            return OutlineAppearance::iconForType(QStringLiteral("quillsetFile"));
        return {};
    default:
        return {};
    }
}
