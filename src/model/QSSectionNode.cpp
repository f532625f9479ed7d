#include "model/QSSectionNode.h"

#include "model/OutlineScanner.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/SearchPattern.h"
#include "platform/Log.h"

#include <QDir>
#include <QHash>
#include <QUrl>
#include <algorithm>

namespace {

// Command words come from the text; hand out the shared type strings instead of
// keeping one copy per node.
QString sharedNodeType(QStringView word)
{
    for (const QString &type :
         {QSNodeType::Part, QSNodeType::Chapter, QSNodeType::Section, QSNodeType::Subsection,
          QSNodeType::Subsubsection, QSNodeType::Input, QSNodeType::Include}) {
        if (word == type)
            return type;
    }
    return word.toString();
}

// A slice of a text that is never null, so that an empty text node still has text.
QString slice(const QString &text, qsizetype from, qsizetype to)
{
    return to > from ? text.mid(from, to - from) : QStringLiteral("");
}

} // namespace

QSSectionNode::QSSectionNode()
    : _nodeName(QStringLiteral("untitled"))
{}

QSSectionNode::~QSSectionNode() = default;

QSSectionNode::Ptr QSSectionNode::initWithData(const QString &data, const QString &type,
                                               const QString &name,
                                               const std::weak_ptr<QSFile> &file, const Ptr &parent,
                                               const std::weak_ptr<QSFile> &rootFile)
{
    const Ptr node = makeNode(data, type, name, file, parent, rootFile);
    if (node->isFileIncludeNode())
        node->resolveInclude();

    if (type != QSNodeType::Text && type != QSNodeType::File)
        return node;

    List children = node->buildChildrenArrayFromData(data).value_or(List());
    if (type == QSNodeType::File && children.isEmpty()) {
        children.append(
            makeNode(data, QSNodeType::Text, QStringLiteral("textnode"), file, node, rootFile));
    }
    node->setChildren(children);
    return node;
}

QSSectionNode::Ptr QSSectionNode::makeNode(const QString &data, const QString &type,
                                           const QString &name, const std::weak_ptr<QSFile> &file,
                                           const Ptr &parent, const std::weak_ptr<QSFile> &rootFile)
{
    auto node = std::make_shared<QSSectionNode>();
    node->setNodeType(type);
    node->_nodeFile = file;
    node->_parent = parent;
    node->_nodeName = name;
    node->_rootFile = rootFile;
    if (type != QSNodeType::File)
        node->_nodeData = data;
    return node;
}

namespace {

// The files whose include commands are being followed on this thread, outermost
// first: a file read because another includes it is not yet in the include graph.
thread_local QList<QSFile *> filesBeingIncluded;

struct BeingIncluded
{
    explicit BeingIncluded(QSFile *file) { filesBeingIncluded.append(file); }
    ~BeingIncluded() { filesBeingIncluded.removeLast(); }
    BeingIncluded(const BeingIncluded &) = delete;
    BeingIncluded &operator=(const BeingIncluded &) = delete;
};

// The folders an include command of the file is looked up in: the file's own, then
// the folder of each document the file belongs to, where TeX runs and so reads
// every \input from.
QStringList includeFolders(QSFile *file)
{
    QStringList folders{file->directory()};
    QList<QSFile *> pending{filesBeingIncluded.isEmpty() ? file : filesBeingIncluded.first()};
    QList<QSFile *> seen = pending;
    while (!pending.isEmpty()) {
        QSFile *each = pending.takeFirst();
        const QList<QSFile *> including = each->filesWhichIncludeThisFile();
        if (including.isEmpty() && !folders.contains(each->directory()))
            folders.append(each->directory());
        for (QSFile *parent : including) {
            if (!seen.contains(parent)) {
                seen.append(parent);
                pending.append(parent);
            }
        }
    }
    return folders;
}

} // namespace

// Opens the file that an include command names and hangs that file's tree under
// this node.
void QSSectionNode::resolveInclude()
{
    const std::shared_ptr<QSFile> file = nodeFile();
    if (!file || file->isUntitled())
        return;
    if (!(_nodeName.size() > 4 && _nodeName.endsWith(QLatin1String(".tex"))))
        _nodeName += QLatin1String(".tex");

    QSFilePool *pool = QSFilePool::sharedFilePool();
    if (!pool)
        return;
    std::shared_ptr<QSFile> included;
    QUrl location;
    QString folder;
    {
        const BeingIncluded including(file.get());
        for (const QString &each : includeFolders(file.get())) {
            // "ch/../main.tex" and "main.tex" are one file and must be one QSFile.
            location = QUrl::fromLocalFile(QDir::cleanPath(each + _nodeName));
            included = pool->readFile(location);
            if (included && included->treeRootNode()) {
                folder = each;
                break;
            }
        }
    }
    if (!included || !included->treeRootNode())
        return;

    // A file that includes itself, directly or through others, would hang its own
    // tree inside itself; such an include stays without children. The open goes
    // back as any other: a file read only for it leaves the pool, and gives back
    // what its own includes opened.
    QList<QSFile *> reachable;
    included->addAllIncludedFilesToArray(&reachable);
    if (included == file || reachable.contains(file.get())) {
        pool->closeFile(location);
        return;
    }
    _children.append(included->treeRootNode());
    updateChildrenWithoutTextNodes();
    pool->fileIsIncludedIn(included, file, folder);
}

std::optional<QSSectionNode::List> QSSectionNode::buildChildrenArrayFromData(const QString &data)
{
    if (data.isNull()) {
        qsLog(quillsetModel, QStringLiteral("buildChildrenArrayFromData: data was nil"));
        return std::nullopt;
    }
    List nodes;
    const Ptr self = shared_from_this();
    qsizetype previous = 0;
    OutlineScanner scanner(data);
    while (const std::optional<OutlineScanner::Command> command = scanner.next()) {
        // The text between two commands holds none: it is not searched again.
        nodes.append(makeNode(slice(data, previous, command->start), QSNodeType::Text,
                              QStringLiteral("textnode"), _nodeFile, self, _rootFile));
        nodes.append(initWithData(
            slice(data, command->start, command->end), sharedNodeType(command->word),
            slice(data, command->nameStart, command->nameEnd), _nodeFile, self, _rootFile));
        previous = command->end;
    }
    if (nodes.isEmpty())
        return nodes;
    nodes.append(makeNode(slice(data, previous, data.size()), QSNodeType::Text,
                          QStringLiteral("textnode"), _nodeFile, self, _rootFile));
    return nodes;
}

void QSSectionNode::setChildren(const List &children)
{
    if (&children == &_children)
        return;
    _children = children;
    updateChildrenWithoutTextNodes();
}

void QSSectionNode::updateChildrenWithoutTextNodes()
{
    invalidateLengthWithChildren();
    for (Observer *observer : _observers)
        observer->childrenWithoutTextNodesWillChange(this);
    _childrenWithoutTextNodesIsStale = true;
    for (Observer *observer : _observers)
        observer->childrenWithoutTextNodesDidChange(this);
}

const QSSectionNode::List &QSSectionNode::childrenWithoutTextNodes() const
{
    if (_childrenWithoutTextNodesIsStale) {
        _childrenWithoutTextNodes.clear();
        for (const Ptr &child : _children) {
            if (!child->isTextNode())
                _childrenWithoutTextNodes.append(child);
        }
        _childrenWithoutTextNodesIsStale = false;
    }
    return _childrenWithoutTextNodes;
}

QString QSSectionNode::nodeData() const
{
    std::lock_guard lock(_nodeLock);
    return _nodeData;
}

void QSSectionNode::setNodeData(const QString &data)
{
    std::lock_guard lock(_nodeLock);
    if (data.isNull() == _nodeData.isNull() && data == _nodeData)
        return;
    _nodeData = data;
    _symbols.reset();
    _landmarks.reset();
    invalidateLengthWithChildren();
}

QList<Symbol> QSSectionNode::symbols() const
{
    std::lock_guard lock(_nodeLock);
    if (!_symbols)
        _symbols = SymbolScanner::scan(_nodeData);
    return *_symbols;
}

QList<Landmark> QSSectionNode::landmarks() const
{
    std::lock_guard lock(_nodeLock);
    if (!_landmarks)
        _landmarks = LandmarkScanner::scan(_nodeData);
    return *_landmarks;
}

bool QSSectionNode::landmarksAreStill(const QList<Landmark> &landmarks) const
{
    std::lock_guard lock(_nodeLock);
    return _landmarks && _landmarks->isSharedWith(landmarks);
}

void QSSectionNode::addObserver(Observer *observer)
{
    if (std::find(_observers.begin(), _observers.end(), observer) == _observers.end())
        _observers.push_back(observer);
}

void QSSectionNode::removeObserver(Observer *observer)
{
    std::erase(_observers, observer);
}

void QSSectionNode::insertObject(const Ptr &node, qsizetype index)
{
    _children.insert(index, node);
    updateChildrenWithoutTextNodes();
}

void QSSectionNode::removeObjectFromChildrenAtIndex(qsizetype index)
{
    _children.removeAt(index);
    updateChildrenWithoutTextNodes();
}

// Each node remembers its place among its parent's children, so that walking a
// long list of siblings does not search it again at every step. When a place is
// stale (the list was built or shifted since), the whole list is numbered once.
qsizetype QSSectionNode::indexOfChild(const QSSectionNode *child) const
{
    const auto isAtHint = [this, child] {
        const qsizetype hint = child->_indexInParentHint;
        return hint < _children.size() && _children.at(hint).get() == child;
    };
    if (isAtHint())
        return child->_indexInParentHint;
    for (qsizetype i = 0; i < _children.size(); ++i)
        _children.at(i)->_indexInParentHint = i;
    return isAtHint() ? child->_indexInParentHint : -1;
}

QSSectionNode::Ptr QSSectionNode::leftSiblingOfChild(const QSSectionNode *child) const
{
    const qsizetype index = indexOfChild(child);
    return index > 0 ? _children.at(index - 1) : nullptr;
}

QSSectionNode::Ptr QSSectionNode::rightSiblingOfChild(const QSSectionNode *child) const
{
    const qsizetype index = indexOfChild(child);
    return index >= 0 && index + 1 < _children.size() ? _children.at(index + 1) : nullptr;
}

QSSectionNode::Ptr QSSectionNode::leftSibling() const
{
    const Ptr parentNode = parent();
    return parentNode ? parentNode->leftSiblingOfChild(this) : nullptr;
}

QSSectionNode::Ptr QSSectionNode::rightSibling() const
{
    const Ptr parentNode = parent();
    return parentNode ? parentNode->rightSiblingOfChild(this) : nullptr;
}

QSSectionNode::Ptr QSSectionNode::rightMostChild()
{
    if (_children.isEmpty() || isFileIncludeNode())
        return shared_from_this();
    return _children.last()->rightMostChild();
}

QSSectionNode::Ptr QSSectionNode::traverseLeft() const
{
    if (const Ptr left = leftSibling())
        return left->rightMostChild();
    return parent();
}

QSSectionNode::Ptr QSSectionNode::fileNodeInWhichItIsStored()
{
    for (Ptr node = shared_from_this(); node; node = node->parent()) {
        if (node->isFileNode())
            return node;
    }
    return nullptr;
}

QSSectionNode::Ptr QSSectionNode::nextInDocumentOrder()
{
    if (!isFileIncludeNode() && !_children.isEmpty())
        return _children.first();
    for (Ptr node = shared_from_this(); node && !node->isFileNode(); node = node->parent()) {
        if (Ptr right = node->rightSibling())
            return right;
    }
    return nullptr;
}

qint32 QSSectionNode::nodeLocation() const
{
    qint32 sum = 0;
    for (Ptr node = traverseLeft(); node; node = node->traverseLeft())
        sum += qint32(node->nodeData().size());
    return sum;
}

std::optional<QSLocationRecord> QSSectionNode::nodeAtLocation(qint32 location, qint32 start)
{
    if (!isFileNode()) {
        const qint32 length = ownLength();
        if (location <= length)
            return QSLocationRecord{shared_from_this(), start};
        location -= length;
        start += length;
    }
    // A subtree answers exactly when the offset lies within its text (its first
    // node answers offset 0), so the subtrees before it are skipped by their length.
    for (const Ptr &child : std::as_const(_children)) {
        if (child->isFileIncludeNode()) {
            const qint32 length = child->ownLength();
            if (location <= length)
                return QSLocationRecord{child, start};
            location -= length;
            start += length;
            continue;
        }
        const qint32 length = child->lengthWithChildren();
        if (location <= length)
            return child->nodeAtLocation(location, start);
        location -= length;
        start += length;
    }
    return std::nullopt;
}

QString QSSectionNode::nodeDataWithChildren() const
{
    QString text;
    appendNodeDataWithChildren(text);
    return text;
}

qint32 QSSectionNode::lengthWithChildren() const
{
    if (_lengthWithChildren < 0) {
        qint32 length = ownLength();
        for (const Ptr &child : _children)
            length += child->isFileIncludeNode() ? child->ownLength() : child->lengthWithChildren();
        _lengthWithChildren = length;
    }
    return _lengthWithChildren;
}

void QSSectionNode::invalidateLengthWithChildren()
{
    _lengthWithChildren = -1;
    for (Ptr node = parent(); node; node = node->parent())
        node->_lengthWithChildren = -1;
}

void QSSectionNode::appendNodeDataWithChildren(QString &text) const
{
    text += nodeData();
    for (const Ptr &child : _children) {
        if (child->isFileIncludeNode())
            text += child->nodeData();
        else
            child->appendNodeDataWithChildren(text);
    }
}

const QList<QString> &QSSectionNode::sectionTypes()
{
    static const QList<QString> types = {QSNodeType::Text,       QSNodeType::Subsubsection,
                                         QSNodeType::Subsection, QSNodeType::Section,
                                         QSNodeType::Chapter,    QSNodeType::Part};
    return types;
}

// Walks the ranks upwards; whichever of the two types comes first decides, the
// argument's before this node's, so equal ranks answer true.
bool QSSectionNode::isOfGreaterPowerThan(const QSSectionNode &node) const
{
    for (const QString &type : sectionTypes()) {
        if (type == node._nodeType)
            return true;
        if (type == _nodeType)
            return false;
    }
    return false;
}

void QSSectionNode::addChild(const Ptr &child)
{
    const Ptr oldParent = child->parent();
    if (oldParent.get() == this)
        return;
    _children.append(child);
    updateChildrenWithoutTextNodes();
    if (oldParent)
        oldParent->removeChild(child, false);
    child->_parent = weak_from_this();
}

void QSSectionNode::removeChild(const Ptr &child, bool keepChildrenOfChild)
{
    const qsizetype index = indexOfChild(child.get());
    if (index < 0)
        return;
    if (keepChildrenOfChild) {
        replaceChildNode(child, {}, true);
        return;
    }
    _children.removeAt(index);
    updateChildrenWithoutTextNodes();
}

// The replaced node keeps its own children list: the edit that replaces a node
// walks it afterwards to restructure the nodes that moved out.
void QSSectionNode::replaceChildNode(const Ptr &child, List nodes,
                                     bool makeChildrenOfChildNodeSiblingsOfNewNodes)
{
    const qsizetype index = indexOfChild(child.get());
    if (index < 0) {
        qsLog(quillsetModel, QStringLiteral("replaceChildNode: not found"));
        return;
    }
    if (!child->isFileIncludeNode() && makeChildrenOfChildNodeSiblingsOfNewNodes)
        nodes.append(child->_children);
    for (const Ptr &node : std::as_const(nodes))
        node->_parent = weak_from_this();
    _children.remove(index);
    _children.insert(index, nodes.size(), nullptr);
    std::copy(nodes.cbegin(), nodes.cend(), _children.begin() + index);
    updateChildrenWithoutTextNodes();
}

void QSSectionNode::setRightSiblingForChild(const Ptr &child, const Ptr &newRightChild)
{
    const qsizetype index = indexOfChild(child.get());
    if (index < 0 || index == _children.size() - 1) {
        addChild(newRightChild);
        return;
    }
    const Ptr oldParent = newRightChild->parent();
    if (oldParent.get() == this) {
        // Already among these children: move it, rather than hold it twice.
        _children.removeAt(indexOfChild(newRightChild.get()));
        _children.insert(indexOfChild(child.get()) + 1, newRightChild);
        updateChildrenWithoutTextNodes();
        return;
    }
    _children.insert(index + 1, newRightChild);
    updateChildrenWithoutTextNodes();
    if (oldParent)
        oldParent->removeChild(newRightChild, false);
    newRightChild->_parent = weak_from_this();
}

QSSectionNode::List QSSectionNode::includeNodes()
{
    List found;
    for (const Ptr &child : std::as_const(_children)) {
        if (child->isFileIncludeNode())
            found.append(child);
        else
            found.append(child->includeNodes());
    }
    return found;
}

void QSSectionNode::setNodeType(const QString &type)
{
    _nodeType = type;
    if (type == QSNodeType::File)
        _kind = Kind::File;
    else if (type == QSNodeType::Text)
        _kind = Kind::Text;
    else if (type == QSNodeType::Input || type == QSNodeType::Include)
        _kind = Kind::Include;
    else
        _kind = Kind::Other;
    // Whether a node is an include node decides what it adds to its parent's length.
    if (const Ptr parentNode = parent())
        parentNode->invalidateLengthWithChildren();
}

void QSSectionNode::searchForString(const SearchPattern &pattern, SearchReceiver *engine,
                                    bool checkChildren, qint32 *location)
{
    const QString text = nodeData();
    if (const QSRange found = pattern.find(text); found.location != QSNotFound)
        engine->SectionNodeMatchesSearch(shared_from_this(), *location, found.location);
    *location += qint32(text.size());
    if (!checkChildren)
        return;
    for (const Ptr &child : std::as_const(_children)) {
        // An included file's tree hangs under its include node; it is searched as a
        // file of its own.
        if (child->isFileNode())
            engine->searchReachedIncludedFile(child);
        else
            child->searchForString(pattern, engine, true, location);
    }
}

void QSSectionNode::printStructure(int depth) const
{
    qsLog(quillsetModel,
          QString(depth, QLatin1Char('-')) + _nodeType + QStringLiteral(" : ") + _nodeName);
    for (const Ptr &child : _children)
        child->printStructure(depth + 1);
}
