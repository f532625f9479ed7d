#include "TestSupport.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"

#include <QRandomGenerator>

using Node = QSSectionNode::Ptr;

namespace {

// The flat node list that parsing makes, before any restructuring.
Node flat(const QString &text)
{
    return QSSectionNode::initWithData(text, QSNodeType::File, QStringLiteral("Untitled"), {},
                                       nullptr, {});
}

// A file's tree as opened: parsed and restructured.
std::shared_ptr<QSFile> parsed(const QString &text)
{
    return QSFile::initUntitledFileWithTemplateString(text, QStringLiteral("Untitled"));
}

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

class RecordingObserver : public QSSectionNode::Observer
{
public:
    void childrenWithoutTextNodesWillChange(QSSectionNode *node) override
    {
        events << QStringLiteral("will %1").arg(node->childrenWithoutTextNodes().size());
    }
    void childrenWithoutTextNodesDidChange(QSSectionNode *node) override
    {
        events << QStringLiteral("did %1").arg(node->childrenWithoutTextNodes().size());
    }
    QStringList events;
};

} // namespace

class TestQSSectionNode : public QObject
{
    Q_OBJECT

private slots:
    void offsetsAndLookups_data();
    void offsetsAndLookups();
    void rankingTable_data();
    void rankingTable();
    void neighboursWalksAndChangeNotices();
    void parsesTheSevenCommands_data();
    void parsesTheSevenCommands();
    void parsedTreeGivesBackTheText();
    void resolvesIncludesRelativeToTheIncludingFile();
    void includeCyclesAreCut();
    void logsMissingTextAndStructure();
};

void TestQSSectionNode::offsetsAndLookups_data()
{
    QTest::addColumn<bool>("nested");
    QTest::newRow("as parsed") << false;
    QTest::newRow("section holds the text after it") << true;
}

void TestQSSectionNode::offsetsAndLookups()
{
    QFETCH(bool, nested);
    const QString text = QStringLiteral("A\\section{B}C");
    const auto file = parsed(text);
    const Node root = nested ? file->treeRootNode() : flat(text);
    QCOMPARE(root->countOfChildren(), nested ? 2 : 3);
    const Node a = root->objectInChildrenAtIndex(0);
    const Node section = root->objectInChildrenAtIndex(1);
    const Node c = nested ? section->objectInChildrenAtIndex(0) : root->objectInChildrenAtIndex(2);
    QCOMPARE(section->nodeName(), QStringLiteral("B"));
    QCOMPARE(root->nodeDataWithChildren(), QStringLiteral("A\\section{B}C"));
    QCOMPARE(a->nodeLocation(), 0);
    QCOMPARE(section->nodeLocation(), 1);
    QCOMPARE(c->nodeLocation(), 12);

    const struct
    {
        qint32 offset;
        Node node;
        qint32 start;
    } expected[] = {{0, a, 0}, {1, a, 0}, {2, section, 1}, {12, section, 1}, {13, c, 12}};
    for (const auto &row : expected) {
        const std::optional<QSLocationRecord> found = root->nodeAtLocation(row.offset, 0);
        QVERIFY2(found, qPrintable(QString::number(row.offset)));
        QCOMPARE(found->object, row.node);
        QCOMPARE(found->nodeLocationInFile, row.start);
    }
    QVERIFY(!root->nodeAtLocation(14, 0));

    // A file that starts with a command: its empty first text node answers offset 0 only.
    const Node starting = flat(QStringLiteral("\\section{A}x"));
    const Node empty = starting->objectInChildrenAtIndex(0);
    QCOMPARE(empty->nodeData(), QString());
    QCOMPARE(starting->nodeAtLocation(0, 0)->object, empty);
    QCOMPARE(starting->nodeAtLocation(1, 0)->object, starting->objectInChildrenAtIndex(1));
}

void TestQSSectionNode::rankingTable_data()
{
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<bool>("result");
    QTest::newRow("section/subsection") << "section"
                                        << "subsection" << true;
    QTest::newRow("section/section") << "section"
                                     << "section" << true;
    QTest::newRow("subsection/section") << "subsection"
                                        << "section" << false;
    QTest::newRow("section/text") << "section"
                                  << "text" << true;
    QTest::newRow("text/text") << "text"
                               << "text" << true;
    QTest::newRow("include/section") << "include"
                                     << "section" << true;
    QTest::newRow("section/input") << "section"
                                   << "input" << false;
    QTest::newRow("input/include") << "input"
                                   << "include" << false;
    QTest::newRow("File/text") << "File"
                               << "text" << true;
    QTest::newRow("part/chapter") << "part"
                                  << "chapter" << true;
    QTest::newRow("subsubsection/part") << "subsubsection"
                                        << "part" << false;
}

void TestQSSectionNode::rankingTable()
{
    QFETCH(QString, asked);
    QFETCH(QString, argument);
    QFETCH(bool, result);
    QSSectionNode a;
    QSSectionNode b;
    a.setNodeType(asked);
    b.setNodeType(argument);
    QCOMPARE(a.isOfGreaterPowerThan(b), result);
    QCOMPARE(a.isOfSameTypeAs(b), asked == argument);
}

void TestQSSectionNode::neighboursWalksAndChangeNotices()
{
    const Node root = flat(QStringLiteral("intro\\section{S}body\n\\subsection{T}tail"));
    QCOMPARE(root->countOfChildren(), 5);
    const Node intro = root->objectInChildrenAtIndex(0);
    const Node section = root->objectInChildrenAtIndex(1);
    const Node body = root->objectInChildrenAtIndex(2);
    const Node subsection = root->objectInChildrenAtIndex(3);
    const Node tail = root->objectInChildrenAtIndex(4);
    QCOMPARE(root->childrenWithoutTextNodes(), QSSectionNode::List({section, subsection}));

    // Nest by hand: the section holds body, subsection, tail.
    RecordingObserver observer;
    section->addObserver(&observer);
    for (const Node &moved : {body, subsection, tail}) {
        root->removeObjectFromChildrenAtIndex(2);
        section->insertObject(moved, section->countOfChildren());
        moved->setParent(section);
    }
    section->removeObserver(&observer);
    QCOMPARE(observer.events,
             QStringList({"will 0", "did 0", "will 0", "did 1", "will 1", "did 1"}));
    QCOMPARE(section->childrenWithoutTextNodes(), QSSectionNode::List({subsection}));
    QCOMPARE(root->childrenWithoutTextNodes(), QSSectionNode::List({section}));

    QCOMPARE(intro->leftSibling(), nullptr);
    QCOMPARE(section->rightSibling(), nullptr);
    QCOMPARE(tail->rightSibling(), nullptr);
    QCOMPARE(body->rightSibling(), subsection);
    QCOMPARE(root->leftSibling(), nullptr);
    QCOMPARE(root->leftSiblingOfChild(tail.get()), nullptr); // not a child of root
    QCOMPARE(root->rightMostChild(), tail);
    QCOMPARE(tail->traverseLeft(), subsection);
    QCOMPARE(subsection->traverseLeft(), body);
    QCOMPARE(body->traverseLeft(), section);
    QCOMPARE(section->traverseLeft(), intro);
    QCOMPARE(intro->traverseLeft(), root);
    QCOMPARE(root->traverseLeft(), nullptr);
    QCOMPARE(tail->fileNodeInWhichItIsStored(), root);
    QCOMPARE(tail->nodeLocation(), 5 + 11 + 5 + 14);
    QCOMPARE(root->nodeDataWithChildren(),
             QStringLiteral("intro\\section{S}body\n\\subsection{T}tail"));

    // A node taken out keeps its parent and so still finds its file node.
    section->removeObjectFromChildrenAtIndex(2);
    QCOMPARE(tail->fileNodeInWhichItIsStored(), root);
}

void TestQSSectionNode::parsesTheSevenCommands_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("empty") << "" << QStringList();
    QTest::newRow("all seven") << "\\part{P}\n\\chapter{C}\n\\section{S}\n\\subsection{SS}\n"
                                  "\\subsubsection{SSS}\n\\input{i}\n\\include{j}"
                               << QStringList({"part:P", "chapter:C", "section:S", "subsection:SS",
                                               "subsubsection:SSS", "input:i", "include:j"});
    QTest::newRow("starred") << "\\section*{Intro}" << QStringList({"section:Intro"});
    QTest::newRow("optional argument") << "\\section[Short]{Long}" << QStringList();
    QTest::newRow("blank before brace") << "\\section {Intro}" << QStringList();
    QTest::newRow("capitalised") << "\\Section{x}" << QStringList();
    QTest::newRow("paragraph") << "\\paragraph{x}" << QStringList();
    QTest::newRow("three subs") << "\\subsubsubsection{x}" << QStringList();
    QTest::newRow("greedy to the last brace") << "\\section{Intro} \\label{sec:intro}\nnext"
                                              << QStringList({"section:Intro} \\label{sec:intro"});
    QTest::newRow("two commands on a line")
        << "\\chapter{A} \\section{B}" << QStringList({"chapter:A} \\section{B"});
    QTest::newRow("brace on the next line") << "\\section{A\n}" << QStringList();
    QTest::newRow("brace missing") << "\\section{A" << QStringList();
    QTest::newRow("commented out") << "% \\section{Old}" << QStringList({"section:Old"});
    QTest::newRow("includegraphics") << "\\includegraphics{fig}" << QStringList();
    QTest::newRow("include starred") << "\\include*{x}" << QStringList({"include:x"});
    QTest::newRow("lines apart") << "a\\section{A}\nb\\subsection{B}\r\nc"
                                 << QStringList({"section:A", "subsection:B"});
}

void TestQSSectionNode::parsesTheSevenCommands()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    const Node root = flat(text);
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
}

// For random mixes of commands and prose, the tree holds exactly the text.
void TestQSSectionNode::parsedTreeGivesBackTheText()
{
    const QStringList pieces = {
        "\\section{A}",
        "\\subsection*{B b}",
        "\\chapter{C} % note}",
        "\\input{ch/one}",
        "\\include{two}",
        "\\part{Ü}",
        "\\subsubsection{",
        "}",
        "{",
        "\\section",
        "\n",
        "\r\n",
        " prose ",
        "% \\section{commented}",
        "\\\\",
        "\\label{x}",
        "ß😀",
        "\\section[s]{t}",
        "$x^2$",
    };
    QRandomGenerator random(20261206);
    for (int round = 0; round < 400; ++round) {
        QString text = QStringLiteral("");
        const int count = random.bounded(0, 40);
        for (int i = 0; i < count; ++i)
            text += pieces.at(random.bounded(pieces.size()));
        const Node root = flat(text);
        QCOMPARE(root->nodeDataWithChildren(), text);
        QCOMPARE(parsed(text)->treeRootNode()->nodeDataWithChildren(), text);
        QCOMPARE(root->countOfChildren() % 2, 1);
        qint32 offset = 0;
        for (const Node &child : root->children()) {
            QCOMPARE(child->nodeLocation(), offset);
            offset += qint32(child->nodeData().size());
        }
    }
}

void TestQSSectionNode::resolvesIncludesRelativeToTheIncludingFile()
{
    TestFolder folder;
    QSFilePool pool;
    folder.write("main.tex", "\\input{chapters/one}\n\\include{a.TEX}\n\\input{.tex}\n"
                             "\\input{other.tex}\n\\include{chapters/one.tex}x");
    folder.write("chapters/one.tex", "One \\section{S}");
    folder.write("a.TEX.tex", "a");
    folder.write(".tex.tex", "dot");
    folder.write("other.tex", "other");
    const QUrl mainUrl = QUrl::fromLocalFile(folder.path("main.tex"));
    const std::shared_ptr<QSFile> main = pool.readFile(mainUrl);
    QVERIFY(main);
    const Node root = main->treeRootNode();
    QCOMPARE(commands(root),
             QStringList({"input:chapters/one.tex", "include:a.TEX.tex", "input:.tex.tex",
                          "input:other.tex", "include:chapters/one.tex"}));

    const QUrl oneUrl = QUrl::fromLocalFile(folder.path("chapters/one.tex"));
    const std::shared_ptr<QSFile> one = pool.fileObjectForPath(oneUrl);
    QVERIFY(one);
    const Node first = root->objectInChildrenAtIndex(1);
    const Node second = root->objectInChildrenAtIndex(9);
    QCOMPARE(first->children(), QSSectionNode::List({one->treeRootNode()}));
    QCOMPARE(second->children(), QSSectionNode::List({one->treeRootNode()}));
    QCOMPARE(one->treeRootNode()->parent(), nullptr);
    QCOMPARE(pool.openCountForFile(oneUrl), 2);
    QCOMPARE(pool.openCountForFile(mainUrl), 1);
    for (int i : {3, 5, 7})
        QCOMPARE(root->objectInChildrenAtIndex(i)->countOfChildren(), 1);
    QCOMPARE(main->filesWhichThisFileIncludes().size(), 4);
    QCOMPARE(one->relativeIncludePathsToThisFile(), QSet<QString>({"chapters/one.tex"}));

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
    const Node untitledInclude = flat("\\input{other}")->objectInChildrenAtIndex(1);
    QCOMPARE(untitledInclude->nodeName(), QStringLiteral("other"));
    QCOMPARE(untitledInclude->countOfChildren(), 0);
    QCOMPARE(pool.openCountForFile(QUrl::fromLocalFile(folder.path("other.tex"))), 1);
    folder.write("broken.tex", "\\input{missing}\n\\input{./chapters/../other}");
    const std::shared_ptr<QSFile> broken =
        pool.readFile(QUrl::fromLocalFile(folder.path("broken.tex")));
    QCOMPARE(broken->treeRootNode()->objectInChildrenAtIndex(1)->countOfChildren(), 0);
    QCOMPARE(pool.openCountForFile(QUrl::fromLocalFile(folder.path("other.tex"))), 2);
}

void TestQSSectionNode::includeCyclesAreCut()
{
    TestFolder folder;
    QSFilePool pool;
    folder.write("a.tex", "A \\input{b}");
    folder.write("b.tex", "B \\input{a}\n\\input{b}");
    const QUrl aUrl = QUrl::fromLocalFile(folder.path("a.tex"));
    const QUrl bUrl = QUrl::fromLocalFile(folder.path("b.tex"));
    const std::shared_ptr<QSFile> a = pool.readFile(aUrl);
    QVERIFY(a);
    const std::shared_ptr<QSFile> b = pool.fileObjectForPath(bUrl);
    QCOMPARE(a->treeRootNode()->objectInChildrenAtIndex(1)->children(),
             QSSectionNode::List({b->treeRootNode()}));
    QCOMPARE(b->treeRootNode()->objectInChildrenAtIndex(1)->countOfChildren(), 0);
    QCOMPARE(b->treeRootNode()->objectInChildrenAtIndex(3)->countOfChildren(), 0);
    QCOMPARE(pool.openCountForFile(aUrl), 1);
    QCOMPARE(pool.openCountForFile(bUrl), 1);

    // Opening b on its own, now that a is held: b's include of a would close the loop.
    QVERIFY(pool.readFile(bUrl));
    QList<QSFile *> list{a.get()};
    a->addAllIncludedFilesToArray(&list);
    QCOMPARE(list, QList<QSFile *>({a.get(), b.get()}));
    QVERIFY(pool.closeFile(aUrl));
    QVERIFY(!pool.fileObjectForPath(aUrl));
    QCOMPARE(pool.openCountForFile(bUrl), 1);
}

void TestQSSectionNode::logsMissingTextAndStructure()
{
    const Node root = parsed(QStringLiteral("\\section{S}x"))->treeRootNode();
    QTest::ignoreMessage(QtWarningMsg, "buildChildrenArrayFromData: data was nil");
    QCOMPARE(root->buildChildrenArrayFromData(QString()), std::nullopt);
    QCOMPARE(root->buildChildrenArrayFromData(QStringLiteral("plain"))->size(), 0);

    for (const char *line :
         {"File : Untitled", "-text : textnode", "-section : S", "--text : textnode"})
        QTest::ignoreMessage(QtWarningMsg, line);
    root->printStructure(0);
}

QTEST_GUILESS_MAIN(TestQSSectionNode)
#include "tst_qssectionnode.moc"
