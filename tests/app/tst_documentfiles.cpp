#include "AppFixture.h"
#include "app/OutlineViewDataSource.h"
#include "app/RecoveryKeeper.h"
#include "app/SaveChangesDataSource.h"
#include "model/QSSectionNode.h"
#include "platform/TextEncoding.h"

#include <QDialog>
#include <QMessageBox>
#include <QTemporaryDir>
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

void setEncoding(int number)
{
    UserDefaults::standardUserDefaults().setObject(number, QSFileEncoding);
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
    const QString text = "\\section{Привет}\n";
    MyDocument *document =
        _fixture->open(_fixture->folder.write("cyrillic.tex", *TextEncoding::encode(text, 11)));
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

// Changes that other programs make to an open file: read, asked about or reported,
// and nothing of the user's text is lost.
void TestDocumentFiles::changesOnDiskAreReadOrAsked()
{
    const QString path = _fixture->folder.write("notes.tex", "\\section{Old}\ntext\n");
    MyDocument *document = _fixture->open(path);
    const auto text = [document] { return document->textView()->toPlainText(); };
    QMessageBox *sheet = nullptr;
    // Waits for the question, which names the file and, for a file on disk, asks which
    // version to keep.
    const auto asked = [&](bool which) {
        return QTest::qWaitFor([&] { return (sheet = message(document)) != nullptr; })
               && sheet->text().contains("notes.tex")
               && sheet->text().contains("Which version") == which;
    };
    QTest::qWait(20);
    _fixture->folder.write("notes.tex", "\\section{New}\ntext\n");
    QTRY_COMPARE(text(), "\\section{New}\ntext\n");
    QCOMPARE(firstHeading(document), "New");

    // With unsaved edits nothing is overwritten without asking.
    typeAtEnd(document, "mine\n");
    _fixture->folder.write("notes.tex", "\\section{Theirs}\n");
    QVERIFY(asked(true));
    AppFixture::clickButton(sheet, "Keep My Version");
    QVERIFY(text().endsWith("mine\n"));
    QVERIFY(!QSFilePool::sharedFilePool()->hasFilesInDocumentChanged(document->fileOpened()));
    _fixture->folder.write("notes.tex", "\\section{Theirs again}\n");
    QVERIFY(asked(true));
    AppFixture::clickButton(sheet, "Use the Version on Disk");
    QCOMPARE(text(), "\\section{Theirs again}\n");
    QCOMPARE(firstHeading(document), "Theirs again");
    QTRY_VERIFY(!document->isDocumentEdited());

    // Replaced the way other programs save, by renaming a new file over it.
    const QString replacement = _fixture->folder.write("new.tex", "\\section{Renamed}\n");
    QVERIFY(::rename(QFile::encodeName(replacement), QFile::encodeName(path)) == 0);
    QTRY_COMPARE(text(), "\\section{Renamed}\n");

    // Deleted, with and without edits: the text stays, counts as not saved, the user
    // is told, and a save writes it again.
    for (const bool edited : {false, true}) {
        if (edited)
            AppFixture::type(document->textView(), "edited ");
        AppFixture::settle();
        const QString kept = text();
        QVERIFY(QFile::remove(path));
        QVERIFY(asked(false) && sheet->text().contains("deleted"));
        sheet->accept();
        QCOMPARE(text(), kept);
        QTRY_VERIFY(document->isDocumentEdited());
        QVERIFY(document->saveDocument() && !document->isDocumentEdited());
        QCOMPARE(TestFolder::read(path), kept.toUtf8());
    }

    // Deleted, then written anew by another program: the window sees it come back.
    QVERIFY(QFile::remove(path));
    QVERIFY(asked(false));
    sheet->accept();
    _fixture->folder.write("notes.tex", "\\section{Back}\n");
    QVERIFY(asked(true));
    AppFixture::clickButton(sheet, "Use the Version on Disk");
    QCOMPARE(text(), "\\section{Back}\n");
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
             "chapter.tex");
    // A second click unchecks.
    for (int click = 0; check && click < 3; ++click)
        files->setData(files->index(0, SaveChangesDataSource::CheckBoxColumn), Qt::Checked,
                       Qt::CheckStateRole);
    AppFixture::clickButton(sheet, button);
    QCoreApplication::processEvents();
    QCOMPARE(TestFolder::read(chapter).contains("new old"), saved);
    QVERIFY(!AppFixture::held(chapter) && !sheet->isVisible());
}

// Edits in a root file, in an included chapter and in a new document are kept;
// after the windows went without saving (as in a crash) they come back as edits
// that can be undone; saved files leave the recovery folder.
void TestDocumentFiles::unsavedTextSurvivesACrash()
{
    QTemporaryDir recoveryFolder;
    RecoveryKeeper keeper(recoveryFolder.path() + QStringLiteral("/recovery"));
    QCOMPARE(keeper.keepNow(), 0);
    MyDocument *thesis = _fixture->openExample();
    typeAtEnd(thesis, "Root edit.\n");
    thesis->selectRange(QSRange{0, 0}, AppFixture::fileNamed(thesis, "methods.tex"));
    AppFixture::type(thesis->textView(), "% chapter edit\n");
    typeAtEnd(_fixture->open(), "Fresh words.");

    QMap<QString, QString> edited;
    for (const auto &file : QSFilePool::sharedFilePool()->allFiles())
        if (file->hasContentChangedSinceLastSave(false))
            edited.insert(file->isUntitled() ? "untitled" : file->pathText(), file->content());
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
    int restored = 0;
    for (const auto &file : QSFilePool::sharedFilePool()->allFiles()) {
        const QString expected = edited.value(file->isUntitled() ? "untitled" : file->pathText());
        if (!expected.isNull()) {
            QCOMPARE(file->content(), expected);
            QVERIFY(file->hasContentChangedSinceLastSave(false));
            ++restored;
        }
    }
    QCOMPARE(restored, 3);

    // The restored text is one edit: undone, the root has its text from disk again.
    auto *reopened = qobject_cast<MyDocument *>(_fixture->documents.documents().first());
    if (reopened->fileOpened()->isUntitled())
        reopened = qobject_cast<MyDocument *>(_fixture->documents.documents().last());
    reopened->selectRange(QSRange{0, 0}, reopened->fileOpened());
    reopened->undo();
    AppFixture::settle();
    QCOMPARE(reopened->fileOpened()->content(),
             QString::fromUtf8(TestFolder::read(_fixture->folder.path("thesis.tex"))));

    // Files back to their saved text leave the recovery folder; the new document stays.
    for (const auto &file : QSFilePool::fileList(reopened->fileOpened().get())) {
        reopened->selectRange(QSRange{0, 0}, file);
        if (file->hasContentChangedSinceLastSave(false))
            reopened->undo();
    }
    AppFixture::settle();
    QCOMPARE(keeper.keepNow(), 1);
    QCOMPARE(keeper.pendingRecoveries().first().untitled, true);
    keeper.removeAll();
    QVERIFY(keeper.pendingRecoveries().isEmpty());
}

QUILLSET_TEST_MAIN(TestDocumentFiles)
#include "tst_documentfiles.moc"
