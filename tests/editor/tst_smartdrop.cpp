#include "app/AppFixture.h"
#include "app/QSPreferenceWindowController.h"
#include "app/QSSmartDropPreferencesViewController.h"
#include "editor/DropTextView.h"
#include "editor/SmartDrop.h"
#include "model/TextStorageDelegate.h"
#include "model/TreeHelpers.h"

#include <QDialog>
#include <QImage>
#include <QMainWindow>
#include <QMimeData>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBlock>

namespace {

// Drags the files (or text) over the view to its first line's end and drops them;
// true when the drop was accepted.
bool drop(DropTextView *view, const QList<QUrl> &files, const QString &text = {})
{
    QMimeData data;
    if (!files.isEmpty())
        data.setUrls(files);
    if (!text.isEmpty())
        data.setText(text);
    QTextCursor lineEnd(view->document());
    lineEnd.movePosition(QTextCursor::EndOfBlock);
    const QPoint at = view->cursorRect(lineEnd).center() + QPoint(1, 0);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &dropped);
    return dropped.isAccepted();
}

QDialog *sheet(MyDocument *document)
{
    return document->window()->findChild<QDialog *>("SmartDropNoDropExist");
}

} // namespace

class TestSmartDrop : public QObject
{
    Q_OBJECT

private slots:
    void snippetsForPaths_data();
    void snippetsForPaths();
    void pathsFromTheRootFolder_data();
    void pathsFromTheRootFolder();
    void init();
    void cleanup() { _fixture.reset(); }
    void dropTypesTheSnippetIn();
    void figuresAndChaptersDropAsTeXFindsThem();
    void typeWithoutSnippetOpensTheSheet();
    void dragsWithoutFilesAndClicks();

private:
    std::unique_ptr<AppFixture> _fixture;
    MyDocument *_document = nullptr;
    DropTextView *_view = nullptr;
};

void TestSmartDrop::snippetsForPaths_data()
{
    tableRows("smartdrop/snippets.tsv");
}

// The paths of tests/data/smartdrop/snippets.tsv.
void TestSmartDrop::snippetsForPaths()
{
    QFETCH(QStringList, fields);
    SmartDrop *registry = SmartDrop::sharedSmartDrop();
    registry->setSmartDrops({{"pdf", "test"},
                             {"png", "\\includegraphics{:filepath:}"},
                             {"tex", "\\input{:filepath:} and :filepath:"}});
    QCOMPARE(SmartDrop::fileTypeOfFileWithPath(fields[0]).value_or("-"), fields[1]);
    QCOMPARE(registry->smartDropForFileWithPath(fields[0]).value_or("-"), fields[2]);
}

// Each row: the snippet, the dropped path, the root file's folder, the text inserted.
void TestSmartDrop::pathsFromTheRootFolder_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("below the root")
        << QStringList{"{:relativepath:}{:relativepathnoext:}", "/t/figures/a.b.png", "/t",
                       "{figures/a.b.png}{figures/a.b}"};
    QTest::newRow("beside the root")
        << QStringList{"{:relativepath:}", "/t/shared/x.pdf", "/t/thesis", "{../shared/x.pdf}"};
    QTest::newRow("untitled") << QStringList{":relativepath: :relativepathnoext:", "/t/x.tex", "",
                                             "/t/x.tex /t/x"};
    QTest::newRow("every relative one, the first absolute one")
        << QStringList{":relativepath: :filepath: :relativepath: :filepath:", "/t/x.tex", "/t",
                       "x.tex /t/x.tex x.tex :filepath:"};
    QTest::newRow("a dot in a folder or a leading dot")
        << QStringList{":relativepathnoext:|:relativepath:", "/t/v1.2/.latexmkrc", "/t",
                       "v1.2/.latexmkrc|v1.2/.latexmkrc"};
    QTest::newRow("a path is not read for placeholders") << QStringList{
        ":relativepath: :filepath:", "/t/:filepath:.png", "/t", ":filepath:.png /t/:filepath:.png"};
}

void TestSmartDrop::pathsFromTheRootFolder()
{
    QFETCH(QStringList, fields);
    SmartDrop *registry = SmartDrop::sharedSmartDrop();
    registry->setSmartDrops({{SmartDrop::fileTypeOfFileWithPath(fields[1]).value(), fields[0]}});
    QCOMPARE(registry->smartDropForFileWithPath(fields[1], fields[2]), fields[3]);
}

void TestSmartDrop::init()
{
    _fixture = std::make_unique<AppFixture>();
    SmartDrop::sharedSmartDrop()->setSmartDrops(
        {{"pdf", "test"}, {"sec", "\n\\section{Dropped :filepath:}\n"}});
    _fixture->folder.write("main.tex", "Opening line.\n\\section{First}\nText.\n");
    _document = _fixture->open(_fixture->folder.path("main.tex"));
    _view = qobject_cast<DropTextView *>(_document->textView());
    QVERIFY(_view);
}

// The snippet goes in at the drop position as typing would: the outline follows and
// undo takes it out again.
void TestSmartDrop::dropTypesTheSnippetIn()
{
    const std::shared_ptr<QSFile> file = _document->fileOpened();
    const QString before = _view->toPlainText();
    QVERIFY(drop(_view, {QUrl::fromLocalFile("/figures/plot.pdf"), QUrl::fromLocalFile("/x.sec")}));
    QCOMPARE(_view->toPlainText(), "Opening line.test\n\\section{First}\nText.\n");
    QCOMPARE(_view->lastDraggedFilePath(), "/figures/plot.pdf");

    QVERIFY(drop(_view, {QUrl::fromLocalFile("/parts/b.sec")}));
    AppFixture::settle();
    {
        std::lock_guard lock(QSFilePool::documentModelLock());
        QCOMPARE(file->treeRootNode()->nodeDataWithChildren(), _view->toPlainText());
        QCOMPARE(shape(file->treeRootNode()),
                 "Opening line.test,Dropped /parts/b.sec(_),First(Text.)");
    }
    QVERIFY(_document->isDocumentEdited());
    _document->undo();
    _document->undo();
    AppFixture::settle();
    QCOMPARE(_view->toPlainText(), before);
}

// A new user drops a real figure and a real chapter into the example thesis: each is
// written as TeX finds it from the root file's folder, also while the window shows a
// file of a sub-folder; an untitled document, which has no folder, gets the full path.
// A snippet edited in the preferences is stored and used at once, and one the user
// stored keeps ":filepath:" as the full path.
void TestSmartDrop::figuresAndChaptersDropAsTeXFindsThem()
{
    SmartDrop *registry = SmartDrop::sharedSmartDrop();
    registry->readFileDropsFromUserDefaults();
    MyDocument *thesis = _fixture->openExample();
    auto *view = qobject_cast<DropTextView *>(thesis->textView());
    const TestFolder &folder = _fixture->folder;
    const QString figure = folder.path("figures/plot.png");
    QDir().mkpath(folder.path("figures"));
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QVERIFY(image.save(figure));
    const QString chapter = folder.write("chapters/discussion.tex", "\\chapter{Discussion}\n");
    const auto firstLineAfterDropping = [&](QSTextView *into, const QString &file) {
        const QString before = into->document()->firstBlock().text();
        return drop(qobject_cast<DropTextView *>(into), {QUrl::fromLocalFile(file)})
                   ? into->document()->firstBlock().text().mid(before.size())
                   : QString("refused");
    };

    const QString figureSnippet = "\\includegraphics[width=\\linewidth]{figures/plot.png}";
    QCOMPARE(firstLineAfterDropping(view, figure), figureSnippet);
    QCOMPARE(firstLineAfterDropping(view, chapter), "\\input{chapters/discussion}");
    thesis->selectRange(QSRange{0, 0}, AppFixture::fileNamed(thesis, "methods.tex"));
    QCOMPARE(thesis->textStorageDelegate()->selectedFile()->name(), "methods.tex");
    QCOMPARE(firstLineAfterDropping(view, figure), figureSnippet);
    QCOMPARE(firstLineAfterDropping(_fixture->open()->textView(), figure),
             "\\includegraphics[width=\\linewidth]{" + figure + "}");

    _fixture->app.showPreferencePanel();
    QSPreferenceWindowController *preferences = _fixture->app.preferenceController();
    preferences->displayPreferenceAtIndex(QSSmartDropPreferencesViewController::paneIndex);
    auto *table = preferences->window()->findChild<QTableWidget *>("o_smartDropTable");
    const QList<QTableWidgetItem *> png = table->findItems("png", Qt::MatchExactly);
    QCOMPARE(png.size(), 1);
    table->item(png.first()->row(), 1)->setText("\\fig{:relativepathnoext:}");
    QCOMPARE(firstLineAfterDropping(view, figure), "\\fig{figures/plot}");
    QCOMPARE(UserDefaults::standardUserDefaults()
                 .dictionaryForKey(QSSmartDropDefinitions)
                 .value("png")
                 .toString(),
             "\\fig{:relativepathnoext:}");

    UserDefaults::standardUserDefaults().setObject(QVariantMap{{"png", "\\fig{:filepath:}"}},
                                                   QSSmartDropDefinitions);
    registry->readFileDropsFromUserDefaults();
    QCOMPARE(registry->smartDrops().keys(), QStringList{"png"});
    QCOMPARE(firstLineAfterDropping(view, figure), "\\fig{" + figure + "}");
}

// A file of a type without a snippet: the sheet asks, and each of its buttons does
// its part; "create" opens the preferences on the new SmartDrop, which the next drop
// of that type inserts.
void TestSmartDrop::typeWithoutSnippetOpensTheSheet()
{
    const QList<QUrl> figure{QUrl::fromLocalFile(_fixture->folder.path("Figure.PDF"))};
    const QString start = "Opening line." + figure.first().toLocalFile();
    const QString before = _view->toPlainText();
    for (const char *button :
         {"doNothingButton", "insertFilePathButton", "createNewSmartDropButton"}) {
        QVERIFY(drop(_view, figure));
        QTRY_VERIFY(sheet(_document) && sheet(_document)->isVisible());
        sheet(_document)->findChild<QPushButton *>(button)->click();
        QTRY_VERIFY(!sheet(_document));
        QCOMPARE(_view->toPlainText().startsWith(start + "\n"),
                 QByteArray(button) != "doNothingButton");
    }
    QCOMPARE(_view->toPlainText(), start + before.mid(13));
    QSPreferenceWindowController *preferences = _fixture->app.preferenceController();
    QVERIFY(preferences && preferences->window()->isVisible());
    QCOMPARE(preferences->indexOfLastShownView(), QSSmartDropPreferencesViewController::paneIndex);
    auto *table = preferences->pane(QSSmartDropPreferencesViewController::paneIndex)
                      ->findChild<QTableWidget *>("o_smartDropTable");
    QCOMPARE(table->item(table->currentRow(), 0)->text(), "PDF");
    QCOMPARE(table->item(table->currentRow(), 1)->text(), "tmpSmartDrop");
    QVERIFY(drop(_view, figure));
    QVERIFY(_view->toPlainText().startsWith(start + "tmpSmartDrop\n"));
}

void TestSmartDrop::dragsWithoutFilesAndClicks()
{
    const QString before = _view->toPlainText();
    QTest::ignoreMessage(QtInfoMsg, "error reading from dragging pasteboard");
    QVERIFY(!drop(_view, {}, QStringLiteral("plain text")));
    QCOMPARE(_view->toPlainText(), before);

    // Ctrl-click asks for the PDF page; with Alt held it does not.
    QSignalSpy sync(_view, &DropTextView::pdfSyncRequested);
    QTest::mouseClick(_view->viewport(), Qt::LeftButton, Qt::ControlModifier, QPoint(5, 5));
    QTest::mouseClick(_view->viewport(), Qt::LeftButton, Qt::ControlModifier | Qt::AltModifier,
                      QPoint(5, 5));
    QTest::mouseClick(_view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(sync.size(), 1);
}

QUILLSET_TEST_MAIN(TestSmartDrop)
#include "tst_smartdrop.moc"
