#include "TestSupport.h"
#include "TreeHelpers.h"
#include "model/QSUndoManager.h"
#include "platform/Assertions.h"

#include <QUndoCommand>

namespace {

// An edit of a plain string, registered the way the text view registers its edits.
struct AppendStep : QUndoCommand
{
    AppendStep(QString &text, const QString &added)
        : text(text)
        , added(added)
    {}
    void undo() override { text.chop(added.size()); }
    void redo() override { text += added; }
    QString &text;
    const QString added;
};

void edit(QSFile &file, QString &text, const QString &added)
{
    text += added;
    file.undoManager().registerUndo(std::make_unique<AppendStep>(text, added));
}

} // namespace

class TestQSFile : public QObject
{
    Q_OBJECT

private slots:
    void readsOnlyWhatChangedAndDecodes();
    void undoCounterTellsOfUnsavedChanges();
    void pathDerivedValues_data();
    void pathDerivedValues();
    void includeGraphEdgesAndFileLists();
    void savesInTheChosenEncodingOrNotAtAll();
    void untitledFileIsTitledByItsFirstSave();
};

// A file is read again only when it changed on disk, and only when its bytes decode.
void TestQSFile::readsOnlyWhatChangedAndDecodes()
{
    TestFolder folder;
    const QString path = folder.write("main.tex", "A\\section{Été}C");
    const std::shared_ptr<QSFile> file = QSFile::initWithFilePath(QUrl::fromLocalFile(path));
    QVERIFY(file->treeRootNode());
    QCOMPARE(file->content(), QStringLiteral("A\\section{Été}C"));
    QCOMPARE(file->treeRootNode()->nodeName(), QStringLiteral("main.tex"));
    QCOMPARE(file->treeRootNode()->nodeDataWithChildren(), file->content());
    QVERIFY(!file->hasFileChanged());

    // Unchanged on disk: nothing is re-read, tree, text and history stay.
    QString shown = file->content();
    edit(*file, shown, QStringLiteral("!"));
    file->setContent(shown);
    const std::shared_ptr<QSSectionNode> tree = file->treeRootNode();
    QCOMPARE(file->readFile(), false);
    QCOMPARE(file->treeRootNode(), tree);
    QCOMPARE(file->content(), shown);
    QVERIFY(file->undoManager().canUndo());

    // Rewritten with the same size within the same clock tick still counts as a change.
    folder.write("main.tex", "B\\section{Été}D");
    QVERIFY(file->hasFileChanged());
    QCOMPARE(file->readFile(), true);
    QVERIFY(file->treeRootNode() != tree);
    QCOMPARE(file->content(), QStringLiteral("B\\section{Été}D"));
    QVERIFY(!file->undoManager().canUndo());
    QCOMPARE(file->undoManager().amountOfUndosInUndoStack(), 1);
    QVERIFY(!file->hasContentChangedSinceLastSave(false)); // the text is the one on disk

    // No longer decodable, or gone from disk: what is in memory stays. The same bytes
    // read in Latin-1.
    const std::shared_ptr<QSSectionNode> current = file->treeRootNode();
    folder.write("main.tex", "Gr\xFC\xDF, not UTF-8");
    QCOMPARE(file->readFile(), false);
    QCOMPARE(file->treeRootNode(), current);
    UserDefaults::standardUserDefaults().setObject(5, QSFileEncoding);
    QCOMPARE(file->readFile(), true);
    const std::shared_ptr<QSSectionNode> latin1Tree = file->treeRootNode();
    QCOMPARE(file->content(), QStringLiteral("Grüß, not UTF-8"));
    QVERIFY(QFile::remove(path));
    QVERIFY(file->hasFileChanged());
    QCOMPARE(file->readFile(), false);
    QCOMPARE(file->treeRootNode(), latin1Tree);
    QCOMPARE(file->content(), QStringLiteral("Grüß, not UTF-8"));

    // An empty file holds one empty text node, whose text is not null.
    const auto empty = QSFile::initWithFilePath(QUrl::fromLocalFile(folder.write("empty.tex", "")));
    QCOMPARE(empty->treeRootNode()->countOfChildren(), 1);
    const Node emptyText = empty->treeRootNode()->objectInChildrenAtIndex(0);
    QVERIFY(emptyText->isTextNode() && emptyText->nodeData().isEmpty());
    QVERIFY(!emptyText->nodeData().isNull());
}

// A file has unsaved changes while its undo counter differs from its count at the
// last save, its own or that of a file it includes.
void TestQSFile::undoCounterTellsOfUnsavedChanges()
{
    TestFolder folder;
    const auto file = QSFile::initWithFilePath(QUrl::fromLocalFile(folder.write("a.tex", "a")));
    QSUndoManager &undo = file->undoManager();
    QString text;
    edit(*file, text, "aa");
    edit(*file, text, "b");
    undo.undo();
    QVERIFY(file->saveFile());
    QCOMPARE(file->undoStackCountAtLastSave(), 1);
    QVERIFY(!file->hasContentChangedSinceLastSave(false));
    edit(*file, text, "d");
    QVERIFY(file->hasContentChangedSinceLastSave(false));
    undo.undo();
    QVERIFY(!file->hasContentChangedSinceLastSave(false));

    // a includes b, b includes c, and c includes a again: only c has an edit.
    const auto b = untitledFile();
    const auto c = untitledFile();
    file->addChild(b.get());
    b->addChild(c.get());
    c->addChild(file.get());
    QVERIFY(!file->hasContentChangedSinceLastSave(true));
    edit(*c, text, "x");
    QVERIFY(!file->hasContentChangedSinceLastSave(false));
    QVERIFY(file->hasContentChangedSinceLastSave(true));
    QVERIFY(b->hasContentChangedSinceLastSave(true));
}

void TestQSFile::pathDerivedValues_data()
{
    // The path, then the name, folder, PDF and pdfsync paths derived from it.
    QTest::addColumn<QStringList>("values");
    QTest::newRow("tex file") << QStringList{"/p/main.tex", "main.tex", "/p/", "/p/main.pdf",
                                             "/p/main.pdfsync"};
    QTest::newRow("no extension") << QStringList{"/p/main", "main", "/p/", "", ""};
    // A dot in a folder name is not the file's extension.
    QTest::newRow("dotted folder") << QStringList{"/a.b/file", "file", "/a.b/", "", ""};
    QTest::newRow("two dots") << QStringList{"/p/thesis.v2.tex", "thesis.v2.tex", "/p/",
                                             "/p/thesis.v2.pdf", "/p/thesis.v2.pdfsync"};
    QTest::newRow("root folder") << QStringList{"/x.tex", "x.tex", "/", "/x.pdf", "/x.pdfsync"};
}

void TestQSFile::pathDerivedValues()
{
    QFETCH(QStringList, values);
    // A file that cannot be read still knows its path.
    const auto file = QSFile::initWithFilePath(QUrl::fromLocalFile(values[0]));
    QCOMPARE(QStringList({values[0], file->name(), file->directory(),
                          file->pdfPath().value_or(QUrl()).toLocalFile(),
                          file->pdfSyncPath().value_or(QString())}),
             values);
    QVERIFY(!file->doesPdfExist() && !file->contentOfPdfSync());
}

void TestQSFile::includeGraphEdgesAndFileLists()
{
    const auto at = [](const char *path) {
        return QSFile::initWithFilePath(QUrl::fromLocalFile(path));
    };
    const auto main = at("/p/main.tex"), one = at("/p/ch/one.tex"), outside = at("/x/p/other.tex"),
               b = at("/p/b.tex"), c = at("/p/c.tex");

    one->addParent(main.get());
    one->addParent(main.get());
    QCOMPARE(one->filesWhichIncludeThisFile(), QList<QSFile *>({main.get()}));
    outside->addParent(main.get());
    QCOMPARE(one->relativeIncludePathsToThisFile(), QSet<QString>({"ch/one.tex"}));
    QVERIFY(outside->relativeIncludePathsToThisFile().isEmpty()); // /p/ is no prefix of /x/p/
    one->removeParent(main.get());
    QVERIFY(one->filesWhichIncludeThisFile().isEmpty());
    QVERIFY(one->relativeIncludePathsToThisFile().isEmpty());

    // main includes B then C, C includes B: each is listed once.
    main->addChild(b.get());
    main->addChild(c.get());
    main->addChild(b.get());
    c->addChild(b.get());
    QList<QSFile *> list;
    main->addAllIncludedFilesToArray(&list);
    QCOMPARE(list, QList<QSFile *>({b.get(), c.get()}));
    main->addAllIncludedFilesToArray(nullptr);

    // A cycle ends, and a file that goes away leaves nobody pointing at it.
    b->addChild(main.get());
    list = {main.get()};
    main->addAllIncludedFilesToArray(&list);
    QCOMPARE(list, QList<QSFile *>({main.get(), b.get(), c.get()}));
    {
        const auto gone = at("/p/gone.tex");
        main->addChild(gone.get());
        gone->addParent(main.get());
        gone->addChild(b.get());
        b->addParent(gone.get());
        QCOMPARE(main->filesWhichThisFileIncludes().size(), 3);
    }
    QCOMPARE(main->filesWhichThisFileIncludes(), QList<QSFile *>({b.get(), c.get()}));
    main->removeChild(c.get());
    QCOMPARE(main->filesWhichThisFileIncludes(), QList<QSFile *>({b.get()}));
    QCOMPARE(b->filesWhichIncludeThisFile(), QList<QSFile *>());
}

void TestQSFile::savesInTheChosenEncodingOrNotAtAll()
{
    TestFolder folder;
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    const QString path = folder.write("a.tex", "old");
    const auto file = QSFile::initWithFilePath(QUrl::fromLocalFile(path));
    QString text;
    edit(*file, text, "Grüß €");
    file->setContent(text);
    QVERIFY(file->saveFile());
    QCOMPARE(TestFolder::read(path), QByteArray("Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC"));
    QVERIFY(!file->hasFileChanged());
    QVERIFY(!file->hasContentChangedSinceLastSave(false));
    defaults.setObject(12, QSFileEncoding);
    QVERIFY(file->saveFile());
    QCOMPARE(TestFolder::read(path), QByteArray("Gr\xFC\xDF \x80"));

    // Latin-1 has no euro sign: nothing is written, and the new edit stays unsaved.
    edit(*file, text, "!");
    defaults.setObject(5, QSFileEncoding);
    QCOMPARE(file->saveFile(), false);
    QCOMPARE(TestFolder::read(path), QByteArray("Gr\xFC\xDF \x80"));
    QVERIFY(file->hasContentChangedSinceLastSave(false));

    // Saving a titled file elsewhere writes a copy of the tree's text there and keeps
    // watching its own path.
    QVERIFY(file->saveFileToURL(folder.url("copy.tex")));
    QCOMPARE(file->pathText(), path);
    QCOMPARE(TestFolder::read(folder.path("copy.tex")), QByteArray("old"));
    QVERIFY(!file->hasFileChanged());
}

// An untitled file is saved only to a path. Saves that fail, on a character the
// encoding cannot hold or on a path that cannot be written, leave the disk and the
// file as they were; the first that succeeds makes the file titled.
void TestQSFile::untitledFileIsTitledByItsFirstSave()
{
    TestFolder folder;
    const auto file = QSFile::initUntitledFileWithTemplateString("Été \\input{ch}", "Untitled_2");
    QString text;
    edit(*file, text, "x");
    QStringList assertions;
    qsSetAssertionHandler([&](const char *description, const char *, const char *, int) {
        assertions << QString::fromUtf8(description);
    });
    QCOMPARE(file->saveFile(), false);
    qsSetAssertionHandler({});
    QCOMPARE(assertions, QStringList({"file is untitled - can't be saved with this method"}));

    const QString target = folder.write("target.tex", "keep me");
    QVERIFY(QDir().mkpath(folder.path("folder.tex")));
    UserDefaults::standardUserDefaults().setObject(11, QSFileEncoding); // Cyrillic has no É
    for (const char *name : {"target.tex", "folder.tex"}) {
        QCOMPARE(file->saveFileToURL(folder.url(name)), false);
        QVERIFY(file->isUntitled());
        QCOMPARE(file->pathText(), QStringLiteral("Untitled_2"));
        QCOMPARE(file->treeRootNode()->nodeName(), QStringLiteral("Untitled_2"));
        QVERIFY(file->hasContentChangedSinceLastSave(false));
        UserDefaults::standardUserDefaults().setObject(4, QSFileEncoding);
    }
    QCOMPARE(TestFolder::read(target), QByteArray("keep me"));

    QVERIFY(file->saveFileToURL(QUrl::fromLocalFile(target)));
    QVERIFY(!file->isUntitled());
    QCOMPARE(file->pathText(), target);
    QCOMPARE(file->treeRootNode()->nodeName(), QStringLiteral("target.tex"));
    QCOMPARE(TestFolder::read(target), QByteArray("\xC3\x89t\xC3\xA9 \\input{ch}"));
    QVERIFY(!file->hasContentChangedSinceLastSave(false));
    QVERIFY(!file->hasFileChanged());
    // The include was not resolved on save; the file is read again for that.
    QCOMPARE(file->treeRootNode()->objectInChildrenAtIndex(1)->countOfChildren(), 0);
}

QTEST_GUILESS_MAIN(TestQSFile)
#include "tst_qsfile.moc"
