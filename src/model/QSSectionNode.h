#pragma once

#include "model/LandmarkScanner.h"
#include "model/SymbolScanner.h"

#include <QList>
#include <QString>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class QSFile;
class QSSectionNode;
class SearchPattern;

// The kinds of node, compared exactly.
namespace QSNodeType {
inline const QString File = QStringLiteral("File");
inline const QString Text = QStringLiteral("text");
inline const QString Part = QStringLiteral("part");
inline const QString Chapter = QStringLiteral("chapter");
inline const QString Section = QStringLiteral("section");
inline const QString Subsection = QStringLiteral("subsection");
inline const QString Subsubsection = QStringLiteral("subsubsection");
inline const QString Input = QStringLiteral("input");
inline const QString Include = QStringLiteral("include");
} // namespace QSNodeType

// The node that holds a file offset, and the file offset at which its own text begins.
struct QSLocationRecord
{
    std::shared_ptr<QSSectionNode> object;
    qint32 nodeLocationInFile = 0;
};

// One node of a file's outline tree. The nodes of a file partition its text: a
// file node at the root (no text of its own), command nodes for sectioning and
// include commands, and text nodes for the text between them. The file's text is
// the nodes' own texts in document order.
//
// Threads: nodeData is guarded by the node lock. The structure (children, parent)
// and the other fields are guarded by the document-model lock, which the edit
// worker holds while it changes a tree and readers hold while they walk one.
class QSSectionNode : public std::enable_shared_from_this<QSSectionNode>
{
public:
    using Ptr = std::shared_ptr<QSSectionNode>;
    using List = QList<Ptr>;

    // Told before and after a node's childrenWithoutTextNodes is replaced, on the
    // thread that changed the children.
    class Observer
    {
    public:
        virtual ~Observer() = default;
        virtual void childrenWithoutTextNodesWillChange(QSSectionNode *node) = 0;
        virtual void childrenWithoutTextNodesDidChange(QSSectionNode *node) = 0;
    };

    // An empty node named "untitled".
    QSSectionNode();
    ~QSSectionNode();

    // Makes a node of the given kind. File and text nodes parse their text into
    // children; include nodes open the file they name through the file pool.
    static Ptr initWithData(const QString &data, const QString &type, const QString &name,
                            const std::weak_ptr<QSFile> &file, const Ptr &parent,
                            const std::weak_ptr<QSFile> &rootFile);

    // Cuts text into text, command, text, ..., command, text nodes whose parent is
    // this node; none (and a log line) when there is no text.
    std::optional<List> buildChildrenArrayFromData(const QString &data);

    Ptr parent() const { return _parent.lock(); }
    void setParent(const Ptr &parent) { _parent = parent; }
    QString nodeName() const { return _nodeName; }
    void setNodeName(const QString &name) { _nodeName = name; }
    QString nodeType() const { return _nodeType; }
    void setNodeType(const QString &type);
    std::shared_ptr<QSFile> nodeFile() const { return _nodeFile.lock(); }
    void setNodeFile(const std::weak_ptr<QSFile> &file) { _nodeFile = file; }
    std::shared_ptr<QSFile> rootFile() const { return _rootFile.lock(); }
    void setRootFile(const std::weak_ptr<QSFile> &file) { _rootFile = file; }

    const List &children() const { return _children; }
    void setChildren(const List &children);
    // Recomputed after every change of children; computed when first asked for,
    // so that restructuring a long list does not rebuild it at every step.
    const List &childrenWithoutTextNodes() const;
    void updateChildrenWithoutTextNodes();

    // The node's own text, without its children's; null for a file node.
    QString nodeData() const;
    void setNodeData(const QString &data);
    std::recursive_mutex &nodeLock() const { return _nodeLock; }
    // What the node's own text defines and names; read again only when the text changes.
    QList<Symbol> symbols() const;
    // The labels, references, citations, floats and bibliography commands of the
    // node's own text, offsets within it; read again only when the text changes.
    QList<Landmark> landmarks() const;
    // Whether the landmarks are the very list given (shared, not read again since).
    bool landmarksAreStill(const QList<Landmark> &landmarks) const;

    void addObserver(Observer *observer);
    void removeObserver(Observer *observer);

    qsizetype countOfChildren() const { return _children.size(); }
    Ptr objectInChildrenAtIndex(qsizetype index) const { return _children.at(index); }
    void insertObject(const Ptr &node, qsizetype index);
    void removeObjectFromChildrenAtIndex(qsizetype index);

    Ptr leftSiblingOfChild(const QSSectionNode *child) const;
    Ptr rightSiblingOfChild(const QSSectionNode *child) const;
    Ptr leftSibling() const;
    Ptr rightSibling() const;
    Ptr rightMostChild();
    Ptr traverseLeft() const;
    Ptr fileNodeInWhichItIsStored();
    // The node after this one in document order (not entering included files), or none.
    Ptr nextInDocumentOrder();

    qint32 nodeLocation() const;
    std::optional<QSLocationRecord> nodeAtLocation(qint32 location, qint32 start);
    QString nodeDataWithChildren() const;
    // The length of nodeDataWithChildren, without building the text.
    qint32 lengthWithChildren() const;

    static const QList<QString> &sectionTypes();
    bool isOfGreaterPowerThan(const QSSectionNode &node) const;
    bool isOfSameTypeAs(const QSSectionNode &node) const { return _nodeType == node._nodeType; }
    bool isFileNode() const { return _kind == Kind::File; }
    bool isTextNode() const { return _kind == Kind::Text; }
    bool isFileIncludeNode() const { return _kind == Kind::Include; }
    bool isDraggable() const { return true; }

    // Restructuring: nests sections by rank and joins neighbouring text, keeping the
    // document order of all text.
    void addChild(const Ptr &child);
    void removeChild(const Ptr &child, bool keepChildrenOfChild);
    void replaceChildNode(const Ptr &child, List nodes,
                          bool makeChildrenOfChildNodeSiblingsOfNewNodes);
    void setRightSiblingForChild(const Ptr &child, const Ptr &newRightChild);
    void correctPosition();
    void correctPositionsInTree();
    // Nests the flat children that parsing made, in one pass over them: the same
    // tree that correctPositionsInTree makes of them, without moving nodes one by
    // one through long lists.
    void nestParsedChildren();

    // Asked of a file node after an edit of the text between the offsets: merges
    // text nodes that follow each other in document order and puts an empty text
    // node between commands that do, so that text and commands alternate as parsing
    // makes them, and lets the texts it touched find their places.
    void keepTextBetweenCommands(qint32 from, qint32 to);

    // Applies one edit to this node's own text ("add", "remove" or "replace" at a
    // location within it), parses the new text and lets the tree follow. False when
    // only text changed and the tree kept its shape.
    bool editNodeData(const QString &text, qint32 location, qint32 length,
                      const QString &changeType);

    // The include nodes of this subtree in document order, not entering included files.
    List includeNodes();

    // What a search over the nodes reports to: a node's own text, starting at the
    // location in its file, holds the key, first at the offset given; and, in its
    // place in document order, the tree of a file that an include node hangs there.
    class SearchReceiver
    {
    public:
        virtual ~SearchReceiver() = default;
        virtual void SectionNodeMatchesSearch(const Ptr &node, qint32 location,
                                              qsizetype first) = 0;
        virtual void searchReachedIncludedFile(const Ptr &) {}
    };

    // Tests this node's own text for the pattern, and with checkChildren its
    // subtree too (not entering included files, which it hands to the engine),
    // reporting each node that holds it to the engine. The location is where this
    // node's own text begins in its file; it is moved past the texts searched.
    void searchForString(const SearchPattern &pattern, SearchReceiver *engine, bool checkChildren,
                         qint32 *location);

    // Logs the subtree, one line per node: depth dashes, the type, " : ", the name.
    void printStructure(int depth) const;

private:
    // A node with its fields set and nothing parsed or opened.
    static Ptr makeNode(const QString &data, const QString &type, const QString &name,
                        const std::weak_ptr<QSFile> &file, const Ptr &parent,
                        const std::weak_ptr<QSFile> &rootFile);
    void appendNodeDataWithChildren(QString &text) const;
    void resolveInclude();
    bool applyFirstRestructuringRule();
    bool holdsCommandAround(qsizetype location, qsizetype length) const;
    // The length of the node's own text, read without the node lock: for walks that
    // hold the document-model lock, under which all edits are made.
    qint32 ownLength() const { return qint32(_nodeData.size()); }
    void invalidateLengthWithChildren();
    qsizetype indexOfChild(const QSSectionNode *child) const;

    std::weak_ptr<QSSectionNode> _parent;
    QString _nodeName;
    List _children;
    QString _nodeData; // guarded by _nodeLock
    mutable std::optional<QList<Symbol>> _symbols; // guarded by _nodeLock; none when stale
    mutable std::optional<QList<Landmark>> _landmarks; // guarded by _nodeLock; none when stale
    QString _nodeType;
    // The sort of node, kept with nodeType so that the many type tests of a walk
    // compare no strings.
    enum class Kind { Other, File, Text, Include };
    Kind _kind = Kind::Other;
    std::weak_ptr<QSFile> _nodeFile;
    std::weak_ptr<QSFile> _rootFile;
    mutable List _childrenWithoutTextNodes;
    mutable bool _childrenWithoutTextNodesIsStale = false;
    std::vector<Observer *> _observers;
    // Caches for long documents, guarded like the structure: the length of
    // nodeDataWithChildren (-1 when unknown) and the last index in the parent's children.
    mutable qint32 _lengthWithChildren = -1;
    mutable qsizetype _indexInParentHint = 0;
    mutable std::recursive_mutex _nodeLock;
};
