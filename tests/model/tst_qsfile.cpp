#include "PoolHelpers.h"
#include "TestSupport.h"
#include "model/FileSymbols.h"
#include "platform/Assertions.h"

class TestQSFile : public QObject
{
    Q_OBJECT

private slots:
    void readsOnlyWhatChangedAndDecodes();
    void undoHistoryTellsOfUnsavedChanges();
    void pathDerivedValues_data();
    void pathDerivedValues();
    void noIncludePathFromOutsideTheFolder();
    void savesInTheChosenEncoding();
    void untitledFileIsTitledByItsFirstSave();
};

// A file is read again only when it changed on disk, and only when its bytes decode.
void TestQSFile::readsOnlyWhatChangedAndDecodes()
{
    TestFolder folder;
    const QString path = folder.write("main.tex", "A\\section{Été}C");
    const std::shared_ptr<QSFile> file = QSFile::initWithFilePath(QUrl::fromLocalFile(path));
    QCOMPARE(file->content(), "A\\section{Été}C");
    QCOMPARE(file->treeRootNode()->nodeName(), "main.tex");

    // Unchanged on disk: nothing is re-read, tree, text and history stay.
    const QString shown = file->content() + u'!';
    markEdited(*file);
    file->setContent(shown);
    const Node tree = file->treeRootNode();
    QVERIFY(!file->hasFileChanged());
    QCOMPARE(file->readFile(), false);
    QCOMPARE(file->treeRootNode(), tree);
    QCOMPARE(file->content(), shown);
    QVERIFY(file->undoManager().canUndo());

    // Rewritten with the same size within the same clock tick still counts as a change.
    folder.write("main.tex", "B\\section{Été}D");
    QVERIFY(file->hasFileChanged());
    QCOMPARE(file->readFile(), true);
    QVERIFY(file->treeRootNode() != tree);
    QCOMPARE(file->content(), "B\\section{Été}D");
    QVERIFY(!file->undoManager().canUndo());
    QCOMPARE(file->undoManager().amountOfUndosInUndoStack(), 1);
    QVERIFY(!file->hasContentChangedSinceLastSave(false)); // the text is the one on disk

    // No longer decodable, or gone from disk: what is in memory stays. The same bytes
    // read in Latin-1.
    const Node current = file->treeRootNode();
    folder.write("main.tex", "Gr\xFC\xDF, not UTF-8");
    QCOMPARE(file->readFile(), false);
    QCOMPARE(file->treeRootNode(), current);
    setEncoding(5);
    QCOMPARE(file->readFile(), true);
    QCOMPARE(file->content(), "Grüß, not UTF-8");
    QVERIFY(QFile::remove(path));
    QVERIFY(file->hasFileChanged());
    QCOMPARE(file->readFile(), false);
    QCOMPARE(file->content(), "Grüß, not UTF-8");

    // An empty file holds one empty text node, whose text is not null.
    const auto empty = QSFile::initWithFilePath(QUrl::fromLocalFile(folder.write("empty.tex", "")));
    QCOMPARE(shape(empty->treeRootNode()), "_");
    QVERIFY(!empty->treeRootNode()->objectInChildrenAtIndex(0)->nodeData().isNull());

    // Without an edit worker, the labels are those of the tree read last.
    folder.write("labels.tex", "\\label{a}");
    const auto labelled = QSFile::initWithFilePath(folder.url("labels.tex"));
    QCOMPARE(labelled->symbols()->labels.value(0).name, "a");
    folder.write("labels.tex", "\\section{S}\\label{b}\n");
    QVERIFY(labelled->readFile());
    QCOMPARE(labelled->symbols()->labels.size(), 1);
    QCOMPARE(labelled->symbols()->labels.value(0).heading, "S");
}

// A file has unsaved changes while its text is not the one saved last, as its undo
// history tells: its own or that of a file it includes.
void TestQSFile::undoHistoryTellsOfUnsavedChanges()
{
    TestFolder folder;
    const auto file = QSFile::initWithFilePath(QUrl::fromLocalFile(folder.write("a.tex", "a")));
    QSUndoManager &history = file->undoManager();
    const auto changed = [&] { return file->hasContentChangedSinceLastSave(false); };
    markEdited(*file);
    markEdited(*file);
    history.undo();
    QVERIFY(file->saveFile());
    QCOMPARE(history.amountOfUndosInUndoStack(), 1);
    QVERIFY(!changed());
    markEdited(*file);
    QVERIFY(changed());
    history.undo();
    QVERIFY(!changed());

    // Below the save point and back; an edit made there can never be the saved text.
    history.undo();
    QVERIFY(changed());
    history.redo();
    QVERIFY(!changed());
    QCOMPARE(history.amountOfUndosInUndoStack(), 1);
    history.undo();
    markEdited(*file);
    QVERIFY(changed());
    QCOMPARE(history.amountOfUndosInUndoStack(), 1);
    history.undo();
    QVERIFY(changed());

    // A group is one step; an edit that joins it after a save is an unsaved change.
    QVERIFY(file->saveFile());
    history.beginUndoGrouping();
    markEdited(*file);
    QVERIFY(file->saveFile());
    markEdited(*file);
    history.endUndoGrouping();
    QVERIFY(changed());
    QCOMPARE(history.amountOfUndosInUndoStack(), 1);
    history.undo();
    QCOMPARE(history.amountOfUndosInUndoStack(), 0);
    QVERIFY(changed());
    history.redo();
    QVERIFY(changed());
    QVERIFY(file->saveFile());

    // a includes b, b includes c, and c includes a again: only c has an edit.
    const auto b = QSFile::initUntitledFileWithTemplateString("b", "B");
    const auto c = QSFile::initUntitledFileWithTemplateString("c", "C");
    file->addChild(b.get());
    b->addChild(c.get());
    c->addChild(file.get());
    QVERIFY(!file->hasContentChangedSinceLastSave(true));
    markEdited(*c);
    QVERIFY(!file->hasContentChangedSinceLastSave(false));
    QVERIFY(file->hasContentChangedSinceLastSave(true));
    QVERIFY(b->hasContentChangedSinceLastSave(true));
}

void TestQSFile::pathDerivedValues_data()
{
    tableRows("files/paths.tsv");
}

void TestQSFile::pathDerivedValues()
{
    QFETCH(QStringList, fields);
    const auto file = QSFile::initWithFilePath(QUrl::fromLocalFile(fields[0]));
    QCOMPARE(QStringList({fields[0], file->name(), file->directory(),
                          file->pdfPath().value_or(QUrl()).toLocalFile(),
                          file->pdfSyncPath().value_or(QString())}),
             fields);
    QVERIFY(!file->doesPdfExist() && !file->contentOfPdfSync());
}

// A file outside the including file's folder has no path from it (the section node
// test checks the paths there are, and the file lists of documents whose includes loop).
void TestQSFile::noIncludePathFromOutsideTheFolder()
{
    const auto main = QSFile::initWithFilePath(QUrl::fromLocalFile("/p/main.tex"));
    const auto outside = QSFile::initWithFilePath(QUrl::fromLocalFile("/x/p/other.tex"));
    outside->addParent(main.get());
    QVERIFY(outside->relativeIncludePathsToThisFile().isEmpty()); // /p/ is no prefix of /x/p/
}

// A save writes the text in the encoding of the preferences. (A character the encoding
// cannot hold is the untitled file's case below.)
void TestQSFile::savesInTheChosenEncoding()
{
    TestFolder folder;
    const QString path = folder.write("a.tex", "old");
    const auto file = QSFile::initWithFilePath(QUrl::fromLocalFile(path));
    markEdited(*file);
    file->setContent("Grüß €");
    QVERIFY(file->saveFile());
    QCOMPARE(TestFolder::read(path), QByteArray("Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC"));
    QVERIFY(!file->hasFileChanged());
    QVERIFY(!file->hasContentChangedSinceLastSave(false));
    setEncoding(12);
    QVERIFY(file->saveFile());
    QCOMPARE(TestFolder::read(path), QByteArray("Gr\xFC\xDF \x80"));

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
    markEdited(*file);
    QVERIFY_THROWS_EXCEPTION(QSInternalInconsistency, file->saveFile());

    const QString target = folder.write("target.tex", "keep me");
    QVERIFY(QDir().mkpath(folder.path("folder.tex")));
    setEncoding(11); // Cyrillic has no É
    for (const char *name : {"target.tex", "folder.tex"}) {
        QCOMPARE(file->saveFileToURL(folder.url(name)), false);
        QVERIFY(file->isUntitled() && file->hasContentChangedSinceLastSave(false));
        QCOMPARE(file->treeRootNode()->nodeName(), "Untitled 2");
        setEncoding(4);
    }
    QCOMPARE(TestFolder::read(target), QByteArray("keep me"));

    QVERIFY(file->saveFileToURL(QUrl::fromLocalFile(target)));
    QVERIFY(!file->isUntitled());
    QCOMPARE(file->pathText(), target);
    QCOMPARE(file->treeRootNode()->nodeName(), "target.tex");
    QCOMPARE(TestFolder::read(target), QByteArray("\xC3\x89t\xC3\xA9 \\input{ch}"));
    QVERIFY(!file->hasContentChangedSinceLastSave(false) && !file->hasFileChanged());
    // The include was not resolved on save; the file is read again for that.
    QCOMPARE(file->treeRootNode()->objectInChildrenAtIndex(1)->countOfChildren(), 0);
}

QUILLSET_TEST_GUILESS_MAIN(TestQSFile)
#include "tst_qsfile.moc"
