#include "app/AppFixture.h"
#include "app/OutlineViewDataSource.h"
#include "find/FindAndReplaceOutlineViewDataSource.h"
#include "find/FindAndReplaceViewController.h"
#include "model/QSSectionNode.h"
#include "model/TextStorageDelegate.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSplitter>
#include <QToolButton>
#include <QTreeView>

class TestFindStrip : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { _fixture.reset(); }
    void slidesInAndOutPushingTheText();
    void searchAsYouTypeAndReplace();
    void searchInDocumentFillsTheOutline();
    void optionsHoldForFindAndTheList();
    void replaceAllAsksThenOneUndoTakesItBack();

private:
    std::unique_ptr<AppFixture> _fixture;
    MyDocument *_document = nullptr;
    FindAndReplaceViewController *_strip = nullptr;
};

void TestFindStrip::init()
{
    _fixture = std::make_unique<AppFixture>();
    _document = _fixture->openExample();
    QVERIFY(QTest::qWaitForWindowActive(_document->window()));
    _strip = _document->findAndReplaceViewController();
}

void TestFindStrip::slidesInAndOutPushingTheText()
{
    QWidget *area = _strip->view()->parentWidget();
    QWidget *textAndPdf = _document->window()->findChild<QSplitter *>("splitViewBetweenTextAndPdf");
    QVERIFY(!_strip->isShown());
    QCOMPARE(area->height(), 0);
    const int top = textAndPdf->y();

    MainMenuController::sharedMainMenuController()->showFindAndReplacePanelItem()->trigger();
    const int height = _strip->view()->sizeHint().height();
    QTRY_COMPARE(area->height(), height);
    QTRY_COMPARE(textAndPdf->y(), top + height);
    QVERIFY(_strip->findTextField()->hasFocus());
    QCOMPARE(_strip->view()->geometry(), QRect(0, 0, area->width(), height));

    // Shown already: only the focus moves back to the find field.
    _document->textView()->setFocus();
    _strip->showFindAndReplace();
    QVERIFY(_strip->findTextField()->hasFocus());
    QCOMPARE(area->height(), height);

    QTest::keyClick(_strip->findTextField(), Qt::Key_Escape);
    QTRY_COMPARE(area->height(), 0);
    QTRY_COMPARE(textAndPdf->y(), top);
    QVERIFY(!_strip->isShown());
    QVERIFY(_document->textView()->hasFocus());
}

void TestFindStrip::searchAsYouTypeAndReplace()
{
    _strip->showFindAndReplace();
    QTRY_VERIFY(_strip->isShown());
    QSTextView *text = _document->textView();
    const QString before = text->toPlainText();
    QTest::keyClicks(_strip->findTextField(), "POOL");
    const int first = int(before.indexOf("pool", 0, Qt::CaseInsensitive));
    QCOMPARE(text->textCursor().selectionStart(), first);
    QCOMPARE(text->textCursor().selectedText().toLower(), "pool");

    // Replace puts the text in and goes on to the next occurrence.
    _strip->replaceTextField()->setText("basin");
    QTest::keyClick(_strip->replaceTextField(), Qt::Key_Return);
    const int second = int(before.indexOf("pool", first + 4, Qt::CaseInsensitive));
    QCOMPARE(text->toPlainText().mid(first, 5), "basin");
    QCOMPARE(text->textCursor().selectionStart(), second + 1);
    AppFixture::settle();
    QVERIFY(_document->isDocumentEdited());
    // With nothing selected nothing is replaced; a selection that is no match is.
    text->moveCursor(QTextCursor::Start);
    QTest::keyClick(_strip->replaceTextField(), Qt::Key_Return);
    QVERIFY(text->toPlainText().startsWith("\\documentclass"));
    text->moveCursor(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    QTest::keyClick(_strip->replaceTextField(), Qt::Key_Return);
    QVERIFY(text->toPlainText().startsWith("basindocumentclass"));

    // While a search is being performed, typing runs nothing.
    _strip->setIsPerformingSearch(true);
    text->moveCursor(QTextCursor::Start);
    QTest::keyClicks(_strip->findTextField(), "s");
    QVERIFY(!text->textCursor().hasSelection());
}

void TestFindStrip::searchInDocumentFillsTheOutline()
{
    _strip->showFindAndReplace();
    _strip->findTextField()->setText("refractometer");
    _strip->searchFileForString();
    QTreeView *outline = _document->outlineView();
    QAbstractItemModelTester tester(_strip->dataSourceForOutlineView());
    QCOMPARE(outline->model(), _strip->dataSourceForOutlineView());
    const QModelIndex file = outline->model()->index(0, 0);
    QCOMPARE(file.data().toString(), "chapters/methods.tex (1)");
    const QModelIndex match = outline->model()->index(0, 0, file);
    QCOMPARE(match.data().toString(), "7: Temperature was logged every minute; salinity was "
                                      "measured by refractometer, as in~\\cite{morris1983}.");

    outline->selectionModel()->select(match, QItemSelectionModel::ClearAndSelect);
    QCOMPARE(_document->textStorageDelegate()->selectedFile()->name(), "methods.tex");
    QCOMPARE(_document->textView()->textCursor().selectedText(), "refractometer");

    _strip->hideFindAndReplace();
    QCOMPARE(outline->model(), _document->outlineViewDataSource());
    QCOMPARE(_strip->dataSourceForOutlineView()->rowCount(), 0);
}

// The matches the outline lists for the find text, as "file: line, line, ...", listed
// again when the options change.
static QStringList listed(FindAndReplaceViewController *strip)
{
    QStringList files;
    const QAbstractItemModel *results = strip->dataSourceForOutlineView();
    for (int row = 0; row < results->rowCount(); ++row) {
        const QModelIndex file = results->index(row, 0);
        QStringList lines;
        for (int match = 0; match < results->rowCount(file); ++match)
            lines << results->index(match, 0, file)
                         .data(FindAndReplaceOutlineViewDataSource::LineNumberRole)
                         .toString();
        files << file.data().toString().section(u' ', 0, 0) + u':' + lines.join(u',');
    }
    return files;
}

// The options hold for Find Next and for the outline's list, which comes in document
// order, the included files' matches in their places; the next window starts with them.
void TestFindStrip::optionsHoldForFindAndTheList()
{
    _strip->showFindAndReplace();
    QTRY_VERIFY(_strip->isShown());
    _strip->findTextField()->setText("pool");
    _strip->searchFileForString();
    QCOMPARE(listed(_strip), QStringList({"thesis.tex:7,20", "chapters/introduction.tex:2,5,8,11",
                                          "chapters/methods.tex:4,13", "chapters/results.tex:4",
                                          "appendix.tex:3,5"}));
    QCOMPARE(_strip->resultLabel()->text(), "11 matches in 5 files");
    _strip->wholeWordsOption()->setChecked(true);
    QCOMPARE(listed(_strip), QStringList({"chapters/introduction.tex:5,8",
                                          "chapters/methods.tex:13", "appendix.tex:3,5"}));

    // Find Next in the root file passes over the title's "Pools".
    _strip->wholeWordsOption()->setChecked(false);
    _strip->matchCaseOption()->setChecked(true);
    QSTextView *text = _document->textView();
    text->moveCursor(QTextCursor::Start);
    _strip->findTextField()->setText("pools");
    QCOMPARE(text->textCursor().selectionStart(), text->toPlainText().indexOf("The pools") + 4);
    _strip->searchFileForString();
    QCOMPARE(listed(_strip), QStringList({"thesis.tex:20", "chapters/introduction.tex:2,11",
                                          "chapters/methods.tex:4", "chapters/results.tex:4"}));

    // An expression that does not compile says so, and finds and replaces nothing.
    _strip->regularExpressionOption()->setChecked(true);
    _strip->findTextField()->setText("(pool");
    _strip->searchFileForString();
    QVERIFY(_strip->resultLabel()->text().startsWith("Invalid regular expression: "));
    QVERIFY(listed(_strip).isEmpty());
    _strip->replaceAll();
    QVERIFY(!AppFixture::shownDialog<QMessageBox>(_document->window()));
    _strip->findTextField()->setText("^Pool");
    _strip->searchFileForString();
    QCOMPARE(listed(_strip), QStringList({"appendix.tex:5"}));
    QVERIFY(!_strip->resultLabel()->text().contains("Invalid"));

    // Another window's strip starts with the options last chosen.
    FindAndReplaceViewController *other = _fixture->open()->findAndReplaceViewController();
    QVERIFY(other->matchCaseOption()->isChecked() && other->regularExpressionOption()->isChecked());
    QVERIFY(!other->wholeWordsOption()->isChecked());
}

// Replace All asks first, and Cancel changes nothing. Told to, it replaces in all five
// files of the thesis, putting in what the expression's group captured; one Ctrl+Z
// takes it back in every file, the outline with it, and one Redo puts it in again.
void TestFindStrip::replaceAllAsksThenOneUndoTakesItBack()
{
    const QRegularExpression pool("[Pp]ool(s?)");
    QMap<std::shared_ptr<QSFile>, QString> original;
    for (const std::shared_ptr<QSFile> &file : QSFilePool::fileList(_document->fileOpened().get()))
        original.insert(file, file->content());
    QCOMPARE(original.size(), 5);
    const auto filesHold = [&](bool replaced) {
        AppFixture::settle();
        for (auto it = original.cbegin(); it != original.cend(); ++it) {
            QString expected = it.value();
            if (replaced)
                expected.replace(pool, "basin\\1");
            QCOMPARE(it.key()->content(), expected);
            std::lock_guard lock(QSFilePool::documentModelLock());
            QCOMPARE(it.key()->treeRootNode()->nodeDataWithChildren(), expected);
        }
    };

    _strip->showFindAndReplace();
    _strip->setIsPerformingSearch(true);
    _strip->regularExpressionOption()->setChecked(true);
    _strip->findTextField()->setText(pool.pattern());
    _strip->replaceTextField()->setText("basin\\1");
    QWidget *window = _document->window();
    _strip->replaceAll();
    QMessageBox *asking = AppFixture::shownDialog<QMessageBox>(window);
    QVERIFY(asking);
    QCOMPARE(asking->objectName(), "replaceAllConfirmation");
    QCOMPARE(asking->text(), "Replace 11 occurrences in 5 files?");
    AppFixture::clickButton(asking, "Cancel");
    filesHold(false);
    QVERIFY(!_document->isDocumentEdited());

    _strip->replaceAll();
    AppFixture::clickButton(AppFixture::shownDialog<QMessageBox>(window), "Replace");
    QCOMPARE(_strip->resultLabel()->text(), "11 replaced");
    filesHold(true);
    QCOMPARE(_document->textStorageDelegate()->selectedFile(), _document->fileOpened());
    QVERIFY(_document->isDocumentEdited());

    // The offscreen platform has no window manager to give the window back its
    // activation when the question closes.
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    _document->textView()->setFocus();
    QTest::keyClick(_document->textView(), Qt::Key_Z, Qt::ControlModifier);
    filesHold(false);
    QVERIFY(!_document->isDocumentEdited());
    QCOMPARE(_document->textStorageDelegate()->selectedFile(), _document->fileOpened());
    _document->redo();
    filesHold(true);

    // An edit made since is undone first, the Replace All after it.
    AppFixture::typeBefore(_document->textView(), "\\maketitle", "%");
    _document->undo();
    filesHold(true);
    _document->undo();
    filesHold(false);
}

QUILLSET_TEST_MAIN(TestFindStrip)
#include "tst_findstrip.moc"
