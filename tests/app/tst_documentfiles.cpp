#include "AppFixture.h"
#include "app/OutlineViewDataSource.h"
#include "app/SaveChangesDataSource.h"
#include "model/QSSectionNode.h"
#include "platform/TextEncoding.h"

#include <QDialog>
#include <QMessageBox>
#include <QTreeView>

namespace {

// The name of the first row under the file's row in the window's outline.
QString firstHeading(MyDocument *document)
{
    const QAbstractItemModel *outline = document->outlineView()->model();
    return outline->index(0, 0, outline->index(0, 0)).data().toString();
}

QMessageBox *message(MyDocument *document)
{
    return AppFixture::shownDialog<QMessageBox>(document->window());
}

// Types at the end of the text and lets the edit reach the file.
void typeAtEnd(MyDocument *document, const QString &text)
{
    document->textView()->moveCursor(QTextCursor::End);
    AppFixture::type(document->textView(), text);
    AppFixture::settle();
}

} // namespace

class TestDocumentFiles : public QObject
{
    Q_OBJECT

private slots:
    void init() { _fixture = std::make_unique<AppFixture>(); }
    void cleanup() { _fixture.reset(); }
    void opensEveryEncodingAndRefusesWhatDoesNotDecode();
    void saveAsRekeysAndSavingOverAHeldFileShares();
    void titledSaveWritesIncludedFilesAndFailuresLoseNothing();
    void changesOnDiskAreReadOrAsked();
    void crLfFileKeepsItsLineEnds();
    void droppingAnEditedIncludeAsksWhatToSave_data();
    void droppingAnEditedIncludeAsksWhatToSave();

private:
    std::unique_ptr<AppFixture> _fixture;
};

void TestDocumentFiles::opensEveryEncodingAndRefusesWhatDoesNotDecode()
{
    const QMap<int, QString> samples = {{4, "Grüße — 日本"}, {5, "Grüße"},    {9, "Zażółć"},
                                        {11, "Привет"},      {12, "Grüße €"}, {15, "Zażółć €"},
                                        {30, "Grüße ƒπ"}};
    for (auto sample = samples.cbegin(); sample != samples.cend(); ++sample) {
        UserDefaults::standardUserDefaults().setObject(sample.key(), QSFileEncoding);
        const QString text = "\\section{" + sample.value() + "}\n";
        MyDocument *document =
            _fixture->open(_fixture->folder.write(QStringLiteral("file%1.tex").arg(sample.key()),
                                                  *TextEncoding::encode(text, sample.key())));
        QVERIFY(document);
        QCOMPARE(document->textView()->toPlainText(), text);
        QCOMPARE(firstHeading(document), sample.value());
    }
    UserDefaults::standardUserDefaults().setObject(4, QSFileEncoding);
    const QString latin1 = _fixture->folder.write("latin1.tex", "Gr\xFC\xDF");
    const qsizetype windows = _fixture->documents.documents().size();
    QVERIFY(!_fixture->open(latin1));
    QCOMPARE(_fixture->documents.documents().size(), windows);
    QString error;
    QVERIFY(!MyDocument().readFromURL(QUrl::fromLocalFile(latin1), &error));
    QVERIFY(error.contains("This might have something to do with the file-encoding"));
    QVERIFY(error.contains("Try changing the file encoding settings in preferences"));
}

// A new document saved takes its file's name wherever its name shows and frees
// "Untitled"; Save As goes on with the new file; a new document saved over a held
// file shares it with the window that holds it.
void TestDocumentFiles::saveAsRekeysAndSavingOverAHeldFileShares()
{
    MyDocument *first = _fixture->open();
    typeAtEnd(first, "x");
    QVERIFY(first->isDocumentEdited());
    const QString path = _fixture->folder.path("paper.tex");
    QVERIFY(first->saveDocumentToURL(QUrl::fromLocalFile(path)));
    AppFixture::settle();
    QCOMPARE(AppFixture::held(path), first->fileOpened());
    QVERIFY(!AppFixture::held("Untitled") && !first->isDocumentEdited());
    QVERIFY(first->window()->windowTitle().startsWith("paper.tex[*]"));
    QCOMPARE(first->outlineViewDataSource()->index(0, 0).data().toString(),
             QStringLiteral("paper.tex"));
    QStringList asked;
    _fixture->documents.setSaveQuestion([&asked](Document *edited) {
        asked << edited->displayName();
        return DocumentController::SaveAnswer::Cancel;
    });
    typeAtEnd(first, "% later\n");
    QVERIFY(!first->window()->close());
    QCOMPARE(asked, QStringList{"paper.tex"});
    _fixture->documents.setSaveQuestion(
        [](Document *) { return DocumentController::SaveAnswer::DontSave; });
    QVERIFY(first->saveDocument());
    QVERIFY(TestFolder::read(path).endsWith("% later\n"));

    MyDocument *second = _fixture->open();
    QCOMPARE(second->displayName(), QStringLiteral("Untitled"));
    QVERIFY(second->saveDocumentToURL(QUrl::fromLocalFile(path)));
    QCOMPARE(second->fileOpened(), first->fileOpened());
    QVERIFY(!second->isDocumentEdited());
    QCOMPARE(QSFilePool::sharedFilePool()->openCountForFile(QUrl::fromLocalFile(path)), 2);
    QCOMPARE(TestFolder::read(path),
             UserDefaults::standardUserDefaults().stringForKey(QSUntitledFileTemplate).toUtf8());
    QCOMPARE(first->textView()->toPlainText(), second->textView()->toPlainText());

    // Save As of a document on disk: the other window keeps the file both had.
    const QString draft = _fixture->folder.path("draft2.tex");
    const QByteArray before = TestFolder::read(path);
    QVERIFY(first->saveDocumentToURL(QUrl::fromLocalFile(draft)));
    QCOMPARE(AppFixture::held(draft), first->fileOpened());
    QCOMPARE(AppFixture::held(path), second->fileOpened());
    QCOMPARE(QSFilePool::sharedFilePool()->openCountForFile(QUrl::fromLocalFile(path)), 1);
    QVERIFY(first->window()->windowTitle().startsWith("draft2.tex"));
    typeAtEnd(first, "% in the draft\n");
    QVERIFY(first->isDocumentEdited());
    QVERIFY(first->saveDocument());
    QVERIFY(!first->isDocumentEdited());
    QVERIFY(TestFolder::read(draft).endsWith("% in the draft\n"));
    QCOMPARE(TestFolder::read(path), before);
}

void TestDocumentFiles::titledSaveWritesIncludedFilesAndFailuresLoseNothing()
{
    MyDocument *document = _fixture->openExample();
    const QString methods = _fixture->folder.path("chapters/methods.tex");
    document->selectRange(QSRange{0, 0}, AppFixture::fileNamed(document, "methods.tex"));
    QSTextView *text = document->textView();
    AppFixture::placeCaretAt(text, "Twelve pools");
    AppFixture::type(text, "Ünïcode ");
    AppFixture::settle();
    QVERIFY(document->isDocumentEdited());
    QVERIFY(document->saveDocument());
    QVERIFY(TestFolder::read(methods).contains("Ünïcode Twelve pools"));
    QVERIFY(!document->isDocumentEdited());

    // A character the encoding cannot hold: reported, nothing written, still edited.
    UserDefaults::standardUserDefaults().setObject(5, QSFileEncoding);
    const QByteArray before = TestFolder::read(methods);
    AppFixture::type(text, "€");
    AppFixture::settle();
    QVERIFY(!document->saveDocument());
    QVERIFY(message(document)->text().contains("methods.tex"));
    QVERIFY(message(document)->text().contains("ISO-Latin1"));
    message(document)->close();
    QCOMPARE(TestFolder::read(methods), before);
    QVERIFY(document->isDocumentEdited());
    QVERIFY(text->toPlainText().contains("Ünïcode €Twelve"));

    // A folder that cannot be written: the same.
    UserDefaults::standardUserDefaults().setObject(4, QSFileEncoding);
    MyDocument *untitled = _fixture->open();
    AppFixture::type(untitled->textView(), "draft ");
    AppFixture::settle();
    QVERIFY(!untitled->saveDocumentToURL(_fixture->folder.url("missing/draft.tex")));
    QVERIFY(message(untitled)->text().contains("missing/draft.tex"));
    QVERIFY(untitled->isDocumentEdited() && untitled->fileOpened()->isUntitled());
    QVERIFY(untitled->textView()->toPlainText().startsWith("draft "));

    // Closing lets go of every file of the document.
    document->window()->close();
    QCoreApplication::processEvents();
    for (const char *name : {"thesis.tex", "chapters/methods.tex", "appendix.tex"})
        QVERIFY2(!AppFixture::held(_fixture->folder.path(name)), name);
}

// Typing in a file with CR LF line ends: the outline and the text stay one, and
// the file is saved with CR LF line ends again.
void TestDocumentFiles::crLfFileKeepsItsLineEnds()
{
    const QString path = _fixture->folder.write("dos.tex", "intro\r\n\\section{Old}\r\ntext\r\n");
    MyDocument *document = _fixture->open(path);
    AppFixture::placeCaretAt(document->textView(), "Old");
    AppFixture::type(document->textView(), "New ");
    typeAtEnd(document, "more\n");
    {
        std::lock_guard lock(QSFilePool::documentModelLock());
        QCOMPARE(document->fileOpened()->treeRootNode()->nodeDataWithChildren(),
                 document->textView()->toPlainText());
    }
    QCOMPARE(firstHeading(document), QStringLiteral("New Old"));
    QVERIFY(document->saveDocument());
    QCOMPARE(TestFolder::read(path), QByteArray("intro\r\n\\section{New Old}\r\ntext\r\nmore\r\n"));
}

// Changes that other programs make to an open file: read, asked about or reported,
// and nothing of the user's text is lost.
void TestDocumentFiles::changesOnDiskAreReadOrAsked()
{
    const QString path = _fixture->folder.write("notes.tex", "\\section{Old}\ntext\n");
    MyDocument *document = _fixture->open(path);
    const auto text = [document] { return document->textView()->toPlainText(); };
    QMessageBox *sheet = nullptr;
    // Waits for the question, which names the file.
    const auto asked = [&] {
        return QTest::qWaitFor([&] { return (sheet = message(document)) != nullptr; })
               && sheet->text().contains("notes.tex");
    };
    QTest::qWait(20);
    _fixture->folder.write("notes.tex", "\\section{New}\ntext\n");
    QTRY_COMPARE(text(), QStringLiteral("\\section{New}\ntext\n"));
    QCOMPARE(firstHeading(document), QStringLiteral("New"));

    // With unsaved edits nothing is overwritten without asking.
    typeAtEnd(document, "mine\n");
    _fixture->folder.write("notes.tex", "\\section{Theirs}\n");
    QVERIFY(asked());
    AppFixture::clickButton(sheet, "Keep My Version");
    QVERIFY(text().endsWith("mine\n"));
    QVERIFY(!QSFilePool::sharedFilePool()->hasFilesInDocumentChanged(document->fileOpened()));
    _fixture->folder.write("notes.tex", "\\section{Theirs again}\n");
    QVERIFY(asked());
    AppFixture::clickButton(sheet, "Use the Version on Disk");
    QCOMPARE(text(), QStringLiteral("\\section{Theirs again}\n"));
    QCOMPARE(firstHeading(document), QStringLiteral("Theirs again"));
    QTRY_VERIFY(!document->isDocumentEdited());

    // Replaced the way other programs save, by renaming a new file over it.
    const QString replacement = _fixture->folder.write("new.tex", "\\section{Renamed}\n");
    QVERIFY(::rename(QFile::encodeName(replacement), QFile::encodeName(path)) == 0);
    QTRY_COMPARE(text(), QStringLiteral("\\section{Renamed}\n"));

    // Deleted, with and without edits: the text stays, counts as not saved, the user
    // is told, and a save writes it again.
    for (const bool edited : {false, true}) {
        if (edited)
            AppFixture::type(document->textView(), "edited ");
        AppFixture::settle();
        const QString kept = text();
        QVERIFY(QFile::remove(path));
        QVERIFY(asked());
        QVERIFY(sheet->text().contains("deleted") && !sheet->text().contains("Which version"));
        sheet->accept();
        QCOMPARE(text(), kept);
        QTRY_VERIFY(document->isDocumentEdited());
        QVERIFY(document->saveDocument());
        QCOMPARE(TestFolder::read(path), kept.toUtf8());
        QVERIFY(!document->isDocumentEdited());
    }

    // Deleted, then written anew by another program: the window sees it come back.
    QVERIFY(QFile::remove(path));
    QVERIFY(asked());
    sheet->accept();
    _fixture->folder.write("notes.tex", "\\section{Back}\n");
    QVERIFY(asked());
    QVERIFY(sheet->text().contains("Which version"));
    AppFixture::clickButton(sheet, "Use the Version on Disk");
    QCOMPARE(text(), QStringLiteral("\\section{Back}\n"));
    QTRY_VERIFY(!document->isDocumentEdited());
}

void TestDocumentFiles::droppingAnEditedIncludeAsksWhatToSave_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("check");
    QTest::addColumn<bool>("saved");
    QTest::newRow("save all") << "Save All" << false << true;
    QTest::newRow("save checked, none checked") << "Save Checked" << false << false;
    QTest::newRow("save checked, checked") << "Save Checked" << true << true;
    QTest::newRow("discard") << "Discard Changes" << true << false;
}

// The chapter is edited, then its \input line is removed from the root.
void TestDocumentFiles::droppingAnEditedIncludeAsksWhatToSave()
{
    QFETCH(QString, button);
    QFETCH(bool, check);
    QFETCH(bool, saved);
    const QString chapter = _fixture->folder.write("chapter.tex", "\\section{C}\nold\n");
    MyDocument *document =
        _fixture->open(_fixture->folder.write("main.tex", "\\input{chapter}\nend\n"));
    QSFilePool::sharedFilePool()->setKeyDocument(document);
    document->selectRange(QSRange{0, 0}, AppFixture::fileNamed(document, "chapter.tex"));
    AppFixture::placeCaretAt(document->textView(), "old");
    AppFixture::type(document->textView(), "new ");
    AppFixture::settle();
    document->selectRange(QSRange{0, 16}, document->fileOpened());
    document->textView()->textCursor().removeSelectedText();
    AppFixture::settle();

    QDialog *sheet = nullptr;
    QTRY_VERIFY((sheet = AppFixture::shownDialog<QDialog>(document->window())));
    QAbstractItemModel *files = sheet->findChild<QAbstractItemView *>("tableWithFiles")->model();
    QCOMPARE(files->rowCount(), 1);
    QCOMPARE(files->index(0, SaveChangesDataSource::FilenameColumn).data().toString(),
             QStringLiteral("chapter.tex"));
    if (check) {
        const QModelIndex mark = files->index(0, SaveChangesDataSource::CheckBoxColumn);
        // A second click unchecks.
        for (int click = 0; click < 3; ++click)
            files->setData(mark, Qt::Checked, Qt::CheckStateRole);
    }
    AppFixture::clickButton(sheet, button);
    QCoreApplication::processEvents();
    QCOMPARE(TestFolder::read(chapter).contains("new old"), saved);
    QVERIFY(!AppFixture::held(chapter) && !sheet->isVisible());
}

QTEST_MAIN(TestDocumentFiles)
#include "tst_documentfiles.moc"
