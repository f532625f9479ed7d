#include "PoolHelpers.h"
#include "TestSupport.h"
#include "model/ChangesQueue.h"

namespace {

// The outline as the outline view shows it: one "type:name" line per command node,
// indented by depth, with each included file's commands under its include line.
QStringList outlineLines(const Node &node, int depth = 0)
{
    QStringList lines;
    for (const Node &child : node->childrenWithoutTextNodes()) {
        lines << QString(depth * 2, u' ') + child->nodeType() + u':' + child->nodeName();
        if (!child->isFileIncludeNode())
            lines << outlineLines(child, depth + 1);
        else if (child->countOfChildren() > 0)
            lines << outlineLines(child->children().first(), depth + 1);
    }
    return lines;
}

// Every child names its holder as parent. (Which node holds which, and where text
// nodes stand, is each case's nesting line, which names every node.)
void checkParents(const Node &node)
{
    for (const Node &child : node->children()) {
        QCOMPARE(child->parent(), node);
        if (!child->isFileIncludeNode())
            checkParents(child);
    }
}

// Notes the count of section children around every change of them.
struct RecordingObserver : QSSectionNode::Observer
{
    void childrenWithoutTextNodesWillChange(QSSectionNode *node) override { note("will", node); }
    void childrenWithoutTextNodesDidChange(QSSectionNode *node) override { note("did", node); }
    void note(const char *when, QSSectionNode *node)
    {
        events << when + QStringLiteral(" %1").arg(node->childrenWithoutTextNodes().size());
    }
    QStringList events;
};

} // namespace

class TestQSSectionNode : public QObject
{
    Q_OBJECT

private slots:
    void changeNoticesStructureAndFileNode();
    void commandsAndNesting_data();
    void commandsAndNesting();
    void structuralOperations();
    void textThatHoldsChildrenIsNotJoined_data();
    void textThatHoldsChildrenIsNotJoined();
    void includedFilesAreHeldAndCounted();
    void outlinesOfRealDocuments_data();
    void outlinesOfRealDocuments();
};

// Nesting by hand: the section hears of each change of its section children.
void TestQSSectionNode::changeNoticesStructureAndFileNode()
{
    const Node root = flatTree("intro\\section{S}body\n\\subsection{T}tail");
    const QSSectionNode::List nodes = root->children();
    QCOMPARE(root->childrenWithoutTextNodes(), QSSectionNode::List({nodes[1], nodes[3]}));
    RecordingObserver observer;
    nodes[1]->addObserver(&observer);
    for (const Node &moved : nodes.mid(2)) {
        root->removeObjectFromChildrenAtIndex(2);
        nodes[1]->insertObject(moved, nodes[1]->countOfChildren());
        moved->setParent(nodes[1]);
    }
    nodes[1]->removeObserver(&observer);
    QCOMPARE(observer.events,
             QStringList({"will 0", "did 0", "will 0", "did 1", "will 1", "did 1"}));
    QCOMPARE(root->childrenWithoutTextNodes(), QSSectionNode::List({nodes[1]}));
    // A node taken out keeps its parent and so still finds its file node.
    nodes[1]->removeObjectFromChildrenAtIndex(2);
    QCOMPARE(nodes[4]->fileNodeInWhichItIsStored(), root);
}

void TestQSSectionNode::commandsAndNesting_data()
{
    goldenRows("outline/commands-and-nesting.txt");
}

// The parse that the outline is made from, then its nesting. The flat parse's
// include nodes hold nothing, so its outline is its command nodes.
void TestQSSectionNode::commandsAndNesting()
{
    QFETCH(GoldenCase, golden);
    // A lone surrogate, which a text file cannot hold, is written "<DEDA>".
    const auto part = [&golden](const char *label) {
        return golden.part(label).replace("<DEDA>", QChar(0xDEDA));
    };
    const QString text = part("text");
    const QStringList expected = part("commands").split(u'\n', Qt::SkipEmptyParts);
    const Node root = flatTree(text);
    QCOMPARE(outlineLines(root), expected);
    // text, command, text, ..., command, text; one text node for text without commands.
    QCOMPARE(root->countOfChildren(), 2 * expected.size() + 1);
    for (qsizetype i = 0; i < root->countOfChildren(); ++i) {
        const Node child = root->objectInChildrenAtIndex(i);
        QCOMPARE(child->isTextNode(), i % 2 == 0);
        QCOMPARE(child->parent(), root);
        QCOMPARE(child->countOfChildren(), 0);
    }
    QCOMPARE(root->nodeDataWithChildren(), text);
    // Text without commands gives no nodes of its own; a missing text is an error.
    QCOMPARE(root->buildChildrenArrayFromData(text)->size(),
             expected.isEmpty() ? 0 : 2 * expected.size() + 1);
    QTest::ignoreMessage(QtInfoMsg, "buildChildrenArrayFromData: data was nil");
    QCOMPARE(root->buildChildrenArrayFromData(QString()), std::nullopt);

    const Node nested = nestedTree(text);
    QCOMPARE(shape(nested), part("nesting"));
    QCOMPARE(nested->nodeDataWithChildren(), text);
    checkParents(nested);
}

// The includes document of tests/data/outline, whose outline shows which file each
// include command finds: a file named with or without ".tex", a file included twice,
// a missing one, loops of includes, which stay empty where they would close, and a
// file in a sub-folder that names the files it includes from the root's folder, as
// TeX reads them, or else from its own. Here: how the files are held and counted.
void TestQSSectionNode::includedFilesAreHeldAndCounted()
{
    TestFolder folder;
    folder.copyData("outline/includes");
    QSFilePool pool;
    ChangesQueue queue;
    const std::shared_ptr<QSFile> main = pool.readFile(folder.url("includes.tex"));
    const auto held = [&](const char *name) { return pool.fileObjectForPath(folder.url(name)); };
    const auto count = [&](const char *name) { return pool.openCountForFile(folder.url(name)); };
    const Node root = main->treeRootNode();
    // One file included twice is one tree held twice, and a tree of its own.
    const Node one = held("chapters/one.tex")->treeRootNode();
    QCOMPARE(root->objectInChildrenAtIndex(1)->children(), QSSectionNode::List({one}));
    QCOMPARE(root->objectInChildrenAtIndex(9)->children(), QSSectionNode::List({one}));
    QCOMPARE(one->parent(), nullptr);
    QCOMPARE(holdersDisagree(pool, {main.get()}), QString());

    // The including file's text stops at its include commands; offsets count only it.
    const QString text = root->nodeDataWithChildren();
    QVERIFY(!text.contains("In one"));
    const auto end = qint32(text.indexOf("\\include{chapters/one.tex}") + 26);
    QCOMPARE(root->nodeAtLocation(end, 0)->object, root->objectInChildrenAtIndex(9));
    QCOMPARE(root->nodeAtLocation(end + 1, 0)->object, root->objectInChildrenAtIndex(10));
    QCOMPARE(root->nodeAtLocation(end + 1, 0)->nodeLocationInFile, end);
    QCOMPARE(one->objectInChildrenAtIndex(1)->nodeLocation(), 4);
    QCOMPARE(one->objectInChildrenAtIndex(1)->fileNodeInWhichItIsStored(), one);

    // The table names the file that includes it, and its path from the root's folder,
    // as the engine and so the sync data name it. An include typed later is found the
    // same way, through the include graph.
    const std::shared_ptr<QSFile> results = held("chapters/results.tex");
    const std::shared_ptr<QSFile> table = held("chapters/figures/table1.tex");
    QCOMPARE(table->filesWhichIncludeThisFile(), QList<QSFile *>({results.get()}));
    QCOMPARE(table->relativeIncludePathsToThisFile(),
             QSet<QString>({"chapters/figures/table1.tex"}));
    folder.write("chapters/figures/table2.tex", "two");
    const auto resultsEnd = quint32(results->treeRootNode()->lengthWithChildren());
    queue.addChangeToQueue(ChangeRecord{"add", QSRange{resultsEnd, 31},
                                        "\\input{chapters/figures/table2}",
                                        results->treeRootNode()});
    queue.waitUntilIdle();
    QVERIFY(held("chapters/figures/table2.tex"));

    // b read again on its own, now that a is held: its include of a would close the loop.
    folder.write("b.tex", "B \\input{a}\n");
    const std::shared_ptr<QSFile> b = held("b.tex");
    QVERIFY(pool.readFile(b->path()));
    QCOMPARE(b->treeRootNode()->objectInChildrenAtIndex(1)->countOfChildren(), 0);
    QCOMPARE(count("a.tex"), 1);

    // Opened on its own, the chapter is its own document: nothing is found above it.
    QVERIFY(pool.closeFile(main->path()));
    QVERIFY(!held("a.tex") && !held("chapters/figures/table1.tex"));
    QCOMPARE(count("b.tex"), 1);
    const std::shared_ptr<QSFile> alone = pool.readFile(folder.url("chapters/results.tex"));
    const Node section = alone->treeRootNode()->objectInChildrenAtIndex(1);
    QCOMPARE(section->childrenWithoutTextNodes().first()->countOfChildren(), 0);
}

// Documents written in several authors' habits (tests/data/outline/<document>), each
// with the outline that reading it by hand gives in its expected.txt beside its root.
void TestQSSectionNode::outlinesOfRealDocuments_data()
{
    QTest::addColumn<QString>("root");
    const QDir data(dataPath("outline"));
    for (const QString &document : data.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        // The root is named after the folder, or is the only file at the top of it.
        QStringList roots = QDir(data.filePath(document)).entryList({"*.tex"}, QDir::Files);
        if (roots.contains(document + ".tex"))
            roots = QStringList{document + ".tex"};
        QCOMPARE(roots.size(), 1);
        QTest::newRow(qPrintable(document)) << data.filePath(document + u'/' + roots.first());
    }
}

void TestQSSectionNode::outlinesOfRealDocuments()
{
    QFETCH(QString, root);
    const TestFolder settings;
    QSFilePool pool;
    const std::shared_ptr<QSFile> file = pool.readFile(QUrl::fromLocalFile(root));
    QVERIFY(file);
    const QString expected = TestFolder::read(QFileInfo(root).dir().filePath("expected.txt"));
    QCOMPARE(outlineLines(file->treeRootNode()).join(u'\n'), expected.trimmed());
    // The document's file list names each of its files once, however its includes
    // loop, and every file still holds exactly its text.
    const QList<std::shared_ptr<QSFile>> files = QSFilePool::fileList(file.get());
    QCOMPARE(files.size(), pool.allFiles().size());
    for (const std::shared_ptr<QSFile> &each : files)
        QCOMPARE(each->treeRootNode()->nodeDataWithChildren(), each->content());
}

// The moves that restructuring is made of, where the edits rarely reach.
void TestQSSectionNode::structuralOperations()
{
    const Node root = nestedTree("a\n\\section{S}s\n\\input{inc}\nb");
    const Node section = root->objectInChildrenAtIndex(1);
    const Node include = section->objectInChildrenAtIndex(1);
    root->addChild(root->objectInChildrenAtIndex(0)); // already a child: stays in place
    QCOMPARE(shape(root), "a,S(s,inc,b)");

    // The replaced node's children follow the new nodes; it keeps its own list.
    root->replaceChildNode(section, {textNode("x"), textNode("y")}, true);
    QCOMPARE(shape(root), "a,x,y,s,inc,b");
    QCOMPARE(include->parent(), root);
    QCOMPARE(section->countOfChildren(), 3);
    // An include node's child (another file's tree) is never carried over.
    include->setChildren({textNode("other file")});
    root->replaceChildNode(include, {textNode("w")}, true);
    QCOMPARE(shape(root), "a,x,y,s,w,b");
    QTest::ignoreMessage(QtInfoMsg, "replaceChildNode: not found");
    root->replaceChildNode(include, {}, true);

    // Removing with the children kept puts them in the removed node's place.
    const Node holder = textNode("h", root);
    root->insertObject(holder, 1);
    holder->setChildren({textNode("1", holder), textNode("2", holder)});
    root->removeChild(holder, true);
    root->removeChild(holder, true); // no longer a child: nothing
    QCOMPARE(shape(root), "a,1,2,x,y,s,w,b");
    // A child moved behind another is moved, not held twice.
    root->setRightSiblingForChild(root->objectInChildrenAtIndex(4),
                                  root->objectInChildrenAtIndex(1));
    QCOMPARE(shape(root), "a,2,x,y,1,s,w,b");
    // Neighbouring text nodes are joined by the left one; the right one goes.
    root->objectInChildrenAtIndex(0)->correctPosition();
    QCOMPARE(shape(root), "a2xy1swb");
    QCOMPARE(root->countOfChildren(), 1);
}

void TestQSSectionNode::textThatHoldsChildrenIsNotJoined_data()
{
    QTest::addColumn<bool>("leftHoldsChildren");
    QTest::newRow("left text holds children") << true;
    QTest::newRow("right text holds children") << false;
}

// An edit that turns a command into text leaves it holding the command's children
// until they are lifted out. Joining such a text with its neighbour would put the
// neighbour's text before the children's, or drop the children with the neighbour.
void TestQSSectionNode::textThatHoldsChildrenIsNotJoined()
{
    QFETCH(bool, leftHoldsChildren);
    const Node root = flatTree("a");
    const Node left = root->objectInChildrenAtIndex(0);
    const Node right = textNode("d", root);
    root->insertObject(right, 1);
    const Node holder = leftHoldsChildren ? left : right;
    const Node section =
        QSSectionNode::initWithData("\\section{S}\n", QSNodeType::Section, "S", {}, holder, {});
    section->setChildren({textNode("c", section)});
    holder->setChildren({textNode("b", holder), section});
    const QString text = root->nodeDataWithChildren();
    QCOMPARE(text, leftHoldsChildren ? "ab\\section{S}\ncd" : "adb\\section{S}\nc");

    left->correctPosition();
    QCOMPARE(root->nodeDataWithChildren(), text);
    QCOMPARE(root->children(), QSSectionNode::List({left, right}));
    QCOMPARE(holder->countOfChildren(), 2);
    QCOMPARE(section->parent(), holder);
    QCOMPARE(left->nodeData(), "a");

    // Once its children stand beside it, the texts that now meet are joined.
    holder->correctPositionsInTree();
    root->correctPositionsInTree();
    QCOMPARE(root->nodeDataWithChildren(), text);
    QCOMPARE(shape(root), leftHoldsChildren ? "ab,S(c,d)" : "adb,S(c)");
    checkParents(root);
}

QUILLSET_TEST_GUILESS_MAIN(TestQSSectionNode)
#include "tst_qssectionnode.moc"
