#include "TestSupport.h"
#include "TreeHelpers.h"
#include "model/ChangesQueue.h"
#include "model/QSFilePool.h"

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
    void parsesTheSevenCommands_data();
    void parsesTheSevenCommands();
    void resolvesIncludesAndCutsTheirCycles();
    void findsIncludesFromTheDocumentsFolder();
    void outlinesOfRealDocuments_data();
    void outlinesOfRealDocuments();
};

// Whether the first type outranks the second: equal ranks answer true, and text,
// the file node and include commands rank as the table of section types has them.
void TestQSSectionNode::rankingTable()
{
    const struct
    {
        const char *asked, *argument;
        bool result;
    } rows[] = {{"section", "subsection", true},  {"section", "section", true},
                {"subsection", "section", false}, {"section", "text", true},
                {"text", "text", true},           {"include", "section", true},
                {"section", "input", false},      {"input", "include", false},
                {"File", "text", true},           {"part", "chapter", true},
                {"subsubsection", "part", false}};
    for (const auto &row : rows) {
        QSSectionNode a, b;
        a.setNodeType(row.asked);
        b.setNodeType(row.argument);
        QVERIFY2(a.isOfGreaterPowerThan(b) == row.result, row.asked);
        QVERIFY2(a.isOfSameTypeAs(b) == (a.nodeType() == b.nodeType()), row.asked);
    }
}

void TestQSSectionNode::changeNoticesStructureAndFileNode()
{
    const QString text = QStringLiteral("intro\\section{S}body\n\\subsection{T}tail");
    const Node root = flatTree(text);
    const QSSectionNode::List nodes = root->children();
    QCOMPARE(nodes.size(), 5);
    const Node section = nodes[1], body = nodes[2], subsection = nodes[3], tail = nodes[4];
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

    for (const char *line : {"File : Untitled", "-text : textnode", "-section : S",
                             "--text : textnode", "--subsection : T", "--text : textnode"})
        QTest::ignoreMessage(QtInfoMsg, line);
    root->printStructure(0);

    // A node taken out keeps its parent and so still finds its file node.
    section->removeObjectFromChildrenAtIndex(2);
    QCOMPARE(tail->fileNodeInWhichItIsStored(), root);
    QCOMPARE(root->fileNodeInWhichItIsStored(), root);
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
    QTest::newRow("not outline commands, one a line")
        << "\\section {Intro}\n\\Section{x}\n\\paragraph{x}\n\\sectionmark{x}\n"
           "\\subsubsubsection{x}\n\\includegraphics{fig}\n\\section{A\n}\n\\section[S\n]{A}\n"
           "\\section[S{]}\n\\section{A"
        << QStringList();
    // The argument ends at its balancing brace; what follows is text or the next command.
    QTest::newRow("label after the heading")
        << "\\section{Intro}\\label{sec:intro}\nnext" << QStringList({"section:Intro"});
    QTest::newRow("two commands on a line") << "\\chapter{Two} \\section{Same line}"
                                            << QStringList({"chapter:Two", "section:Same line"});
    QTest::newRow("groups and escaped braces")
        << "\\section{The \\emph{real} title}\n\\section{Set \\{a\\} and \\}}"
        << QStringList({"section:The \\emph{real} title", "section:Set \\{a\\} and \\}"});
    QTest::newRow("unclosed runs to the line's last brace")
        << "\\section{A \\emph{b} c\nd}\n\\section{E {f} % g}"
        << QStringList({"section:A \\emph{b", "section:E {f"});
    QTest::newRow("short titles") << "\\section[Short]{A long title}\n\\chapter*[{[x]} y [z]]{T}"
                                  << QStringList({"section:A long title", "chapter:T"});
    // A % that is not escaped comments out the rest of its line.
    QTest::newRow("comments") << "% \\section{Old}\nx % \\input{old}\n\\section{A} % \\section{B}"
                              << QStringList({"section:A"});
    QTest::newRow("escapes") << "50\\% \\section{A}\n\\\\% \\section{B}\n\\\\section{C}\n"
                                "\\\\\\section{D}"
                             << QStringList({"section:A", "section:D"});
    QTest::newRow("include starred") << "\\include*{x}" << QStringList({"include:x"});
    QTest::newRow("lines apart") << "a\\section{A}\nb\\subsection{B}\r\nc"
                                 << QStringList({"section:A", "subsection:B"});
    QTest::newRow("a lone surrogate elsewhere")
        << QStringLiteral("\\section{A}\nx") + QChar(0xDEDA) + QStringLiteral("\\section{B}")
        << QStringList({"section:A", "section:B"});
}

void TestQSSectionNode::parsesTheSevenCommands()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
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
}

// Includes name files relative to the including file's folder.
void TestQSSectionNode::resolvesIncludesAndCutsTheirCycles()
{
    TestFolder folder;
    QSFilePool pool;
    folder.write(
        {{"chapters/one.tex", "One \\section{S}"}, {"a.TEX.tex", "a"}, {".tex.tex", "dot"}});
    folder.write(
        {{"other.tex", "other"}, {"a.tex", "A \\input{b}"}, {"b.tex", "B \\input{a}\n\\input{b}"}});
    folder.write("main.tex", "\\input{chapters/one}\n\\include{a.TEX}\n\\input{.tex}\n"
                             "\\input{other.tex}\n\\include{chapters/one.tex}x");
    const std::shared_ptr<QSFile> main = pool.readFile(folder.url("main.tex"));
    QVERIFY(main);
    const Node root = main->treeRootNode();
    QCOMPARE(commands(root),
             QStringList({"input:chapters/one.tex", "include:a.TEX.tex", "input:.tex.tex",
                          "input:other.tex", "include:chapters/one.tex"}));

    const std::shared_ptr<QSFile> one = pool.fileObjectForPath(folder.url("chapters/one.tex"));
    QVERIFY(one);
    const Node second = root->objectInChildrenAtIndex(9);
    QCOMPARE(root->objectInChildrenAtIndex(1)->children(),
             QSSectionNode::List({one->treeRootNode()}));
    QCOMPARE(second->children(), QSSectionNode::List({one->treeRootNode()}));
    QCOMPARE(one->treeRootNode()->parent(), nullptr);
    QCOMPARE(pool.openCountForFile(one->path()), 2);
    QCOMPARE(pool.openCountForFile(main->path()), 1);
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
    const Node untitledInclude = flatTree("\\input{other}")->objectInChildrenAtIndex(1);
    QCOMPARE(untitledInclude->nodeName(), QStringLiteral("other"));
    QCOMPARE(untitledInclude->countOfChildren(), 0);
    QCOMPARE(pool.openCountForFile(folder.url("other.tex")), 1);
    const QString broken =
        folder.write("broken.tex", "\\input{missing}\n\\input{./chapters/../other}");
    const Node brokenRoot = pool.readFile(QUrl::fromLocalFile(broken))->treeRootNode();
    QCOMPARE(brokenRoot->objectInChildrenAtIndex(1)->countOfChildren(), 0);
    QCOMPARE(pool.openCountForFile(folder.url("other.tex")), 2);

    // a includes b, which includes a and itself: the includes that would close a loop
    // stay empty and open nothing.
    const std::shared_ptr<QSFile> a = pool.readFile(folder.url("a.tex"));
    QVERIFY(a);
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
    QList<QSFile *> list{a.get()};
    a->addAllIncludedFilesToArray(&list);
    QCOMPARE(list, QList<QSFile *>({a.get(), b.get()}));
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
    folder.write({{"chapters/results.tex", "\\section{Results}\n\\input{chapters/figures/table1}\n"
                                           "\\input{near}\n"},
                  {"chapters/figures/table1.tex", "\\section{Table}\n"},
                  {"chapters/near.tex", "near"},
                  {"near.tex", "far"},
                  {"chapters/figures/table2.tex", "two"}});
    const std::shared_ptr<QSFile> main =
        pool.readFile(QUrl::fromLocalFile(folder.write("main.tex", "\\input{chapters/results}\n")));
    const std::shared_ptr<QSFile> results =
        pool.fileObjectForPath(folder.url("chapters/results.tex"));
    const std::shared_ptr<QSFile> table =
        pool.fileObjectForPath(folder.url("chapters/figures/table1.tex"));
    QVERIFY(results && table);
    const Node section = results->treeRootNode()->objectInChildrenAtIndex(1);
    const QSSectionNode::List includes = section->childrenWithoutTextNodes();
    QCOMPARE(includes.size(), 2);
    QCOMPARE(includes.at(0)->children(), QSSectionNode::List({table->treeRootNode()}));
    QCOMPARE(table->filesWhichIncludeThisFile(), QList<QSFile *>({results.get()}));
    // The engine names the file from the root's folder, and so does the sync lookup.
    QCOMPARE(table->relativeIncludePathsToThisFile(),
             QSet<QString>({"chapters/figures/table1.tex"}));
    QCOMPARE(includes.at(1)->children().first()->nodeFile()->pathText(),
             folder.path("chapters/near.tex"));
    QList<QSFile *> files{main.get()};
    main->addAllIncludedFilesToArray(&files);
    QCOMPARE(files.size(), 4);

    // An include typed later is found the same way, through the include graph.
    const qint32 end = results->treeRootNode()->lengthWithChildren();
    queue.addChangeToQueue(ChangeRecord{"add", QSRange{quint32(end), 31},
                                        "\\input{chapters/figures/table2}",
                                        results->treeRootNode()});
    queue.waitUntilIdle();
    QVERIFY(pool.fileObjectForPath(folder.url("chapters/figures/table2.tex")));

    // Opened on its own, the chapter is its own document: nothing is found above it.
    QVERIFY(pool.closeFile(main->path()));
    QVERIFY(!pool.fileObjectForPath(folder.url("chapters/results.tex")));
    const std::shared_ptr<QSFile> alone = pool.readFile(folder.url("chapters/results.tex"));
    QCOMPARE(alone->treeRootNode()
                 ->objectInChildrenAtIndex(1)
                 ->childrenWithoutTextNodes()
                 .first()
                 ->countOfChildren(),
             0);
}

// Documents written in several authors' habits, each with the outline that reading
// it by hand gives beside it (tests/data/outline/<document>/expected.txt).
void TestQSSectionNode::outlinesOfRealDocuments_data()
{
    QTest::addColumn<QString>("document");
    QTest::newRow("article with labels and comments") << "article/paper.tex";
    QTest::newRow("thesis with chapters in a sub-folder") << "thesis/thesis.tex";
    QTest::newRow("lecture notes in parts") << "notes/lecture-notes.tex";
    QTest::newRow("book with long paths") << "longpaths/book.tex";
    QTest::newRow("manual with short titles") << "book/manual.tex";
}

void TestQSSectionNode::outlinesOfRealDocuments()
{
    QFETCH(QString, document);
    const TestFolder settings;
    QSFilePool pool;
    const QDir data(QStringLiteral(QUILLSET_SOURCE_DIR "/tests/data/outline"));
    const std::shared_ptr<QSFile> root =
        pool.readFile(QUrl::fromLocalFile(data.filePath(document)));
    QVERIFY(root);
    const QString folder = document.left(document.indexOf(u'/') + 1);
    const QString expected =
        QString::fromUtf8(TestFolder::read(data.filePath(folder + "expected.txt")));
    QCOMPARE(outlineLines(root->treeRootNode()).join(u'\n'), expected.trimmed());
    // Every file of the document still holds exactly its text.
    for (const std::shared_ptr<QSFile> &file : QSFilePool::fileList(root.get()))
        QCOMPARE(file->treeRootNode()->nodeDataWithChildren(), file->content());
}

QTEST_GUILESS_MAIN(TestQSSectionNode)
#include "tst_qssectionnode.moc"
