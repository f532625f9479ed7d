#include "TestSupport.h"
#include "TreeHelpers.h"
#include "model/ChangesQueue.h"
#include "model/QSFilePool.h"

#include <QRandomGenerator>

namespace {

// The command nodes among a file node's children as "type:name".
QStringList commands(const Node &root)
{
    QStringList found;
    for (const Node &child : root->children()) {
        if (!child->isTextNode())
            found << child->nodeType() + u':' + child->nodeName();
    }
    return found;
}

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

// Every child names its holder as parent, no two text nodes stand side by side,
// and no section holds one that ranks as high as itself.
void checkConsistent(const Node &node)
{
    const QStringList ranks = QSSectionNode::sectionTypes();
    for (qsizetype i = 0; i < node->countOfChildren(); ++i) {
        const Node child = node->objectInChildrenAtIndex(i);
        QCOMPARE(child->parent(), node);
        if (i > 0 && child->isTextNode())
            QVERIFY(!node->objectInChildrenAtIndex(i - 1)->isTextNode());
        if (ranks.contains(node->nodeType()) && ranks.contains(child->nodeType()))
            QVERIFY(ranks.indexOf(child->nodeType()) < ranks.indexOf(node->nodeType()));
        if (!child->isFileIncludeNode())
            checkConsistent(child);
    }
}

// Offset 0 is answered by the first node, every other offset by the node that holds
// the character before it, at that node's own location; past the end, by none.
void checkLookups(const Node &root, const QString &text)
{
    QCOMPARE(root->nodeAtLocation(0, 0)->object, root->objectInChildrenAtIndex(0));
    QCOMPARE(root->nodeAtLocation(0, 0)->nodeLocationInFile, 0);
    for (qint32 at = 1; at <= text.size(); ++at) {
        const std::optional<QSLocationRecord> found = root->nodeAtLocation(at, 0);
        QVERIFY(found);
        const qint32 start = found->nodeLocationInFile;
        QCOMPARE(start, found->object->nodeLocation());
        QVERIFY(start < at && at <= start + found->object->nodeData().size());
        QCOMPARE(found->object->nodeData().at(at - start - 1), text.at(at - 1));
    }
    QVERIFY(!root->nodeAtLocation(qint32(text.size()) + 1, 0));
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
    void rankingTable();
    void changeNoticesStructureAndFileNode();
    void commandsAndNesting_data();
    void commandsAndNesting();
    void structuralOperations();
    void randomDocumentsKeepTheirText();
    void resolvesIncludesAndCutsTheirCycles();
    void findsIncludesFromTheDocumentsFolder();
    void outlinesOfRealDocuments_data();
    void outlinesOfRealDocuments();
};

// "a>b": a outranks b (equal ranks do too); "a<b": it does not. Text, the file node
// and include commands rank as the table of section types has them.
void TestQSSectionNode::rankingTable()
{
    for (const QString row : {"section>subsection", "section>section", "section>text", "text>text",
                              "include>section", "File>text", "part>chapter", "subsection<section",
                              "section<input", "input<include", "subsubsection<part"}) {
        const QStringList types = row.split(QRegularExpression(QStringLiteral("[<>]")));
        QSSectionNode a, b;
        a.setNodeType(types[0]);
        b.setNodeType(types[1]);
        QVERIFY2(a.isOfGreaterPowerThan(b) == row.contains(u'>'), qPrintable(row));
        QCOMPARE(a.isOfSameTypeAs(b), types[0] == types[1]);
    }
}

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

// The cases of tests/data/outline/commands-and-nesting.txt, and one that a text file
// cannot hold.
void TestQSSectionNode::commandsAndNesting_data()
{
    goldenRows("outline/commands-and-nesting.txt");
    const QString surrogate = "\\section{A}\nx" + QString(QChar(0xDEDA)) + "\\section{B}";
    QTest::newRow("a lone surrogate elsewhere") << GoldenCase{
        {},
        {"text", "commands", "nesting"},
        {surrogate, "section:A\nsection:B", "_,A(x" + QString(QChar(0xDEDA)) + "),B(_)"}};
}

void TestQSSectionNode::commandsAndNesting()
{
    QFETCH(GoldenCase, golden);
    const QString text = golden.part("text");
    const QStringList expected = golden.part("commands").split(u'\n', Qt::SkipEmptyParts);
    const Node root = flatTree(text);
    QCOMPARE(commands(root), expected);
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
    QCOMPARE(shape(nested), golden.part("nesting"));
    QCOMPARE(nested->nodeDataWithChildren(), text);
    checkConsistent(nested);
}

// Includes name files relative to the including file's folder; one file included
// twice is one tree held twice; includes that would close a loop stay empty.
void TestQSSectionNode::resolvesIncludesAndCutsTheirCycles()
{
    TestFolder folder;
    QSFilePool pool;
    folder.write({{"chapters/one.tex", "One \\section{S}"}, {"a.TEX.tex", "a"}, {".tex.tex", "."}});
    folder.write(
        {{"other.tex", "other"}, {"a.tex", "A \\input{b}"}, {"b.tex", "B \\input{a}\n\\input{b}"}});
    folder.write("main.tex", "\\input{chapters/one}\n\\include{a.TEX}\n\\input{.tex}\n"
                             "\\input{other.tex}\n\\include{chapters/one.tex}x");
    const std::shared_ptr<QSFile> main = pool.readFile(folder.url("main.tex"));
    const Node root = main->treeRootNode();
    QCOMPARE(commands(root),
             QStringList({"input:chapters/one.tex", "include:a.TEX.tex", "input:.tex.tex",
                          "input:other.tex", "include:chapters/one.tex"}));
    const std::shared_ptr<QSFile> one = pool.fileObjectForPath(folder.url("chapters/one.tex"));
    const Node second = root->objectInChildrenAtIndex(9);
    for (int i : {1, 9})
        QCOMPARE(root->objectInChildrenAtIndex(i)->children(),
                 QSSectionNode::List({one->treeRootNode()}));
    for (int i : {3, 5, 7})
        QCOMPARE(root->objectInChildrenAtIndex(i)->countOfChildren(), 1);
    QCOMPARE(one->treeRootNode()->parent(), nullptr);
    QCOMPARE(pool.openCountForFile(one->path()), 2);
    QCOMPARE(main->filesWhichThisFileIncludes().size(), 4);

    // The including file's text stops at its include commands; offsets count only it.
    QVERIFY(!root->nodeDataWithChildren().contains(QStringLiteral("One")));
    const qint32 lastInclude = root->nodeDataWithChildren().size() - 1;
    QCOMPARE(root->nodeAtLocation(lastInclude, 0)->object, second);
    QCOMPARE(root->nodeAtLocation(lastInclude + 1, 0)->object, root->objectInChildrenAtIndex(10));
    QCOMPARE(root->nodeAtLocation(lastInclude + 1, 0)->nodeLocationInFile, lastInclude);
    const Node sectionInOne = one->treeRootNode()->objectInChildrenAtIndex(1);
    QCOMPARE(sectionInOne->nodeLocation(), 4);
    QCOMPARE(sectionInOne->fileNodeInWhichItIsStored(), one->treeRootNode());

    // An untitled file opens nothing; a missing file leaves its include node empty.
    const Node untitledInclude = flatTree("\\input{other}")->objectInChildrenAtIndex(1);
    QCOMPARE(untitledInclude->nodeName(), "other");
    QCOMPARE(untitledInclude->countOfChildren(), 0);
    const QString broken =
        folder.write("broken.tex", "\\input{missing}\n\\input{./chapters/../other}");
    const Node brokenRoot = pool.readFile(QUrl::fromLocalFile(broken))->treeRootNode();
    QCOMPARE(brokenRoot->objectInChildrenAtIndex(1)->countOfChildren(), 0);
    QCOMPARE(pool.openCountForFile(folder.url("other.tex")), 2);

    // a includes b, which includes a and itself.
    const std::shared_ptr<QSFile> a = pool.readFile(folder.url("a.tex"));
    const std::shared_ptr<QSFile> b = pool.fileObjectForPath(folder.url("b.tex"));
    QCOMPARE(a->treeRootNode()->objectInChildrenAtIndex(1)->children(),
             QSSectionNode::List({b->treeRootNode()}));
    QCOMPARE(b->treeRootNode()->objectInChildrenAtIndex(1)->countOfChildren(), 0);
    QCOMPARE(b->treeRootNode()->objectInChildrenAtIndex(3)->countOfChildren(), 0);
    QCOMPARE(pool.openCountForFile(a->path()), 1);
    QCOMPARE(pool.openCountForFile(b->path()), 1);

    // b read again on its own, now that a is held: its include of a would close the loop.
    folder.write("b.tex", "B \\input{a}\n");
    QVERIFY(pool.readFile(b->path()));
    QCOMPARE(b->treeRootNode()->objectInChildrenAtIndex(1)->countOfChildren(), 0);
    QCOMPARE(pool.openCountForFile(a->path()), 1);
    QVERIFY(pool.closeFile(a->path()));
    QVERIFY(!pool.fileObjectForPath(a->path()));
    QCOMPARE(pool.openCountForFile(b->path()), 1);
}

// TeX reads every \\input from the folder it runs in, the root file's: a file in a
// sub-folder names the files it includes from there. Its own folder comes first.
void TestQSSectionNode::findsIncludesFromTheDocumentsFolder()
{
    TestFolder folder;
    QSFilePool pool;
    ChangesQueue queue;
    folder.write({{"chapters/results.tex",
                   "\\section{R}\n\\input{chapters/figures/table1}\n\\input{near}\n"},
                  {"chapters/figures/table1.tex", "\\section{Table}\n"},
                  {"chapters/near.tex", "near"},
                  {"near.tex", "far"},
                  {"main.tex", "\\input{chapters/results}\n"}});
    const std::shared_ptr<QSFile> main = pool.readFile(folder.url("main.tex"));
    const std::shared_ptr<QSFile> results =
        pool.fileObjectForPath(folder.url("chapters/results.tex"));
    const std::shared_ptr<QSFile> table =
        pool.fileObjectForPath(folder.url("chapters/figures/table1.tex"));
    QVERIFY(results && table);
    const QSSectionNode::List includes =
        results->treeRootNode()->objectInChildrenAtIndex(1)->childrenWithoutTextNodes();
    QCOMPARE(includes.at(0)->children(), QSSectionNode::List({table->treeRootNode()}));
    QCOMPARE(table->filesWhichIncludeThisFile(), QList<QSFile *>({results.get()}));
    // The engine names the file from the root's folder, and so does the sync lookup.
    QCOMPARE(table->relativeIncludePathsToThisFile(),
             QSet<QString>({"chapters/figures/table1.tex"}));
    QCOMPARE(includes.at(1)->children().first()->nodeFile()->pathText(),
             folder.path("chapters/near.tex"));

    // An include typed later is found the same way, through the include graph.
    folder.write("chapters/figures/table2.tex", "two");
    const auto end = quint32(results->treeRootNode()->lengthWithChildren());
    queue.addChangeToQueue(ChangeRecord{"add", QSRange{end, 31}, "\\input{chapters/figures/table2}",
                                        results->treeRootNode()});
    queue.waitUntilIdle();
    QVERIFY(pool.fileObjectForPath(folder.url("chapters/figures/table2.tex")));

    // Opened on its own, the chapter is its own document: nothing is found above it.
    QVERIFY(pool.closeFile(main->path()));
    const std::shared_ptr<QSFile> alone = pool.readFile(folder.url("chapters/results.tex"));
    const Node firstInclude =
        alone->treeRootNode()->objectInChildrenAtIndex(1)->childrenWithoutTextNodes().first();
    QCOMPARE(firstInclude->countOfChildren(), 0);
}

// Documents written in several authors' habits (tests/data/outline/<document>), each
// with the outline that reading it by hand gives in its expected.txt beside its root.
void TestQSSectionNode::outlinesOfRealDocuments_data()
{
    QTest::addColumn<QString>("root");
    const QDir data(dataPath("outline"));
    for (const QString &document : data.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QStringList roots = QDir(data.filePath(document)).entryList({"*.tex"}, QDir::Files);
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
    // Every file of the document still holds exactly its text.
    for (const std::shared_ptr<QSFile> &each : QSFilePool::fileList(file.get()))
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

// For random documents, the flat parse and the restructured tree hold exactly the
// text and find every offset, the tree is consistent, and it is the same whether
// nested in one pass or rule by rule.
void TestQSSectionNode::randomDocumentsKeepTheirText()
{
    const QStringList pieces =
        QStringLiteral("\\part{P}\n|\\chapter{C}\n|\\section{S}\n|\\subsection*{SS}\n|"
                       "\\subsubsection{SSS}\n|\\input{i}\n|\\include{j}\n|prose |\n|"
                       "% \\section{c}\n|}{|\\section\n|\r\n|\\chapter{C} % note}|}|"
                       "\\section[s]{t}|\\\\|ß😀|\\subsubsection{|\\input{ch/one}|\\part{Ü}|"
                       "\\section{A}")
            .split(u'|');
    QRandomGenerator random(4242);
    for (int round = 0; round < 400; ++round) {
        QString text = QStringLiteral("");
        for (int i = random.bounded(0, 60); i > 0; --i)
            text += pieces.at(random.bounded(pieces.size()));
        const Node root = nestedTree(text);
        QCOMPARE(root->nodeDataWithChildren(), text);
        checkConsistent(root);
        checkLookups(root, text);
        // The flat parse holds text and commands in turn.
        const Node byRules = flatTree(text);
        QCOMPARE(byRules->nodeDataWithChildren(), text);
        QCOMPARE(byRules->countOfChildren() % 2, 1);
        checkLookups(byRules, text);
        byRules->correctPositionsInTree();
        QCOMPARE(shape(byRules), shape(root));
    }
}

QTEST_GUILESS_MAIN(TestQSSectionNode)
#include "tst_qssectionnode.moc"
