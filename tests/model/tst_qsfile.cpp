#include "TestSupport.h"
#include "model/QSFile.h"
#include "model/QSSectionNode.h"
#include "model/QSUndoManager.h"
#include "platform/Assertions.h"

#include <QUndoCommand>

namespace {

// An edit of a plain string, registered the way the text view registers its edits.
class AppendStep : public QUndoCommand
{
public:
    AppendStep(QString &text, QString added)
        : _text(text)
        , _added(std::move(added))
    {}
    void undo() override { _text.chop(_added.size()); }
    void redo() override { _text += _added; }

private:
    QString &_text;
    QString _added;
};

void edit(QSFile &file, QString &text, const QString &added)
{
    text += added;
    file.undoManager().registerUndo(std::make_unique<AppendStep>(text, added));
}

std::shared_ptr<QSFile> untitled(const QString &text = QStringLiteral("x"))
{
    return QSFile::initUntitledFileWithTemplateString(text, QStringLiteral("Untitled"));
}

} // namespace

class TestQSFile : public QObject
{
    Q_OBJECT

private slots:
    void readsAndRereadsOnlyWhenChangedOnDisk();
    void missingEmptyAndUndecodableFiles();
    void undoCounter();
    void unsavedChangesFollowTheCounterAndIncludedFiles();
    void pathDerivedValues_data();
    void pathDerivedValues();
    void includeGraphEdgesAndFileLists();
    void saveFileWritesContentInTheChosenEncoding();
    void savesWriteNothingWhenTheTextCannotBeEncoded();
    void saveFileToURLMakesAnUntitledFileTitled();
    void failedSaveChangesNothing();
};

void TestQSFile::readsAndRereadsOnlyWhenChangedOnDisk()
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
    QVERIFY(file->hasContentChangedSinceLastSave(false)); // the unsaved edit still counts

    // Gone from disk, or no longer decodable: what is in memory stays.
    const std::shared_ptr<QSSectionNode> current = file->treeRootNode();
    folder.write("main.tex", "\xFF\xFE not UTF-8");
    QCOMPARE(file->readFile(), false);
    QVERIFY(QFile::remove(path));
    QVERIFY(file->hasFileChanged());
    QCOMPARE(file->readFile(), false);
    QCOMPARE(file->treeRootNode(), current);
    QCOMPARE(file->content(), QStringLiteral("B\\section{Été}D"));
}

void TestQSFile::missingEmptyAndUndecodableFiles()
{
    TestFolder folder;
    QVERIFY(
        !QSFile::initWithFilePath(QUrl::fromLocalFile(folder.path("none.tex")))->treeRootNode());

    const auto empty = QSFile::initWithFilePath(QUrl::fromLocalFile(folder.write("empty.tex", "")));
    QVERIFY(empty->treeRootNode());
    QCOMPARE(empty->treeRootNode()->countOfChildren(), 1);
    const auto onlyChild = empty->treeRootNode()->objectInChildrenAtIndex(0);
    QVERIFY(onlyChild->isTextNode());
    QCOMPARE(onlyChild->nodeData(), QString(""));
    QVERIFY(!onlyChild->nodeData().isNull());

    // Latin-1 bytes are not UTF-8; with the encoding set to Latin-1 they read.
    const QUrl latin1 = QUrl::fromLocalFile(folder.write("latin1.tex", "Gr\xFC\xDF"
                                                                       "e"));
    QVERIFY(!QSFile::initWithFilePath(latin1)->treeRootNode());
    UserDefaults::standardUserDefaults().setObject(5, QSFileEncoding);
    const auto reread = QSFile::initWithFilePath(latin1);
    QVERIFY(reread->treeRootNode());
    QCOMPARE(reread->content(), QStringLiteral("Grüße"));
}

void TestQSFile::undoCounter()
{
    const auto file = untitled();
    QSUndoManager &undo = file->undoManager();
    QString text;
    undo.undo(); // nothing to undo: the counter stays
    QCOMPARE(undo.amountOfUndosInUndoStack(), 0);
    edit(*file, text, "a");
    edit(*file, text, "b");
    undo.undo();
    QCOMPARE(text, QStringLiteral("a"));
    QCOMPARE(undo.amountOfUndosInUndoStack(), 1);
    undo.redo();
    QCOMPARE(text, QStringLiteral("ab"));
    QCOMPARE(undo.amountOfUndosInUndoStack(), 2);
    undo.redo(); // nothing to redo
    QCOMPARE(undo.amountOfUndosInUndoStack(), 2);

    // A new edit after an undo drops the redo branch.
    undo.undo();
    edit(*file, text, "c");
    QCOMPARE(text, QStringLiteral("ac"));
    QVERIFY(!undo.canRedo());
    QCOMPARE(undo.amountOfUndosInUndoStack(), 2);

    undo.removeAllActions();
    QVERIFY(!undo.canUndo());
    QCOMPARE(undo.amountOfUndosInUndoStack(), 2);
}

void TestQSFile::unsavedChangesFollowTheCounterAndIncludedFiles()
{
    TestFolder folder;
    const auto file = QSFile::initWithFilePath(QUrl::fromLocalFile(folder.write("a.tex", "a")));
    QString text;
    for (const char *step : {"1", "2", "3"})
        edit(*file, text, step);
    file->setContent(text);
    QVERIFY(file->saveFile());
    QCOMPARE(file->undoStackCountAtLastSave(), 3);
    QVERIFY(!file->hasContentChangedSinceLastSave(false));
    file->undoManager().undo();
    QVERIFY(file->hasContentChangedSinceLastSave(false));
    file->undoManager().redo();
    QVERIFY(!file->hasContentChangedSinceLastSave(false));

    // a includes b, b includes c, and c includes a again: only c has an edit.
    const auto b = untitled();
    const auto c = untitled();
    file->addChild(b.get());
    b->addChild(c.get());
    c->addChild(file.get());
    QVERIFY(!file->hasContentChangedSinceLastSave(true));
    QString other;
    edit(*c, other, "x");
    QVERIFY(!file->hasContentChangedSinceLastSave(false));
    QVERIFY(file->hasContentChangedSinceLastSave(true));
    QVERIFY(b->hasContentChangedSinceLastSave(true));
}

void TestQSFile::pathDerivedValues_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("pdf");
    QTest::addColumn<QString>("pdfsync");
    QTest::newRow("tex file") << "/p/main.tex"
                              << "main.tex"
                              << "/p/"
                              << "/p/main.pdf"
                              << "/p/main.pdfsync";
    QTest::newRow("no extension") << "/p/main"
                                  << "main"
                                  << "/p/"
                                  << ""
                                  << "";
    // A dot in a folder name is not the file's extension.
    QTest::newRow("dotted folder") << "/a.b/file"
                                   << "file"
                                   << "/a.b/"
                                   << ""
                                   << "";
    QTest::newRow("two dots") << "/p/thesis.v2.tex"
                              << "thesis.v2.tex"
                              << "/p/"
                              << "/p/thesis.v2.pdf"
                              << "/p/thesis.v2.pdfsync";
    QTest::newRow("root folder") << "/x.tex"
                                 << "x.tex"
                                 << "/"
                                 << "/x.pdf"
                                 << "/x.pdfsync";
}

void TestQSFile::pathDerivedValues()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(QString, directory);
    QFETCH(QString, pdf);
    QFETCH(QString, pdfsync);
    // A file that cannot be read still knows its path.
    const auto file = QSFile::initWithFilePath(QUrl::fromLocalFile(path));
    QCOMPARE(file->name(), name);
    QCOMPARE(file->directory(), directory);
    QCOMPARE(file->pdfPath().value_or(QUrl()).toLocalFile(), pdf);
    QCOMPARE(file->pdfSyncPath().value_or(QString()), pdfsync);
    QVERIFY(!file->doesPdfExist());
    QVERIFY(!file->contentOfPdfSync());
}

void TestQSFile::includeGraphEdgesAndFileLists()
{
    const auto main = QSFile::initWithFilePath(QUrl::fromLocalFile("/p/main.tex"));
    const auto one = QSFile::initWithFilePath(QUrl::fromLocalFile("/p/ch/one.tex"));
    const auto side = QSFile::initWithFilePath(QUrl::fromLocalFile("/p/side.tex"));
    const auto outside = QSFile::initWithFilePath(QUrl::fromLocalFile("/x/p/other.tex"));

    one->addParent(main.get());
    one->addParent(main.get());
    QCOMPARE(one->filesWhichIncludeThisFile(), QList<QSFile *>({main.get()}));
    side->addParent(main.get());
    outside->addParent(main.get());
    QCOMPARE(one->relativeIncludePathsToThisFile(), QSet<QString>({"ch/one.tex"}));
    QCOMPARE(side->relativeIncludePathsToThisFile(), QSet<QString>({"side.tex"}));
    QVERIFY(outside->relativeIncludePathsToThisFile().isEmpty()); // /p/ is no prefix of /x/p/
    one->removeParent(main.get());
    QVERIFY(one->filesWhichIncludeThisFile().isEmpty());
    QVERIFY(one->relativeIncludePathsToThisFile().isEmpty());

    // main includes B then C, C includes B: B, C. With C first: C, B (B through C, once).
    const auto b = QSFile::initWithFilePath(QUrl::fromLocalFile("/p/b.tex"));
    const auto c = QSFile::initWithFilePath(QUrl::fromLocalFile("/p/c.tex"));
    main->addChild(b.get());
    main->addChild(c.get());
    main->addChild(b.get());
    c->addChild(b.get());
    QList<QSFile *> list;
    main->addAllIncludedFilesToArray(&list);
    QCOMPARE(list, QList<QSFile *>({b.get(), c.get()}));
    main->removeChild(b.get());
    main->addChild(b.get());
    list.clear();
    main->addAllIncludedFilesToArray(&list);
    QCOMPARE(list, QList<QSFile *>({c.get(), b.get()}));
    main->addAllIncludedFilesToArray(nullptr);

    // A cycle ends, and a file that goes away leaves nobody pointing at it.
    b->addChild(main.get());
    list = {main.get()};
    main->addAllIncludedFilesToArray(&list);
    QCOMPARE(list, QList<QSFile *>({main.get(), c.get(), b.get()}));
    {
        const auto gone = QSFile::initWithFilePath(QUrl::fromLocalFile("/p/gone.tex"));
        main->addChild(gone.get());
        gone->addParent(main.get());
        gone->addChild(b.get());
        b->addParent(gone.get());
        QCOMPARE(main->filesWhichThisFileIncludes().size(), 3);
    }
    QCOMPARE(main->filesWhichThisFileIncludes(), QList<QSFile *>({c.get(), b.get()}));
    QCOMPARE(b->filesWhichIncludeThisFile(), QList<QSFile *>());
}

void TestQSFile::saveFileWritesContentInTheChosenEncoding()
{
    TestFolder folder;
    const QString path = folder.write("a.tex", "old");
    const auto file = QSFile::initWithFilePath(QUrl::fromLocalFile(path));
    file->setContent(QStringLiteral("Grüße €"));
    QVERIFY(file->saveFile());
    QCOMPARE(TestFolder::read(path), QByteArray("Gr\xC3\xBC\xC3\x9F"
                                                "e \xE2\x82\xAC"));
    QVERIFY(!file->hasFileChanged());

    UserDefaults::standardUserDefaults().setObject(12, QSFileEncoding);
    QVERIFY(file->saveFile());
    QCOMPARE(TestFolder::read(path), QByteArray("Gr\xFC\xDF"
                                                "e \x80"));

    // Saving a titled file elsewhere writes a copy of the tree's text there and keeps
    // watching its own path.
    QVERIFY(file->saveFileToURL(QUrl::fromLocalFile(folder.path("copy.tex"))));
    QCOMPARE(file->pathText(), path);
    QCOMPARE(TestFolder::read(folder.path("copy.tex")), QByteArray("old"));
    QVERIFY(file->hasFileChanged() == false);
}

void TestQSFile::savesWriteNothingWhenTheTextCannotBeEncoded()
{
    TestFolder folder;
    UserDefaults::standardUserDefaults().setObject(5, QSFileEncoding);
    const QString path = folder.write("a.tex", "on disk");
    const auto file = QSFile::initWithFilePath(QUrl::fromLocalFile(path));
    QString text;
    edit(*file, text, "5 €");
    file->setContent(text);
    QCOMPARE(file->saveFile(), false);
    QCOMPARE(TestFolder::read(path), QByteArray("on disk"));
    QVERIFY(file->hasContentChangedSinceLastSave(false));

    const auto fresh = QSFile::initUntitledFileWithTemplateString("łódź", "Untitled");
    const QString target = folder.write("target.tex", "keep me");
    QCOMPARE(fresh->saveFileToURL(QUrl::fromLocalFile(target)), false);
    QCOMPARE(TestFolder::read(target), QByteArray("keep me"));
    QVERIFY(fresh->isUntitled());
}

void TestQSFile::saveFileToURLMakesAnUntitledFileTitled()
{
    TestFolder folder;
    const auto file = QSFile::initUntitledFileWithTemplateString("Été \\input{ch}", "Untitled_2");
    QCOMPARE(file->treeRootNode()->nodeName(), QStringLiteral("Untitled_2"));
    QCOMPARE(file->pathText(), QStringLiteral("Untitled_2"));
    QString text;
    edit(*file, text, "x");

    QStringList assertions;
    qsSetAssertionHandler([&](const char *description, const char *, const char *, int) {
        assertions << QString::fromUtf8(description);
    });
    QCOMPARE(file->saveFile(), false);
    qsSetAssertionHandler({});
    QCOMPARE(assertions, QStringList({"file is untitled - can't be saved with this method"}));

    const QString path = folder.path("thesis.tex");
    QVERIFY(file->saveFileToURL(QUrl::fromLocalFile(path)));
    QVERIFY(!file->isUntitled());
    QCOMPARE(file->pathText(), path);
    QCOMPARE(file->treeRootNode()->nodeName(), QStringLiteral("thesis.tex"));
    QCOMPARE(TestFolder::read(path), QByteArray("\xC3\x89t\xC3\xA9 \\input{ch}"));
    QVERIFY(!file->hasContentChangedSinceLastSave(false));
    QVERIFY(!file->hasFileChanged());
    // The include was not resolved on save; the file is read again for that.
    QCOMPARE(file->treeRootNode()->objectInChildrenAtIndex(1)->countOfChildren(), 0);
}

void TestQSFile::failedSaveChangesNothing()
{
    TestFolder folder;
    const QString blocked = folder.path("folder.tex");
    QVERIFY(QDir().mkpath(blocked));
    const auto file = untitled("text");
    QString text;
    edit(*file, text, "x");
    QCOMPARE(file->saveFileToURL(QUrl::fromLocalFile(blocked)), false);
    QVERIFY(file->isUntitled());
    QCOMPARE(file->pathText(), QStringLiteral("Untitled"));
    QVERIFY(file->hasContentChangedSinceLastSave(false));
    QCOMPARE(file->treeRootNode()->nodeName(), QStringLiteral("Untitled"));
}

QTEST_GUILESS_MAIN(TestQSFile)
#include "tst_qsfile.moc"
