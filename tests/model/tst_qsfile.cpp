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
    void readsAndSavesInTheEncodingItsHeaderNames_data();
    void readsAndSavesInTheEncodingItsHeaderNames();
    void latin1ChapterSavesBackByteForByte();
    void editedEncodingLineIsFollowedOnSave();
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

void TestQSFile::readsAndSavesInTheEncodingItsHeaderNames_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("preference");
    QTest::addColumn<QString>("text");   // after the header line; null when unreadable
    QTest::addColumn<int>("encoding");   // the file's, after reading
    QTest::addColumn<QString>("notice"); // a part of it, empty for none
    QTest::addColumn<QString>("added");  // typed at the end, then saved
    QTest::addColumn<QByteArray>("addedBytes");

    QTest::newRow("Latin-1 named, UTF-8 preferred")
        << QByteArray("% !TeX encoding = ISO-8859-1\nGr\xF6\xDF"
                      "e")
        << 4 << "Größe" << 5 << ""
        << "ü" << QByteArray("\xFC");
    QTest::newRow("windows-1250 as users write it")
        << QByteArray("%!TEX Encoding=cp1250\n\x9Ar\xEC") << 4 << "šrě" << 15 << ""
        << "ő" << QByteArray("\xF5");
    QTest::newRow("UTF-8 named, Latin-1 preferred")
        << QByteArray("% !TeX encoding = UTF-8\nGr\xC3\xB6\xC3\x9F"
                      "e")
        << 5 << "Größe" << 4 << ""
        << "ő" << QByteArray("\xC5\x91");
    QTest::newRow("Latin-2 named over UTF-8 text")
        << QByteArray("% !TeX encoding = latin2\nGr\xC3\xB6\xC3\x9F"
                      "e")
        << 4 << "Größe" << 4 << "is not ISO-Latin2 text"
        << "ő" << QByteArray("\xC5\x91");
    QTest::newRow("Mac OS Roman named over UTF-8 text")
        << QByteArray("% !TeX encoding = MacRoman\n\xC3\xA9t\xC3\xA9") << 4 << "été" << 4
        << "is not Mac OS Roman text"
        << "" << QByteArray();
    QTest::newRow("UTF-8 named over Latin-1 text")
        << QByteArray("% !TeX encoding = utf8\nGr\xF6\xDF"
                      "e")
        << 5 << "Größe" << 5 << "is not Unicode UTF-8 text"
        << "ü" << QByteArray("\xFC");
    QTest::newRow("neither the named nor the preferred")
        << QByteArray("% !TeX encoding = UTF-8\nGr\xF6\xDF"
                      "e")
        << 4 << QString() << 4 << "is neither Unicode UTF-8 text"
        << "" << QByteArray();
    QTest::newRow("byte order mark before the header")
        << QByteArray("\xEF\xBB\xBF% !TeX encoding = UTF-8\nGr\xC3\xB6\xC3\x9F"
                      "e")
        << 5 << "Größe" << 4 << ""
        << "ő" << QByteArray("\xC5\x91");
    QTest::newRow("unknown name") << QByteArray("% !TeX encoding = latin9\nGr\xC3\xB6\xC3\x9F"
                                                "e")
                                  << 4 << "Größe" << 4 << "\"latin9\""
                                  << "ő" << QByteArray("\xC5\x91");
    QTest::newRow("no header line: the preference, as before")
        << QByteArray("% Kapitel 2\nGr\xF6\xDF"
                      "e")
        << 5 << "Größe" << 5 << ""
        << "ü" << QByteArray("\xFC");
    QTest::newRow("a line after the first TeX is no header")
        << QByteArray("\\relax\n% !TeX encoding = latin1\nGr\xF6\xDF"
                      "e")
        << 4 << QString() << 4 << ""
        << "" << QByteArray();
}

// A file is read in the encoding its header names when its bytes are text in it,
// else as without the header, with a notice; it is saved in the encoding it was read in.
void TestQSFile::readsAndSavesInTheEncodingItsHeaderNames()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, preference);
    QFETCH(QString, text);
    QFETCH(QString, notice);
    QFETCH(QString, added);
    QFETCH(QByteArray, addedBytes);
    TestFolder folder;
    setEncoding(preference);
    const QString path = folder.write("chapter.tex", bytes);
    const auto file = QSFile::initWithFilePath(QUrl::fromLocalFile(path));
    if (text.isNull()) {
        QVERIFY(!file->treeRootNode());
    } else {
        QVERIFY(file->treeRootNode());
        QCOMPARE(file->content().mid(file->content().indexOf(u'\n') + 1), text);
    }
    QTEST(file->encoding(), "encoding");
    if (notice.isEmpty())
        QCOMPARE(file->encodingNotice(), "");
    else
        QVERIFY2(file->encodingNotice().contains(notice), qPrintable(file->encodingNotice()));
    if (added.isEmpty())
        return;

    markEdited(*file);
    file->setContent(file->content() + added);
    QVERIFY2(file->saveFile(), qPrintable(file->lastSaveError()));
    QCOMPARE(TestFolder::read(path), bytes + addedBytes);
}

// A real chapter in Latin-1 with CR LF line ends: read right, and written back with
// nothing changed but the edited line; read again from disk after a change there.
void TestQSFile::latin1ChapterSavesBackByteForByte()
{
    TestFolder folder;
    setEncoding(4);
    folder.copyData("encodings");
    const QString path = folder.path("chapter-latin1.tex");
    const QByteArray original = TestFolder::read(path);
    const auto file = QSFile::initWithFilePath(QUrl::fromLocalFile(path));
    QVERIFY(file->content().contains("Die Größe des Geräts beträgt 12\\,cm; über die Wärme\n"));
    QCOMPARE(file->encodingNotice(), "");

    markEdited(*file);
    file->setContent(QString(file->content()).replace("Größe", "Länge"));
    QVERIFY(file->saveFile());
    QCOMPARE(TestFolder::read(path), QByteArray(original).replace("Gr\xF6\xDF"
                                                                  "e",
                                                                  "L\xE4nge"));

    // A change on disk, in the same encoding, is read in it again.
    folder.write("chapter-latin1.tex", QByteArray(original).replace("W\xE4rme", "K\xE4lte"));
    QVERIFY(file->readFile());
    QVERIFY(file->content().contains("über die Kälte\n"));
    QCOMPARE(file->encoding(), 5);
}

// The header names the encoding the text is to be in: a new name written into it
// (or into a new document's template) is the one the save writes.
void TestQSFile::editedEncodingLineIsFollowedOnSave()
{
    TestFolder folder;
    setEncoding(4);
    const QString path = folder.write("a.tex", "% !TeX encoding = latin1\n\xC4");
    const auto file = QSFile::initWithFilePath(QUrl::fromLocalFile(path));
    QCOMPARE(file->content(), "% !TeX encoding = latin1\nÄ");

    markEdited(*file);
    file->setContent("% !TeX encoding = UTF-8\nÄ");
    QVERIFY(file->saveFile());
    QCOMPARE(TestFolder::read(path), QByteArray("% !TeX encoding = UTF-8\n\xC3\x84"));
    QCOMPARE(file->encoding(), 4);
    setEncoding(5); // the line, not the preference, now says what the file is in
    markEdited(*file);
    file->setContent("% !TeX encoding = UTF-8\nÄő");
    QVERIFY(file->saveFile());
    QCOMPARE(TestFolder::read(path), QByteArray("% !TeX encoding = UTF-8\n\xC3\x84\xC5\x91"));

    const auto untitled =
        QSFile::initUntitledFileWithTemplateString("% !TeX encoding = cp1252\n€", "Untitled");
    QVERIFY(untitled->saveFileToURL(folder.url("b.tex")));
    QCOMPARE(TestFolder::read(folder.path("b.tex")), QByteArray("% !TeX encoding = cp1252\n\x80"));
    QCOMPARE(untitled->encoding(), 12);
}

QUILLSET_TEST_GUILESS_MAIN(TestQSFile)
#include "tst_qsfile.moc"
