// How a node takes an edit of its text and how the tree nests again around it: the
// restructuring rules that keep each heading under the nearest heading of higher rank.
#include "model/QSSectionNode.h"

#include "model/OutlineScanner.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "platform/Log.h"

#include <algorithm>

bool QSSectionNode::editNodeData(const QString &text, qint32 location, qint32 length,
                                 const QString &changeType)
{
    std::lock_guard lock(_nodeLock);
    if (location < 0 || location > _nodeData.size())
        return false;
    const qsizetype removed = changeType == QLatin1String("add")
                                  ? 0
                                  : qMin(qint64(length), qint64(_nodeData.size()) - location);
    _nodeData.replace(location, removed, text);
    _symbols.reset();
    _landmarks.reset();
    invalidateLengthWithChildren();

    const std::shared_ptr<QSFile> file = nodeFile();
    // Text that was plain stays plain unless a command appeared on the lines the
    // edit touched: then nothing else changes, however long the text is.
    if (isTextNode() && _children.isEmpty() && !holdsCommandAround(location, text.size())) {
        if (QSFilePool *pool = QSFilePool::sharedFilePool(); pool && file)
            pool->changesWasMadeToFile(file.get(), this);
        return false;
    }

    const List nodes = buildChildrenArrayFromData(_nodeData).value_or(List());
    QSFilePool *pool = QSFilePool::sharedFilePool();
    std::shared_ptr<QSFile> released;
    if (isFileIncludeNode() && file && !file->isUntitled()) {
        // The include command changed: the old link goes, even when the new text
        // names the same file (the new include node has opened it again).
        released = _children.isEmpty() ? nullptr : _children.first()->nodeFile();
        _children.clear();
        updateChildrenWithoutTextNodes();
        if (released && pool) {
            if (!nodes.isEmpty())
                qsLog(quillsetModel, QStringLiteral("close file"));
            pool->informDocumentAboutFileClosing(released);
        }
    }

    const Ptr self = shared_from_this();
    if (nodes.isEmpty()) {
        setNodeType(QSNodeType::Text);
        _nodeName = QStringLiteral("textnode");
    } else if (const Ptr parentNode = parent()) {
        parentNode->replaceChildNode(self, nodes, true);
        parentNode->correctPositionsInTree();
    }
    correctPositionsInTree();
    // Only now are the new nodes in the tree: an include of the same file keeps the edge.
    if (released && pool)
        pool->removeIncludeEdgeUnlessStillIncluded(released, file);
    if (pool && file)
        pool->changesWasMadeToFile(file.get(), this);
    return true;
}

bool QSSectionNode::holdsCommandAround(qsizetype location, qsizetype length) const
{
    const qsizetype lineStart =
        location > 0 ? _nodeData.lastIndexOf(QLatin1Char('\n'), location - 1) + 1 : 0;
    qsizetype lineEnd = _nodeData.indexOf(QLatin1Char('\n'), location + length);
    if (lineEnd < 0)
        lineEnd = _nodeData.size();
    return OutlineScanner::holdsCommand(QStringView(_nodeData).mid(lineStart, lineEnd - lineStart));
}

void QSSectionNode::correctPosition()
{
    while (applyFirstRestructuringRule()) {
    }
}

// Tries the four rules in order and carries out the first that applies; the
// order decides where a node ends up, so it must not change.
bool QSSectionNode::applyFirstRestructuringRule()
{
    const Ptr self = shared_from_this();
    const Ptr parentNode = parent();
    const Ptr right = parentNode ? parentNode->rightSiblingOfChild(this) : nullptr;

    // Absorb: take in the next node when this one outranks it, or when it is an
    // include node and this one is a command. The node taken in then finds its own
    // place among its new siblings: after an edit it may belong deeper still.
    if (!isFileNode() && !isFileIncludeNode() && right) {
        const bool greater = right->isOfGreaterPowerThan(*this);
        const bool same = right->isOfSameTypeAs(*this);
        if ((!greater && !same)
            || ((greater || same) && !isTextNode() && right->isFileIncludeNode())) {
            addChild(right);
            right->correctPosition();
            return true;
        }
    }

    // Lift: leave a parent that does not outrank this node. Include nodes stay in
    // their section, but leave a text node like any other child, so that they keep
    // their place in the text.
    if (parentNode && !parentNode->isFileNode() && !isFileNode()) {
        if (const Ptr grandparent = parentNode->parent()) {
            const bool lifts = isFileIncludeNode() ? parentNode->isTextNode()
                                                   : !parentNode->isOfGreaterPowerThan(*this)
                                                         || parentNode->isOfSameTypeAs(*this);
            if (lifts) {
                grandparent->setRightSiblingForChild(parentNode, self);
                return true;
            }
        }
    }

    // Merge: join the next text node into this one. A text node that still holds
    // children (for a moment, during an edit) is not joined: its children's text
    // lies between the two.
    if (isTextNode() && right && right->isTextNode() && _children.isEmpty()
        && right->_children.isEmpty()) {
        std::lock_guard lock(_nodeLock);
        setNodeData(nodeData() + right->nodeData());
        parentNode->removeChild(right, false);
        return true;
    }

    // Descend: a node sinks into the section before it when that one outranks it.
    // Text and include lines always belong to the section before them; a fresh parse
    // never leaves them beside one, but an edit that removes or moves nodes can.
    const Ptr left = parentNode ? parentNode->leftSiblingOfChild(this) : nullptr;
    if (!isFileNode() && left && !left->isFileIncludeNode() && !left->isFileNode()
        && !left->isTextNode()
        && ((left->isOfGreaterPowerThan(*this) && !left->isOfSameTypeAs(*this))
            || isFileIncludeNode())) {
        left->addChild(self);
        return true;
    }
    return false;
}

void QSSectionNode::correctPositionsInTree()
{
    for (qsizetype i = _children.size() - 1; i >= 0; --i) {
        if (i < _children.size()) {
            const Ptr child = _children.at(i);
            child->correctPosition();
        }
    }
}

// Each section holds what follows it up to the next section that ranks as high:
// every node goes to the nearest open section that outranks it, and a section
// closes the open sections that do not outrank it.
void QSSectionNode::nestParsedChildren()
{
    const QList<QString> &ranks = sectionTypes();
    const auto rankOf = [&ranks](const QSSectionNode &node) {
        return node._kind == Kind::Other ? ranks.indexOf(node._nodeType) : -1;
    };
    QList<std::pair<QSSectionNode *, qsizetype>> open{{this, ranks.size()}};
    QHash<QSSectionNode *, List> nested;
    const List flat = std::exchange(_children, List());
    for (const Ptr &node : flat) {
        const qsizetype rank = rankOf(*node);
        if (rank >= 0) {
            while (open.size() > 1 && open.last().second <= rank)
                open.removeLast();
        }
        QSSectionNode *holder = open.last().first;
        node->_parent = holder == this ? weak_from_this() : holder->weak_from_this();
        (holder == this ? _children : nested[holder]).append(node);
        if (rank >= 0)
            open.append({node.get(), rank});
    }
    for (auto it = nested.begin(); it != nested.end(); ++it)
        it.key()->setChildren(it.value());
    updateChildrenWithoutTextNodes();
}

void QSSectionNode::keepTextBetweenCommands(qint32 from, qint32 to)
{
    const std::optional<QSLocationRecord> found = nodeAtLocation(from, 0);
    if (!found)
        return;
    // Start at the node before the edit: it may be the text that a new text joins.
    Ptr previous = found->object->traverseLeft();
    if (!previous)
        return;
    qint32 position = found->nodeLocationInFile;
    Ptr current = previous->nextInDocumentOrder();
    List touched;
    const auto emptyTextAfter = [this, &touched](const Ptr &node) {
        // Where parsing puts the text after a command: a section's first child, or
        // beside an include command (and first of all in a file node).
        const bool inside = !node->isFileIncludeNode();
        const Ptr holder = inside ? node : node->parent();
        const Ptr text = makeNode(QStringLiteral(""), QSNodeType::Text, QStringLiteral("textnode"),
                                  _nodeFile, holder, _rootFile);
        holder->insertObject(text, inside ? 0 : holder->indexOfChild(node.get()) + 1);
        touched.append(text);
        return text;
    };
    for (;;) {
        if (current && current->isTextNode() && previous->isTextNode()) {
            std::lock_guard lock(previous->_nodeLock);
            previous->setNodeData(previous->nodeData() + current->nodeData());
            position += current->ownLength();
            current->parent()->removeChild(current, true);
            if (!touched.contains(previous))
                touched.append(previous);
            current = previous->nextInDocumentOrder();
            continue;
        }
        if (!previous->isTextNode() && (!current || !current->isTextNode()))
            current = emptyTextAfter(previous);
        if (!current || position > to)
            break;
        position += current->ownLength();
        previous = current;
        current = current->nextInDocumentOrder();
    }
    for (const Ptr &text : std::as_const(touched))
        text->correctPosition();
}
