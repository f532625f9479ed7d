#include "AppFixture.h"
#include "app/OutlineViewDataSource.h"
#include "app/RecoveryKeeper.h"
#include "app/SaveChangesDataSource.h"
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
    void opensInTheChosenEncodingAndRefusesWhatDoesNotDecode();
    void saveAsRekeysAndSavingOverAHeldFileShares();
    void closeQuestionNamesTheFilesWithUnsavedChanges();
    void titledSaveWritesIncludedFilesAndFailuresLoseNothing();
    void changesOnDiskAreReadOrAsked();
    void droppingAnEditedIncludeAsksWhatToSave_data();
    void droppingAnEditedIncludeAsksWhatToSave();
    void unsavedTextSurvivesACrash();

private:
    std::unique_ptr<AppFixture> _fixture;
};

// The window reads its files in the encoding of the preferences (what each encoding
// makes of the bytes is the platform test's); a file that does not decode opens no
// window, and says why.
void TestDocumentFiles::opensInTheChosenEncodingAndRefusesWhatDoesNotDecode()
{
    setEncoding(11);
    MyDocument *document = _fixture->open(
        _fixture->folder.write("cyrillic.tex", *TextEncoding::encode("\\section{Привет}\n", 11)));
    QVERIFY(document);
    QCOMPARE(firstHeading(document), "Привет");
    setEncoding(4);
    const QString latin1 = _fixture->folder.write("latin1.tex", "Gr\xFC\xDF");
    QVERIFY(!_fixture->open(latin1));
    QCOMPARE(_fixture->documents.documents().size(), 1);
    QString error;
    QVERIFY(!MyDocument().readFromURL(QUrl::fromLocalFile(latin1), &error));
    QVERIFY(error.endsWith("This might have something to do with the file-encoding\n"
                           "Try changing the file encoding settings in preferences"));
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
    QCOMPARE(first->outlineViewDataSource()->index(0, 0).data().toString(), "paper.tex");
    _fixture->closeAnswer = DocumentController::SaveAnswer::Cancel;
    typeAtEnd(first, "% later\n");
    QVERIFY(!first->window()->close());
    QCOMPARE(_fixture->asked, QStringList{"paper.tex"});
    QVERIFY(first->saveDocument());
    QVERIFY(TestFolder::read(path).endsWith("% later\n"));

    MyDocument *second = _fixture->open();
    QCOMPARE(second->displayName(), "Untitled");
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
    QVERIFY(first->saveDocument() && !first->isDocumentEdited());
    QVERIFY(TestFolder::read(draft).endsWith("% in the draft\n"));
    QCOMPARE(TestFolder::read(path), before);
}

// Closing asks about the files that hold the unsaved changes, by their names, not
// about the document's root file.
void TestDocumentFiles::closeQuestionNamesTheFilesWithUnsavedChanges()
{
    MyDocument *document = _fixture->openExample();
    _fixture->closeAnswer = DocumentController::SaveAnswer::Cancel;
    for (const QString name : {"methods.tex", "results.tex"}) {
        document->selectRange(QSRange{0, 0}, AppFixture::fileNamed(document, name));
        typeAtEnd(document, "% more\n");
        QVERIFY(!document->window()->close());
    }
    QCOMPARE(_fixture->questions,
             QStringList({"Do you want to save the changes you made in \"methods.tex\"?",
                          "Do you want to save the changes you made in \"methods.tex\" and "
                          "\"results.tex\"?"}));
    document->selectRange(QSRange{0, 0}, document->fileOpened());
    typeAtEnd(document, "% more\n");
    QVERIFY(!document->window()->close());
    QCOMPARE(_fixture->questions.last(),
             "Do you want to save the changes you made in 3 files: \"thesis.tex\", "
             "\"methods.tex\" and \"results.tex\"?");
    MyDocument *untitled = _fixture->open();
    typeAtEnd(untitled, "x");
    QVERIFY(!untitled->window()->close());
    QCOMPARE(_fixture->questions.last(),
             "Do you want to save the changes you made in \"Untitled\"?");
}

void TestDocumentFiles::titledSaveWritesIncludedFilesAndFailuresLoseNothing()
{
    MyDocument *document = _fixture->openExample();
    const QString methods = _fixture->folder.path("chapters/methods.tex");
    document->selectRange(QSRange{0, 0}, AppFixture::fileNamed(document, "methods.tex"));
    QSTextView *text = document->textView();
    AppFixture::typeBefore(text, "Twelve pools", "Ünïcode ");
    QVERIFY(document->isDocumentEdited());
    QVERIFY(document->saveDocument() && !document->isDocumentEdited());
    QVERIFY(TestFolder::read(methods).contains("Ünïcode Twelve pools"));

    // A character the encoding cannot hold: reported, nothing written, still edited.
    setEncoding(5);
    const QByteArray before = TestFolder::read(methods);
    AppFixture::type(text, "€");
    AppFixture::settle();
    QVERIFY(!document->saveDocument());
    QVERIFY(message(document)->text().contains("methods.tex")
            && message(document)->text().contains("ISO-Latin1"));
    message(document)->close();
    QCOMPARE(TestFolder::read(methods), before);
    QVERIFY(document->isDocumentEdited() && text->toPlainText().contains("Ünïcode €Twelve"));

    // A folder that cannot be written: the same.
    setEncoding(4);
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

// Changes that other programs make to an open file, step by step as
// tests/data/window/changes-on-disk.txt has them: read, asked about or reported, and
// nothing of the user's text is lost.
void TestDocumentFiles::changesOnDiskAreReadOrAsked()
{
    const QString path = _fixture->folder.write("notes.tex", "\\section{Old}\ntext\n");
    MyDocument *document = _fixture->open(path);
    QTest::qWait(20);
    for (const GoldenCase &step : goldenCases("window/changes-on-disk.txt")) {
        qInfo("step: %s", qPrintable(step.name));
        for (qsizetype i = 0; i < step.labels.size(); ++i) {
            const QString &label = step.labels[i], &part = step.parts[i];
            if (label == "written") {
                _fixture->folder.write("notes.tex", part.toUtf8());
            } else if (label == "renamed over it") {
                const QString other = _fixture->folder.write("other.tex", part.toUtf8());
                QVERIFY(::rename(QFile::encodeName(other), QFile::encodeName(path)) == 0);
            } else if (label == "deleted") {
                QVERIFY(QFile::remove(path));
            } else if (label == "typed") {
                typeAtEnd(document, part);
            } else if (label == "asked") {
                QMessageBox *sheet = nullptr;
                QVERIFY(QTest::qWaitFor([&] { return (sheet = message(document)) != nullptr; }));
                QVERIFY(sheet->text().contains("notes.tex"));
                QVERIFY(sheet->text().contains(part.section(u'\n', 0, 0)));
                AppFixture::clickButton(sheet, part.section(u'\n', 1));
            } else if (label == "shows") {
                QTRY_COMPARE(document->textView()->toPlainText(), part);
            } else if (label == "heading") {
                QCOMPARE(firstHeading(document), part);
            } else if (label == "edited") {
                QTRY_COMPARE(document->isDocumentEdited(), part == "yes");
            } else if (label == "up to date") {
                QVERIFY(!QSFilePool::sharedFilePool()->hasFilesInDocumentChanged(
                    document->fileOpened()));
            } else if (label == "saved") {
                QVERIFY(document->saveDocument());
                QCOMPARE(TestFolder::read(path), part.toUtf8());
            } else {
                QFAIL(qPrintable("no step " + label));
            }
        }
    }
}

void TestDocumentFiles::droppingAnEditedIncludeAsksWhatToSave_data()
{
    tableRows("window/save-sheet.tsv");
}

// The rows of tests/data/window/save-sheet.tsv.
void TestDocumentFiles::droppingAnEditedIncludeAsksWhatToSave()
{
    QFETCH(QStringList, fields);
    const QString chapter = _fixture->folder.write("chapter.tex", "\\section{C}\nold\n");
    MyDocument *document =
        _fixture->open(_fixture->folder.write("main.tex", "\\input{chapter}\nend\n"));
    QSFilePool::sharedFilePool()->setKeyDocument(document);
    document->selectRange(QSRange{0, 0}, AppFixture::fileNamed(document, "chapter.tex"));
    AppFixture::typeBefore(document->textView(), "old", "new ");
    document->selectRange(QSRange{0, 16}, document->fileOpened());
    document->textView()->textCursor().removeSelectedText();
    AppFixture::settle();

    QDialog *sheet = nullptr;
    QTRY_VERIFY((sheet = AppFixture::shownDialog<QDialog>(document->window())));
    QAbstractItemModel *files = sheet->findChild<QAbstractItemView *>("tableWithFiles")->model();
    QCOMPARE(files->rowCount(), 1);
    QCOMPARE(files->index(0, SaveChangesDataSource::FilenameColumn).data().toString(),
             "chapter.tex");
    // A second click unchecks.
    for (int click = 0; fields[1] == "checked" && click < 3; ++click)
        files->setData(files->index(0, SaveChangesDataSource::CheckBoxColumn), Qt::Checked,
                       Qt::CheckStateRole);
    AppFixture::clickButton(sheet, fields[0]);
    QCoreApplication::processEvents();
    QCOMPARE(TestFolder::read(chapter).contains("new old"), fields[2] == "saved");
    QVERIFY(!AppFixture::held(chapter) && !sheet->isVisible());
}

// Edits in a root file, in an included chapter and in a new document are kept;
// after the windows went without saving (as in a crash) they come back as edits
// that can be undone; saved files leave the recovery folder.
void TestDocumentFiles::unsavedTextSurvivesACrash()
{
    // The text of each file with unsaved edits, by its path ("untitled" for a new one).
    const auto editedTexts = [] {
        QMap<QString, QString> edited;
        for (const auto &file : QSFilePool::sharedFilePool()->allFiles())
            if (file->hasContentChangedSinceLastSave(false))
                edited.insert(file->isUntitled() ? "untitled" : file->pathText(), file->content());
        return edited;
    };
    RecoveryKeeper keeper(_fixture->folder.path("recovery"));
    QCOMPARE(keeper.keepNow(), 0);
    MyDocument *thesis = _fixture->openExample();
    typeAtEnd(thesis, "Root edit.\n");
    thesis->selectRange(QSRange{0, 0}, AppFixture::fileNamed(thesis, "methods.tex"));
    AppFixture::type(thesis->textView(), "% chapter edit\n");
    typeAtEnd(_fixture->open(), "Fresh words.");

    const QMap<QString, QString> edited = editedTexts();
    QCOMPARE(edited.size(), 3);
    QCOMPARE(keeper.keepNow(), 3);
    QCOMPARE(keeper.pendingRecoveries().size(), 3);
    for (const RecoveryKeeper::Recovered &entry : keeper.pendingRecoveries())
        QCOMPARE(entry.text, edited.value(entry.untitled ? "untitled" : entry.path));

    // The windows go without saving; the files on disk keep their old text.
    QApplication::closeAllWindows();
    QCoreApplication::processEvents();
    QVERIFY(_fixture->documents.documents().isEmpty());
    keeper.restoreInto(&_fixture->documents, keeper.pendingRecoveries());
    QCOMPARE(_fixture->documents.documents().size(), 2);
    AppFixture::settle();
    QCOMPARE(editedTexts(), edited);

    // The restored text is one edit in each file: undone, each has its text from disk
    // again and leaves the recovery folder; the new document stays.
    auto *reopened = qobject_cast<MyDocument *>(_fixture->documents.documents().first());
    if (reopened->fileOpened()->isUntitled())
        reopened = qobject_cast<MyDocument *>(_fixture->documents.documents().last());
    const QList<std::shared_ptr<QSFile>> files = QSFilePool::fileList(reopened->fileOpened().get());
    for (const std::shared_ptr<QSFile> &file : files) {
        reopened->selectRange(QSRange{0, 0}, file);
        if (file->hasContentChangedSinceLastSave(false))
            reopened->undo();
    }
    AppFixture::settle();
    for (const std::shared_ptr<QSFile> &file : files)
        QCOMPARE(file->content(), QString::fromUtf8(TestFolder::read(file->pathText())));
    QCOMPARE(keeper.keepNow(), 1);
    QCOMPARE(keeper.pendingRecoveries().first().untitled, true);
    keeper.removeAll();
    QVERIFY(keeper.pendingRecoveries().isEmpty());
}

QUILLSET_TEST_MAIN(TestDocumentFiles)
#include "tst_documentfiles.moc"
