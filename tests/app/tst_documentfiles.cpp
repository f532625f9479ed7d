#include "AppFixture.h"
#include "app/OutlineViewDataSource.h"
#include "app/SaveChangesDataSource.h"
#include "editor/QSTextView.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"
#include "model/TextStorageDelegate.h"
#include "platform/TextEncoding.h"

#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>

namespace {

QSFilePool *pool()
{
    return QSFilePool::sharedFilePool();
}

std::shared_ptr<QSFile> held(const QString &path)
{
    return pool()->fileObjectForPath(QUrl::fromLocalFile(path));
}

// The window-modal question or message that the window shows now, if any.
template <typename Dialog> Dialog *shownDialog(QWidget *window)
{
    for (Dialog *dialog : window->findChildren<Dialog *>()) {
        if (dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

void clickButton(QWidget *dialog, const QString &text)
{
    for (QAbstractButton *button : dialog->findChildren<QAbstractButton *>()) {
        if (button->text() == text) {
            button->click();
            return;
        }
    }
    QFAIL(qPrintable("no button " + text));
}

// Puts the caret at the start of the first occurrence of the text.
void placeCaretAt(QSTextView *view, const QString &text)
{
    QTextCursor cursor = view->document()->find(text);
    cursor.setPosition(cursor.selectionStart());
    view->setTextCursor(cursor);
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
    void savedUntitledDocumentTakesTheFilesName();
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
        const QString name = QStringLiteral("file%1.tex").arg(sample.key());
        MyDocument *document =
            _fixture->open(_fixture->folder.write(name, *TextEncoding::encode(text, sample.key())));
        QVERIFY2(document, qPrintable(name));
        QCOMPARE(document->textView()->toPlainText(), text);
        QCOMPARE(document->outlineViewDataSource()
                     ->index(0, 0, document->outlineViewDataSource()->index(0, 0))
                     .data(),
                 QVariant(sample.value()));
    }
    UserDefaults::standardUserDefaults().setObject(4, QSFileEncoding);
    const QString latin1 = _fixture->folder.write("latin1.tex", "Gr\xFC\xDF"
                                                                "e");
    const qsizetype windows = _fixture->documents.documents().size();
    QVERIFY(!_fixture->open(latin1));
    QCOMPARE(_fixture->documents.documents().size(), windows);
    MyDocument probe;
    QString error;
    QVERIFY(!probe.readFromURL(QUrl::fromLocalFile(latin1), &error));
    QVERIFY(error.contains("This might have something to do with the file-encoding"));
    QVERIFY(error.contains("Try changing the file encoding settings in preferences"));
}

void TestDocumentFiles::saveAsRekeysAndSavingOverAHeldFileShares()
{
    MyDocument *untitled = _fixture->open();
    AppFixture::type(untitled->textView(), "x");
    AppFixture::settle();
    QVERIFY(untitled->isDocumentEdited());
    const QString path = _fixture->folder.path("paper.tex");
    QVERIFY(untitled->saveDocumentToURL(QUrl::fromLocalFile(path)));
    QCOMPARE(untitled->curPath(), path);
    QCOMPARE(held(path), untitled->fileOpened());
    QVERIFY(!held("Untitled"));
    QVERIFY(!untitled->isDocumentEdited());
    QVERIFY(untitled->window()->windowTitle().startsWith("paper.tex"));

    // Later edits go to the new path.
    untitled->textView()->moveCursor(QTextCursor::End);
    AppFixture::type(untitled->textView(), "% later\n");
    AppFixture::settle();
    QVERIFY(untitled->saveDocument());
    QVERIFY(TestFolder::read(path).endsWith("% later\n"));

    // A new document saved over that path: both windows share the one file.
    MyDocument *second = _fixture->open();
    QVERIFY(second->saveDocumentToURL(QUrl::fromLocalFile(path)));
    QCOMPARE(second->fileOpened(), untitled->fileOpened());
    QCOMPARE(pool()->openCountForFile(QUrl::fromLocalFile(path)), 2);
    QCOMPARE(TestFolder::read(path),
             UserDefaults::standardUserDefaults().stringForKey(QSUntitledFileTemplate).toUtf8());
    QCOMPARE(untitled->textView()->toPlainText(), second->textView()->toPlainText());

    // Save As of a document on disk: the window goes on with the new file and later
    // saves go there; the other window keeps the file both had.
    const QString draft = _fixture->folder.path("draft2.tex");
    const QByteArray before = TestFolder::read(path);
    QVERIFY(untitled->saveDocumentToURL(QUrl::fromLocalFile(draft)));
    QCOMPARE(untitled->fileOpened()->pathText(), draft);
    QCOMPARE(held(draft), untitled->fileOpened());
    QCOMPARE(held(path), second->fileOpened());
    QCOMPARE(pool()->openCountForFile(QUrl::fromLocalFile(path)), 1);
    QVERIFY(untitled->window()->windowTitle().startsWith("draft2.tex"));
    untitled->textView()->moveCursor(QTextCursor::End);
    AppFixture::type(untitled->textView(), "% in the draft\n");
    AppFixture::settle();
    QVERIFY(untitled->isDocumentEdited());
    QVERIFY(untitled->saveDocument());
    QVERIFY(!untitled->isDocumentEdited());
    QVERIFY(TestFolder::read(draft).endsWith("% in the draft\n"));
    QCOMPARE(TestFolder::read(path), before);
}

// Once saved, a new document is called by its file's name wherever its name shows,
// and the name "Untitled" is free for the next new document.
void TestDocumentFiles::savedUntitledDocumentTakesTheFilesName()
{
    MyDocument *document = _fixture->open();
    QCOMPARE(document->outlineViewDataSource()->index(0, 0).data().toString(),
             QStringLiteral("Untitled"));
    QVERIFY(document->saveDocumentToURL(_fixture->folder.url("doc.tex")));
    AppFixture::settle();
    QVERIFY(document->window()->windowTitle().startsWith("doc.tex[*]"));
    QCOMPARE(document->outlineViewDataSource()->index(0, 0).data().toString(),
             QStringLiteral("doc.tex"));

    QStringList asked;
    _fixture->documents.setSaveQuestion([&asked](Document *edited) {
        asked << edited->displayName();
        return DocumentController::SaveAnswer::Cancel;
    });
    AppFixture::type(document->textView(), "x");
    AppFixture::settle();
    QVERIFY(!document->window()->close());
    QCOMPARE(asked, QStringList{"doc.tex"});
    _fixture->documents.setSaveQuestion(
        [](Document *) { return DocumentController::SaveAnswer::DontSave; });

    MyDocument *next = _fixture->open();
    QCOMPARE(next->displayName(), QStringLiteral("Untitled"));
    QVERIFY(next->window()->windowTitle().startsWith("Untitled[*]"));
    QCOMPARE(next->textView()->toPlainText(),
             UserDefaults::standardUserDefaults().stringForKey(QSUntitledFileTemplate));
}

void TestDocumentFiles::titledSaveWritesIncludedFilesAndFailuresLoseNothing()
{
    _fixture->copyExample();
    MyDocument *document = _fixture->open(_fixture->folder.path("thesis.tex"));
    QTreeView *outline = document->outlineView();
    const QModelIndex methods = outline->model()->index(1, 0, outline->model()->index(0, 0));
    outline->selectionModel()->select(methods, QItemSelectionModel::ClearAndSelect);
    QSTextView *text = document->textView();
    placeCaretAt(text, "Twelve pools");
    AppFixture::type(text, "Ünïcode ");
    AppFixture::settle();
    QVERIFY(document->isDocumentEdited());
    QVERIFY(document->saveDocument());
    QVERIFY(TestFolder::read(_fixture->folder.path("chapters/methods.tex"))
                .contains("Ünïcode Twelve pools"));
    QVERIFY(!document->isDocumentEdited());

    // A character the encoding cannot hold: reported, nothing written, still edited.
    UserDefaults::standardUserDefaults().setObject(5, QSFileEncoding);
    const QByteArray before = TestFolder::read(_fixture->folder.path("chapters/methods.tex"));
    AppFixture::type(text, "€");
    AppFixture::settle();
    QVERIFY(!document->saveDocument());
    QMessageBox *message = shownDialog<QMessageBox>(document->window());
    QVERIFY(message);
    QVERIFY(message->text().contains("methods.tex"));
    QVERIFY(message->text().contains("ISO-Latin1"));
    message->close();
    QCOMPARE(TestFolder::read(_fixture->folder.path("chapters/methods.tex")), before);
    QVERIFY(document->isDocumentEdited());
    QVERIFY(text->toPlainText().contains("Ünïcode €Twelve"));

    // A folder that cannot be written: the same.
    UserDefaults::standardUserDefaults().setObject(4, QSFileEncoding);
    MyDocument *untitled = _fixture->open();
    AppFixture::type(untitled->textView(), "draft ");
    AppFixture::settle();
    QVERIFY(!untitled->saveDocumentToURL(
        QUrl::fromLocalFile(_fixture->folder.path("missing/draft.tex"))));
    QVERIFY(shownDialog<QMessageBox>(untitled->window())->text().contains("missing/draft.tex"));
    QVERIFY(untitled->isDocumentEdited());
    QVERIFY(untitled->fileOpened()->isUntitled());
    QVERIFY(untitled->textView()->toPlainText().startsWith("draft "));

    // Closing lets go of every file of the document.
    document->window()->close();
    QCoreApplication::processEvents();
    for (const char *name : {"thesis.tex", "chapters/methods.tex", "appendix.tex"})
        QVERIFY2(!held(_fixture->folder.path(name)), name);
}

// Typing in a file with CR LF line ends: the outline and the text stay one, and
// the file is saved with CR LF line ends again.
void TestDocumentFiles::crLfFileKeepsItsLineEnds()
{
    const QString path = _fixture->folder.write("dos.tex", "intro\r\n\\section{Old}\r\ntext\r\n");
    MyDocument *document = _fixture->open(path);
    QSTextView *text = document->textView();
    placeCaretAt(text, "Old");
    AppFixture::type(text, "New ");
    text->moveCursor(QTextCursor::End);
    AppFixture::type(text, "more\n");
    AppFixture::settle();
    {
        std::lock_guard lock(QSFilePool::documentModelLock());
        QCOMPARE(document->fileOpened()->treeRootNode()->nodeDataWithChildren(),
                 text->toPlainText());
    }
    const QAbstractItemModel *outline = document->outlineView()->model();
    QCOMPARE(outline->index(0, 0, outline->index(0, 0)).data().toString(),
             QStringLiteral("New Old"));
    QVERIFY(document->saveDocument());
    QCOMPARE(TestFolder::read(path), QByteArray("intro\r\n\\section{New Old}\r\ntext\r\nmore\r\n"));
}

// Changes that other programs make to an open file: read, asked about or reported,
// and nothing of the user's text is lost.
void TestDocumentFiles::changesOnDiskAreReadOrAsked()
{
    const QString path = _fixture->folder.write("notes.tex", "\\section{Old}\ntext\n");
    MyDocument *document = _fixture->open(path);
    QTest::qWait(20);
    _fixture->folder.write("notes.tex", "\\section{New}\ntext\n");
    QTRY_COMPARE(document->textView()->toPlainText(), QStringLiteral("\\section{New}\ntext\n"));
    const QAbstractItemModel *outline = document->outlineViewDataSource();
    QCOMPARE(outline->index(0, 0, outline->index(0, 0)).data().toString(), QStringLiteral("New"));

    // With unsaved edits nothing is overwritten without asking.
    document->textView()->moveCursor(QTextCursor::End);
    AppFixture::type(document->textView(), "mine\n");
    AppFixture::settle();
    _fixture->folder.write("notes.tex", "\\section{Theirs}\n");
    QMessageBox *sheet = nullptr;
    QTRY_VERIFY((sheet = shownDialog<QMessageBox>(document->window())));
    QVERIFY(sheet->text().contains("notes.tex"));
    clickButton(sheet, "Keep My Version");
    QVERIFY(document->textView()->toPlainText().endsWith("mine\n"));
    QVERIFY(!pool()->hasFilesInDocumentChanged(document->fileOpened()));

    _fixture->folder.write("notes.tex", "\\section{Theirs again}\n");
    QTRY_VERIFY((sheet = shownDialog<QMessageBox>(document->window())));
    clickButton(sheet, "Use the Version on Disk");
    QCOMPARE(document->textView()->toPlainText(), QStringLiteral("\\section{Theirs again}\n"));
    QCOMPARE(outline->index(0, 0, outline->index(0, 0)).data().toString(),
             QStringLiteral("Theirs again"));
    QTRY_VERIFY(!document->isDocumentEdited());

    // Replaced the way other programs save, by renaming a new file over it.
    const QString replacement = _fixture->folder.write("new.tex", "\\section{Renamed}\n");
    QVERIFY(::rename(QFile::encodeName(replacement), QFile::encodeName(path)) == 0);
    QTRY_COMPARE(document->textView()->toPlainText(), QStringLiteral("\\section{Renamed}\n"));

    // Deleted, with and without edits: the text stays, counts as not saved, the user
    // is told, and a save writes it again.
    for (const bool edited : {false, true}) {
        if (edited)
            AppFixture::type(document->textView(), "edited ");
        AppFixture::settle();
        const QString text = document->textView()->toPlainText();
        QVERIFY(QFile::remove(path));
        QTRY_VERIFY((sheet = shownDialog<QMessageBox>(document->window())));
        QVERIFY(sheet->text().contains("deleted"));
        QVERIFY(sheet->text().contains("notes.tex"));
        QVERIFY(!sheet->text().contains("Which version"));
        sheet->accept();
        QCOMPARE(document->textView()->toPlainText(), text);
        QTRY_VERIFY(document->isDocumentEdited());
        QVERIFY(document->saveDocument());
        QCOMPARE(TestFolder::read(path), text.toUtf8());
        QVERIFY(!document->isDocumentEdited());
    }

    // Deleted, then written anew by another program: the window sees it come back.
    QVERIFY(QFile::remove(path));
    QTRY_VERIFY((sheet = shownDialog<QMessageBox>(document->window())));
    sheet->accept();
    _fixture->folder.write("notes.tex", "\\section{Back}\n");
    QTRY_VERIFY((sheet = shownDialog<QMessageBox>(document->window())));
    QVERIFY(sheet->text().contains("Which version"));
    clickButton(sheet, "Use the Version on Disk");
    QCOMPARE(document->textView()->toPlainText(), QStringLiteral("\\section{Back}\n"));
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

void TestDocumentFiles::droppingAnEditedIncludeAsksWhatToSave()
{
    QFETCH(QString, button);
    QFETCH(bool, check);
    QFETCH(bool, saved);
    const QString chapter = _fixture->folder.write("chapter.tex", "\\section{C}\nold\n");
    MyDocument *document =
        _fixture->open(_fixture->folder.write("main.tex", "\\input{chapter}\nend\n"));
    pool()->setKeyDocument(document);

    // Edit the chapter, then remove the \input line from the root.
    QTreeView *outline = document->outlineView();
    outline->selectionModel()->select(outline->model()->index(0, 0, outline->model()->index(0, 0)),
                                      QItemSelectionModel::ClearAndSelect);
    placeCaretAt(document->textView(), "old");
    AppFixture::type(document->textView(), "new ");
    AppFixture::settle();
    outline->selectionModel()->select(outline->model()->index(0, 0),
                                      QItemSelectionModel::ClearAndSelect);
    QTextCursor cursor(document->textView()->document());
    cursor.setPosition(0);
    cursor.setPosition(16, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    AppFixture::settle();

    QDialog *sheet = nullptr;
    QTRY_VERIFY((sheet = shownDialog<QDialog>(document->window())));
    auto *table = sheet->findChild<QAbstractItemView *>("tableWithFiles");
    QCOMPARE(table->model()->rowCount(), 1);
    QCOMPARE(table->model()->index(0, SaveChangesDataSource::FilenameColumn).data().toString(),
             QStringLiteral("chapter.tex"));
    if (check) {
        const QModelIndex mark = table->model()->index(0, SaveChangesDataSource::CheckBoxColumn);
        table->model()->setData(mark, Qt::Checked, Qt::CheckStateRole);
        table->model()->setData(mark, Qt::Checked, Qt::CheckStateRole); // a second click unchecks
        table->model()->setData(mark, Qt::Checked, Qt::CheckStateRole);
    }
    clickButton(sheet, button);
    QCoreApplication::processEvents();
    QCOMPARE(TestFolder::read(chapter).contains("new old"), saved);
    QVERIFY(!held(chapter));
    QVERIFY(!sheet->isVisible());
}

QTEST_MAIN(TestDocumentFiles)
#include "tst_documentfiles.moc"
