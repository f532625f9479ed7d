#include "PoolHelpers.h"
#include "TestSupport.h"
#include "model/ChangesQueue.h"
#include "model/QSSectionNode.h"

#include <QRandomGenerator>
#include <thread>

class TestQSFilePool : public QObject
{
    Q_OBJECT

private slots:
    void countsHoldersAndLetsGo();
    void changesOnDiskAreKeptOrReread();
    void documentsHearOfEditsAndClosings();
    void randomDocumentsOpenAndCloseCleanly();
    void includeThatWouldMakeACycleGivesItsOpensBack();
};

// A file is held once for every open, and leaves the pool with the last of them. (How
// include nodes hold files is for the random documents below.)
void TestQSFilePool::countsHoldersAndLetsGo()
{
    TestFolder folder;
    QSFilePool pool;
    const QUrl main = QUrl::fromLocalFile(folder.write("main.tex", "\\section{A}a"));
    const std::shared_ptr<QSFile> first = pool.readFile(main);
    markEdited(*first);
    // The same path, also spelt differently: the same file, tree and history.
    QCOMPARE(pool.readFile(folder.url("sub/../main.tex")), first);
    QCOMPARE(pool.openCountForFile(main), 2);
    QVERIFY(pool.closeFile(main));
    QCOMPARE(pool.fileObjectForPath(main), first);
    QVERIFY(pool.closeFile(main));
    QVERIFY(!pool.fileObjectForPath(main));
    QTest::ignoreMessage(QtInfoMsg, "closeFile: f was nil");
    QVERIFY(!pool.closeFile(main));
    // A fresh open after the file left reads the disk again.
    QVERIFY(pool.readFile(main) != first);
    QVERIFY(!pool.readFile(folder.url("missing.tex")));
    QCOMPARE(pool.openCountForFile(folder.url("missing.tex")), 0);
    // Untitled documents of one title share one file, which keeps its edited text.
    const std::shared_ptr<QSFile> untitled = pool.createFileFromTemplateString("template", "U");
    untitled->setContent(QStringLiteral("edited"));
    QCOMPARE(pool.createFileFromTemplateString("other template", "U"), untitled);
    QCOMPARE(untitled->content(), "edited");
    QVERIFY(!pool.hasFilesInDocumentChanged(untitled));
}

// A change on disk to any file of a document is noticed; it is either accepted as it
// stands or read, and a reread hands back the opens of the old tree.
void TestQSFilePool::changesOnDiskAreKeptOrReread()
{
    TestFolder folder;
    QSFilePool pool;
    folder.write({{"main.tex", "\\input{b}\n\\input{gone}"}, {"b.tex", "b"}, {"gone.tex", "gone"}});
    const std::shared_ptr<QSFile> main = pool.readFile(folder.url("main.tex"));
    const std::shared_ptr<QSFile> b = pool.fileObjectForPath(folder.url("b.tex"));
    QVERIFY(!pool.hasFilesInDocumentChanged(main));
    folder.write("b.tex", "b changed");
    QVERIFY(pool.hasFilesInDocumentChanged(main));
    pool.changeAttributesToUpdatedVersion(main->path());
    QVERIFY(!pool.hasFilesInDocumentChanged(main));
    QCOMPARE(b->content(), "b");

    // b changes again: main's include node now holds b's new tree.
    folder.write("b.tex", "b \\section{New}");
    pool.updateFilesInDocument(main->path());
    QVERIFY(!pool.hasFilesInDocumentChanged(main));
    QCOMPARE(main->treeRootNode()->objectInChildrenAtIndex(1)->children(),
             QSSectionNode::List({b->treeRootNode()}));
    QCOMPARE(b->treeRootNode()->nodeDataWithChildren(), "b \\section{New}");

    // main changes on disk and drops one include: that file leaves, b keeps one holder.
    folder.write("main.tex", "\\input{b}\n");
    pool.updateFilesInDocument(main->path());
    QCOMPARE(holdersDisagree(pool, {main.get()}), QString());
    QCOMPARE(pool.allFiles().size(), 2);
    QVERIFY(QFile::remove(b->pathText()));
    QVERIFY(pool.hasFilesInDocumentChanged(main));
}

// An edit marks the documents of every file that includes the edited one, on the UI
// thread; a file closing is told to the key document when it is one of its files.
void TestQSFilePool::documentsHearOfEditsAndClosings()
{
    TestFolder folder;
    QSFilePool pool;
    folder.write(
        {{"a.tex", "\\input{b}"}, {"b.tex", "\\input{c}"}, {"c.tex", "c"}, {"d.tex", "d"}});
    TestDocument a(pool.readFile(folder.url("a.tex")));
    TestDocument b(pool.readFile(folder.url("b.tex")));
    TestDocument c(pool.readFile(folder.url("c.tex")));
    TestDocument d(pool.readFile(folder.url("d.tex")));
    for (TestDocument *document : {&a, &b, &c, &d})
        pool.assignFile(document->root, document);
    markEdited(*c.root);
    pool.changesWasMadeToFile(c.root.get());
    for (TestDocument *document : {&a, &b, &c})
        QCOMPARE(document->marks, QList<bool>({true}));
    QVERIFY(d.marks.isEmpty());

    // From a worker thread, the marks are set on the UI thread.
    std::thread([&] { pool.changesWasMadeToFile(c.root.get()); }).join();
    QTRY_COMPARE(a.marks.size(), 2);
    QCOMPARE(a.markThread, QThread::currentThread());

    pool.informDocumentAboutFileClosing(c.root); // no key document: nothing
    pool.setKeyDocument(&a);
    pool.informDocumentAboutFileClosing(d.root);
    pool.informDocumentAboutFileClosing(c.root);
    QCOMPARE(a.closing, QList<QSFile *>({c.root.get()}));

    // A document let go of hears nothing more, and is no longer the key document.
    pool.reAssignFile(a.root, &a);
    pool.changesWasMadeToFile(c.root.get());
    pool.informDocumentAboutFileClosing(c.root);
    QCOMPARE(a.marks.size(), 2);
    QCOMPARE(a.closing.size(), 1);
}

// Random documents over a few files, with shared includes, subfolders and cycles, files
// included twice under two names, documents open twice: every tree holds its file's
// text, and while the documents close one by one every file is held as often as its
// include nodes and opens say, until the pool is empty.
void TestQSFilePool::randomDocumentsOpenAndCloseCleanly()
{
    const QStringList names = {"a.tex", "b.tex", "sub/c.tex", "sub/d.tex", "e.tex"};
    QRandomGenerator random(77);
    for (int round = 0; round < 40; ++round) {
        TestFolder folder;
        QSFilePool pool;
        for (const QString &name : names) {
            QByteArray text = "% " + name.toUtf8() + "\n";
            for (int i = random.bounded(0, 6); i > 0; --i) {
                const QString target = names.at(random.bounded(names.size()));
                QString relative =
                    name.startsWith("sub/")
                        ? (target.startsWith("sub/") ? target.mid(4) : "../" + target)
                        : target;
                if (random.bounded(2))
                    relative.chop(4); // without ".tex"
                text += (random.bounded(2) ? "\\section{x}\n\\input{" : "\\include{")
                        + relative.toUtf8() + "}\n";
            }
            folder.write(name, text);
        }
        QList<QSFile *> opened;
        for (int i = random.bounded(1, 5); i > 0; --i) {
            const QString name = names.at(random.bounded(names.size()));
            const std::shared_ptr<QSFile> file = pool.readFile(folder.url(name));
            QVERIFY(file);
            opened << file.get();
        }
        for (const std::shared_ptr<QSFile> &file : pool.allFiles()) {
            QCOMPARE(file->treeRootNode()->nodeDataWithChildren().toUtf8(),
                     TestFolder::read(file->pathText()));
        }
        while (!opened.isEmpty()) {
            QCOMPARE(holdersDisagree(pool, opened), QString());
            const QUrl path = opened.takeAt(random.bounded(opened.size()))->path();
            QVERIFY(pool.closeFile(path));
        }
        QVERIFY(pool.allFiles().isEmpty());
        for (const QString &name : names)
            QVERIFY2(pool.openCountForFile(folder.url(name)) == 0, qPrintable(name));
    }
}

// An include typed into a file, of a file that includes it in turn, stays empty; the
// file it named was read for nothing and leaves the pool with whatever it opened.
void TestQSFilePool::includeThatWouldMakeACycleGivesItsOpensBack()
{
    TestFolder folder;
    QSFilePool pool;
    ChangesQueue queue;
    folder.write({{"a.tex", "A\n"}, {"b.tex", "\\input{a}\n"}});
    const std::shared_ptr<QSFile> a = pool.readFile(folder.url("a.tex"));
    TestDocument document(a);
    pool.setKeyDocument(&document);
    ChangeRecord typed{QStringLiteral("add"), QSRange{2, 9}, QStringLiteral("\\input{b}"),
                       a->treeRootNode()};
    queue.addChangeToQueue(std::move(typed));
    queue.waitUntilIdle();
    QCOMPARE(a->treeRootNode()->nodeDataWithChildren(), "A\n\\input{b}");
    QCOMPARE(holdersDisagree(pool, {a.get()}), QString());
    QCOMPARE(pool.allFiles(), QList<std::shared_ptr<QSFile>>({a}));
    QVERIFY(pool.closeFile(a->path()));
    QVERIFY(pool.allFiles().isEmpty());
}

QUILLSET_TEST_GUILESS_MAIN(TestQSFilePool)
#include "tst_qsfilepool.moc"
