#include "TestDocument.h"
#include "TestSupport.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"
#include "model/QSUndoManager.h"

#include <QRandomGenerator>
#include <QThread>
#include <QUndoCommand>
#include <thread>

namespace {

// One undo step on a file, as the text view registers an edit.
void markEdited(QSFile &file)
{
    file.undoManager().registerUndo(std::make_unique<QUndoCommand>());
}

QUrl url(const TestFolder &folder, const QString &name)
{
    return QUrl::fromLocalFile(folder.path(name));
}

} // namespace

class TestQSFilePool : public QObject
{
    Q_OBJECT

private slots:
    void countsHoldersAndLetsGo();
    void includedFilesFollowTheirHolders();
    void untitledDocumentsShareTheirTitle();
    void savesUntitledToNewAndHeldPaths();
    void savesTitledDocumentWithItsIncludedFiles();
    void changesOnDiskAreKeptOrReread();
    void rereadGivesBackOpensAndIncludesFollowTheNewTree();
    void editedMarksWalkUpTheIncludeGraph();
    void asksTheKeyDocumentToCloseItsFile();
    void randomDocumentsOpenAndCloseCleanly();
};

void TestQSFilePool::countsHoldersAndLetsGo()
{
    TestFolder folder;
    QSFilePool pool;
    folder.write("main.tex", "\\section{A}a");
    const std::shared_ptr<QSFile> first = pool.readFile(url(folder, "main.tex"));
    const std::shared_ptr<QSSectionNode> tree = first->treeRootNode();
    markEdited(*first);
    // The same path, also spelt differently: the same file, tree and history.
    const std::shared_ptr<QSFile> second = pool.readFile(url(folder, "sub/../main.tex"));
    QCOMPARE(second, first);
    QCOMPARE(second->treeRootNode(), tree);
    QVERIFY(second->undoManager().canUndo());
    QCOMPARE(pool.openCountForFile(url(folder, "main.tex")), 2);

    QVERIFY(pool.closeFile(url(folder, "main.tex")));
    QCOMPARE(pool.fileObjectForPath(url(folder, "main.tex")), first);
    QVERIFY(pool.closeFile(url(folder, "main.tex")));
    QVERIFY(!pool.fileObjectForPath(url(folder, "main.tex")));
    QTest::ignoreMessage(QtWarningMsg, "closeFile: f was nil");
    QVERIFY(!pool.closeFile(url(folder, "main.tex")));

    // A fresh open after the file left reads the disk again.
    QVERIFY(pool.readFile(url(folder, "main.tex")) != first);
    QVERIFY(!pool.readFile(url(folder, "missing.tex")));
    QCOMPARE(pool.openCountForFile(url(folder, "missing.tex")), 0);
    pool.decreaseOpenCountForFile(url(folder, "absent.tex"));
    QCOMPARE(pool.openCountForFile(url(folder, "absent.tex")), -1);
}

void TestQSFilePool::includedFilesFollowTheirHolders()
{
    TestFolder folder;
    QSFilePool pool;
    folder.write("main.tex", "\\input{b}\n\\input{b.tex}");
    folder.write("other.tex", "\\include{b}");
    folder.write("b.tex", "\\input{c}");
    folder.write("c.tex", "c");
    const QUrl main = url(folder, "main.tex"), other = url(folder, "other.tex");
    const QUrl b = url(folder, "b.tex"), c = url(folder, "c.tex");

    // Two documents on main, whose two include nodes both hold b.
    pool.readFile(main);
    pool.readFile(main);
    QCOMPARE(pool.openCountForFile(b), 2);
    QCOMPARE(pool.openCountForFile(c), 1);
    pool.closeFile(main);
    QCOMPARE(pool.openCountForFile(b), 2); // main is still open, and still includes b
    pool.readFile(other);
    QCOMPARE(pool.openCountForFile(b), 3);
    pool.closeFile(main);
    QVERIFY(!pool.fileObjectForPath(main));
    QCOMPARE(pool.openCountForFile(b), 1);
    QCOMPARE(pool.fileObjectForPath(b)->filesWhichIncludeThisFile(),
             QList<QSFile *>({pool.fileObjectForPath(other).get()}));
    pool.closeFile(other);
    QVERIFY(!pool.fileObjectForPath(b));
    QVERIFY(!pool.fileObjectForPath(c));
}

void TestQSFilePool::untitledDocumentsShareTheirTitle()
{
    QSFilePool pool;
    const std::shared_ptr<QSFile> first = pool.createFileFromTemplateString("template", "Untitled");
    first->setContent(QStringLiteral("edited"));
    const std::shared_ptr<QSFile> second =
        pool.createFileFromTemplateString("other template", "Untitled");
    QCOMPARE(second, first);
    QCOMPARE(second->content(), QStringLiteral("edited"));
    QCOMPARE(pool.openCountForFile(QUrl::fromLocalFile("Untitled")), 2);
    QVERIFY(!pool.hasFilesInDocumentChanged(first));
}

void TestQSFilePool::savesUntitledToNewAndHeldPaths()
{
    TestFolder folder;
    QSFilePool pool;
    TestDocument document(nullptr, false);
    const std::shared_ptr<QSFile> fresh = pool.createFileFromTemplateString("Grüße", "Untitled");
    pool.assignFile(fresh, &document);
    markEdited(*fresh);

    // A path nobody holds: the file moves to it with its count and its document.
    QStringList failed;
    const std::shared_ptr<QSFile> saved =
        pool.saveFileWithPath("Untitled", url(folder, "new.tex"), &failed);
    QCOMPARE(saved, fresh);
    QVERIFY(failed.isEmpty());
    QVERIFY(!saved->isUntitled());
    QCOMPARE(pool.fileObjectForPath(url(folder, "new.tex")), fresh);
    QCOMPARE(pool.openCountForFile(url(folder, "new.tex")), 1);
    QVERIFY(!pool.fileObjectForPath(QUrl::fromLocalFile("Untitled")));
    QCOMPARE(TestFolder::read(folder.path("new.tex")), QByteArray("Gr\xC3\xBC\xC3\x9F"
                                                                  "e"));
    QCOMPARE(document.marks, QList<bool>({false}));

    // A path that is held already: that file takes the text and the document goes on with it.
    const std::shared_ptr<QSFile> second =
        pool.createFileFromTemplateString("\\section{New}", "Untitled_2");
    TestDocument secondDocument(nullptr, false);
    pool.assignFile(second, &secondDocument);
    const std::shared_ptr<QSFile> adopted =
        pool.saveFileWithPath("Untitled_2", url(folder, "new.tex"));
    QCOMPARE(adopted, fresh);
    QCOMPARE(adopted->content(), QStringLiteral("\\section{New}"));
    QCOMPARE(adopted->treeRootNode()->nodeDataWithChildren(), QStringLiteral("\\section{New}"));
    QCOMPARE(TestFolder::read(folder.path("new.tex")), QByteArray("\\section{New}"));
    QCOMPARE(pool.openCountForFile(url(folder, "new.tex")), 2);
    QVERIFY(!pool.fileObjectForPath(QUrl::fromLocalFile("Untitled_2")));
    QCOMPARE(secondDocument.marks, QList<bool>({false}));

    // A save that cannot be written leaves the untitled document as it was.
    const std::shared_ptr<QSFile> third = pool.createFileFromTemplateString("text", "Untitled_3");
    QDir().mkpath(folder.path("folder.tex"));
    failed.clear();
    QCOMPARE(pool.saveFileWithPath("Untitled_3", url(folder, "folder.tex"), &failed), third);
    QCOMPARE(failed, QStringList({folder.path("folder.tex")}));
    QVERIFY(third->isUntitled());
    QCOMPARE(pool.fileObjectForPath(QUrl::fromLocalFile("Untitled_3")), third);
}

void TestQSFilePool::savesTitledDocumentWithItsIncludedFiles()
{
    TestFolder folder;
    QSFilePool pool;
    folder.write("main.tex", "main \\input{ch/one}");
    folder.write("ch/one.tex", "one");
    const std::shared_ptr<QSFile> main = pool.readFile(url(folder, "main.tex"));
    TestDocument document(main, false);
    pool.assignFile(main, &document);
    const std::shared_ptr<QSFile> one = pool.fileObjectForPath(url(folder, "ch/one.tex"));
    one->setContent(QStringLiteral("one, edited"));
    markEdited(*one);
    markEdited(*main);

    QStringList failed;
    QCOMPARE(pool.saveFileWithPath(main->pathText(), main->path(), &failed), main);
    QVERIFY(failed.isEmpty());
    QCOMPARE(TestFolder::read(folder.path("ch/one.tex")), QByteArray("one, edited"));
    QCOMPARE(TestFolder::read(folder.path("main.tex")), QByteArray("main \\input{ch/one}"));
    QVERIFY(!main->hasContentChangedSinceLastSave(true));
    QCOMPARE(document.marks.last(), false);

    // An included file that cannot be encoded is reported and stays unsaved.
    UserDefaults::standardUserDefaults().setObject(5, QSFileEncoding);
    one->setContent(QStringLiteral("€"));
    markEdited(*one);
    pool.saveFileWithPath(main->pathText(), main->path(), &failed);
    QCOMPARE(failed, QStringList({one->pathText()}));
    QCOMPARE(document.marks.last(), true);
    QCOMPARE(TestFolder::read(folder.path("ch/one.tex")), QByteArray("one, edited"));
}

void TestQSFilePool::changesOnDiskAreKeptOrReread()
{
    TestFolder folder;
    QSFilePool pool;
    folder.write("main.tex", "\\input{one}");
    folder.write("one.tex", "one");
    const std::shared_ptr<QSFile> main = pool.readFile(url(folder, "main.tex"));
    const std::shared_ptr<QSFile> one = pool.fileObjectForPath(url(folder, "one.tex"));
    QVERIFY(!pool.hasFilesInDocumentChanged(main));

    folder.write("one.tex", "one changed");
    QVERIFY(pool.hasFilesInDocumentChanged(main));
    pool.changeAttributesToUpdatedVersion(main->path());
    QVERIFY(!pool.hasFilesInDocumentChanged(main));
    QCOMPARE(one->content(), QStringLiteral("one"));

    folder.write("one.tex", "one changed again");
    pool.updateFilesInDocument(main->path());
    QCOMPARE(one->content(), QStringLiteral("one changed again"));
    QVERIFY(!pool.hasFilesInDocumentChanged(main));

    QVERIFY(QFile::remove(folder.path("one.tex")));
    QVERIFY(pool.hasFilesInDocumentChanged(main));
}

void TestQSFilePool::rereadGivesBackOpensAndIncludesFollowTheNewTree()
{
    TestFolder folder;
    QSFilePool pool;
    folder.write("main.tex", "\\input{b}\n\\input{gone}");
    folder.write("b.tex", "b");
    folder.write("gone.tex", "gone");
    const std::shared_ptr<QSFile> main = pool.readFile(url(folder, "main.tex"));
    const std::shared_ptr<QSFile> b = pool.fileObjectForPath(url(folder, "b.tex"));

    // b changes on disk: main's include node now holds b's new tree.
    folder.write("b.tex", "b \\section{New}");
    pool.updateFilesInDocument(main->path());
    QCOMPARE(main->treeRootNode()->objectInChildrenAtIndex(1)->children(),
             QSSectionNode::List({b->treeRootNode()}));
    QCOMPARE(b->treeRootNode()->nodeDataWithChildren(), QStringLiteral("b \\section{New}"));

    // main changes on disk and drops one include: that file leaves, b keeps one holder.
    folder.write("main.tex", "\\input{b}\n");
    pool.updateFilesInDocument(main->path());
    QCOMPARE(pool.openCountForFile(url(folder, "b.tex")), 1);
    QVERIFY(!pool.fileObjectForPath(url(folder, "gone.tex")));
    QCOMPARE(main->filesWhichThisFileIncludes(), QList<QSFile *>({b.get()}));
    QCOMPARE(b->filesWhichIncludeThisFile(), QList<QSFile *>({main.get()}));
    pool.closeFile(main->path());
    QVERIFY(!pool.fileObjectForPath(url(folder, "b.tex")));
}

void TestQSFilePool::editedMarksWalkUpTheIncludeGraph()
{
    TestFolder folder;
    QSFilePool pool;
    folder.write("a.tex", "\\input{b}");
    folder.write("b.tex", "\\input{c}");
    folder.write("c.tex", "c");
    folder.write("d.tex", "unrelated");
    TestDocument a(pool.readFile(url(folder, "a.tex")), false);
    TestDocument b(pool.readFile(url(folder, "b.tex")), false);
    TestDocument c(pool.readFile(url(folder, "c.tex")), false);
    TestDocument d(pool.readFile(url(folder, "d.tex")), false);
    for (TestDocument *document : {&a, &b, &c, &d})
        pool.assignFile(document->root, document);

    markEdited(*c.root);
    pool.changesWasMadeToFile(c.root.get());
    for (TestDocument *document : {&a, &b, &c})
        QCOMPARE(document->marks, QList<bool>({true}));
    QVERIFY(d.marks.isEmpty());

    // From a worker thread, the marks are set on the UI thread.
    std::thread worker([&] { pool.changesWasMadeToFile(c.root.get()); });
    worker.join();
    QTRY_COMPARE(a.marks.size(), 2);
    QCOMPARE(a.markThread, QThread::currentThread());
    pool.reAssignFile(a.root, &a);
    pool.changesWasMadeToFile(c.root.get());
    QCOMPARE(a.marks.size(), 2);
}

void TestQSFilePool::asksTheKeyDocumentToCloseItsFile()
{
    TestFolder folder;
    QSFilePool pool;
    folder.write("main.tex", "\\input{b}");
    folder.write("b.tex", "b");
    folder.write("other.tex", "other");
    TestDocument document(pool.readFile(url(folder, "main.tex")), false);
    const std::shared_ptr<QSFile> b = pool.fileObjectForPath(url(folder, "b.tex"));
    const std::shared_ptr<QSFile> other = pool.readFile(url(folder, "other.tex"));

    pool.informDocumentAboutFileClosing(b); // no key document: nothing
    pool.setKeyDocument(&document);
    pool.informDocumentAboutFileClosing(other);
    pool.informDocumentAboutFileClosing(b);
    QCOMPARE(document.closing, QList<QSFile *>({b.get()}));
}

// Random documents over a few files, with shared includes, subfolders and cycles:
// every tree holds its file's text, and once every document is closed the pool is empty.
void TestQSFilePool::randomDocumentsOpenAndCloseCleanly()
{
    const QStringList names = {"a.tex", "b.tex", "sub/c.tex", "sub/d.tex", "e.tex"};
    QRandomGenerator random(77);
    for (int round = 0; round < 40; ++round) {
        TestFolder folder;
        QSFilePool pool;
        QHash<QString, QByteArray> texts;
        for (const QString &name : names) {
            QByteArray text = "% " + name.toUtf8() + "\n";
            for (int i = random.bounded(0, 6); i > 0; --i) {
                const QString target = names.at(random.bounded(names.size()));
                const QString relative =
                    name.startsWith("sub/")
                        ? (target.startsWith("sub/") ? target.mid(4) : "../" + target)
                        : target;
                text += (random.bounded(2) ? "\\section{x}\n\\input{" : "\\include{")
                        + relative.toUtf8() + "}\n";
            }
            texts.insert(name, text);
            folder.write(name, text);
        }
        QList<QUrl> opened;
        for (int i = random.bounded(1, 5); i > 0; --i) {
            const QUrl location = url(folder, names.at(random.bounded(names.size())));
            QVERIFY(pool.readFile(location));
            opened << location;
        }
        for (const QString &name : names) {
            if (const std::shared_ptr<QSFile> file = pool.fileObjectForPath(url(folder, name))) {
                QCOMPARE(file->treeRootNode()->nodeDataWithChildren().toUtf8(), texts.value(name));
                QVERIFY(pool.openCountForFile(url(folder, name)) >= 1);
            }
        }
        for (const QUrl &location : std::as_const(opened))
            QVERIFY(pool.closeFile(location));
        for (const QString &name : names) {
            QVERIFY2(!pool.fileObjectForPath(url(folder, name)), qPrintable(name));
            QCOMPARE(pool.openCountForFile(url(folder, name)), 0);
        }
    }
}

QTEST_GUILESS_MAIN(TestQSFilePool)
#include "tst_qsfilepool.moc"
