// Edits through a real document window: each command acts on exactly the text the
// user points at, and undo takes back what the user sees as one edit.
#include "AppFixture.h"
#include "find/FindAndReplaceViewController.h"
#include "model/QSSectionNode.h"
#include "model/QSUndoManager.h"
#include "model/TextStorageDelegate.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTextBlock>
#include <QTimer>
#include <QTreeView>

namespace {

struct Marked
{
    QString text; // with the markers taken out
    int anchor = 0;
    int position = 0;
};

// Text with "|" for the caret, or "<<" for the anchor and ">>" for the caret end of
// a selection; offsets count in the text as the view holds it, with line feeds.
Marked unmark(QString text)
{
    text.replace("\r\n", "\n").replace(u'\r', u'\n');
    Marked marked;
    const qsizetype caret = text.indexOf(u'|');
    if (caret >= 0) {
        marked.anchor = marked.position = int(caret);
        marked.text = text.remove(caret, 1);
        return marked;
    }
    const qsizetype anchor = text.indexOf("<<");
    const qsizetype position = text.indexOf(">>");
    marked.anchor = int(anchor < position ? anchor : anchor - 2);
    marked.position = int(position < anchor ? position : position - 2);
    marked.text = text.remove("<<").remove(">>");
    return marked;
}

QByteArray bytesOf(QString text)
{
    return text.remove(u'|').remove("<<").remove(">>").toUtf8();
}

Marked shown(QSTextView *view)
{
    const QTextCursor cursor = view->textCursor();
    return Marked{view->toPlainText(), cursor.anchor(), cursor.position()};
}

} // namespace

class TestEditing : public QObject
{
    Q_OBJECT

private slots:
    void init() { _fixture = std::make_unique<AppFixture>(); }
    void cleanup() { _fixture.reset(); }
    void commentToggleActsOnTheSelectedLines_data();
    void commentToggleActsOnTheSelectedLines();
    void headingCommentedAndBackComesBackOpen();
    void undoTakesBackTypingByRuns();
    void undoAndSaveMarkStayExact();
    void choosingARowTakesTheKeyboardToTheText();

private:
    std::unique_ptr<AppFixture> _fixture;
};

void TestEditing::commentToggleActsOnTheSelectedLines_data()
{
    goldenRows("editor/comment-toggle.txt");
}

// The cases of tests/data/editor/comment-toggle.txt, each in a window of its own on
// a file on disk, through the menu item that Ctrl+/ fires.
void TestEditing::commentToggleActsOnTheSelectedLines()
{
    QFETCH(GoldenCase, golden);
    const QString path = _fixture->folder.write("lines.tex", bytesOf(golden.part("text")));
    MyDocument *document = _fixture->open(path);
    QSTextView *view = document->textView();
    const Marked before = unmark(golden.part("text"));
    QCOMPARE(view->toPlainText(), before.text);
    QTextCursor cursor(view->document());
    cursor.setPosition(before.anchor);
    cursor.setPosition(before.position, QTextCursor::KeepAnchor);
    view->setTextCursor(cursor);
    const QSUndoManager &history = document->fileOpened()->undoManager();
    QAction *toggle = MainMenuController::sharedMainMenuController()->toggleCommentItem();

    toggle->trigger();
    AppFixture::settle();
    const Marked after = unmark(golden.part("gives"));
    const Marked seen = shown(view);
    QCOMPARE(seen.text, after.text);
    QCOMPARE(QList<int>({seen.anchor, seen.position}), QList<int>({after.anchor, after.position}));
    QCOMPARE(history.amountOfUndosInUndoStack(), 1);
    QVERIFY(document->saveDocument());
    QCOMPARE(TestFolder::read(path), bytesOf(golden.part("gives")));

    // The same lines again give back the text; each toggle is one step of undo.
    toggle->trigger();
    AppFixture::settle();
    const QString again =
        golden.part("again").isEmpty() ? golden.part("text") : golden.part("again");
    QCOMPARE(shown(view).text, unmark(again).text);
    QCOMPARE(history.amountOfUndosInUndoStack(), 2);
    QVERIFY(document->saveDocument());
    QCOMPARE(TestFolder::read(path), bytesOf(again));
    document->undo();
    AppFixture::settle();
    QCOMPARE(view->toPlainText(), after.text);
    document->undo();
    AppFixture::settle();
    QCOMPARE(view->toPlainText(), before.text);
    QCOMPARE(document->fileOpened()->treeRootNode()->nodeDataWithChildren(), before.text);
}

// Lines 3 and 4 of methods.tex commented and uncommented: the heading is back in
// the outline, open as before.
void TestEditing::headingCommentedAndBackComesBackOpen()
{
    MyDocument *document = _fixture->openExample();
    QSTextView *view = document->textView();
    document->selectRange(QSRange{0, 0}, AppFixture::fileNamed(document, "methods.tex"));
    const QTextBlock third = view->document()->findBlockByNumber(2);
    document->selectRange(QSRange{quint32(third.position()),
                                  quint32(third.next().next().position() - third.position())},
                          AppFixture::fileNamed(document, "methods.tex"));
    QAction *toggle = MainMenuController::sharedMainMenuController()->toggleCommentItem();
    toggle->trigger();
    AppFixture::settle();
    QTreeView *outline = document->outlineView();
    const auto row = [outline](const QString &name) {
        const QAbstractItemModel *model = outline->model();
        return model->match(model->index(0, 0), Qt::DisplayRole, name, 1, Qt::MatchRecursive)
            .value(0);
    };
    QVERIFY(!row("Sampling").isValid());
    toggle->trigger();
    AppFixture::settle();
    QVERIFY(row("Sampling").isValid());
    QVERIFY(outline->isExpanded(row("Sampling")) && outline->isExpanded(row("Instruments")));
    QVERIFY(outline->visualRect(row("Calibration")).isValid());

    // A heading with headings under it, put in at once, comes open too.
    view->moveCursor(QTextCursor::End);
    view->textCursor().insertText("\\section{Added}\n\\subsection{Under}\n\\paragraph{x}\n");
    AppFixture::settle();
    QVERIFY(row("Added").isValid() && outline->isExpanded(row("Added")));
}

// Each line: what is done in a new document, then the texts that undo steps back
// through, one undo each, ending with the empty text it began with.
void TestEditing::undoTakesBackTypingByRuns()
{
    MyDocument *document = _fixture->open();
    QSTextView *view = document->textView();
    MainMenuController *menu = MainMenuController::sharedMainMenuController();
    const auto undoneTexts = [&] {
        QStringList texts;
        while (document->fileOpened()->undoManager().canUndo()) {
            document->undo();
            AppFixture::settle();
            texts << view->toPlainText();
        }
        return texts;
    };
    document->window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(document->window()));
    view->setFocus();
    view->selectAll();
    QTest::keyClick(view, Qt::Key_Delete);
    AppFixture::settle();
    document->fileOpened()->undoManager().removeAllActions();

    // A run of typing is one step, brackets closed as typed and stepped over included.
    AppFixture::type(view, "\\end{table}");
    QCOMPARE(view->toPlainText(), "\\end{table}");
    QCOMPARE(undoneTexts(), QStringList({""}));

    // A word typed after white space starts a step; Return ends the one it ends.
    AppFixture::type(view, "Twelve pools\nwere seen");
    QCOMPARE(undoneTexts(), QStringList({"Twelve pools\nwere ", "Twelve pools\n", "Twelve ", ""}));

    // Backspaces in a row are one step; a move of the caret, a click and a pause end
    // a run.
    AppFixture::type(view, "abcd");
    QTest::keyClick(view, Qt::Key_Backspace);
    QTest::keyClick(view, Qt::Key_Backspace);
    QTest::keyClick(view, Qt::Key_Left);
    AppFixture::type(view, "X");
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier,
                      view->cursorRect().center());
    AppFixture::type(view, "Y");
    QTest::qWait(1100);
    AppFixture::type(view, "Z");
    QCOMPARE(view->toPlainText(), "aXYZb");
    QCOMPARE(undoneTexts(), QStringList({"aXYb", "aXb", "ab", "abcd", ""}));

    // A paste, an accepted completion, an indent and a comment are each a step of
    // their own, apart from the typing around them.
    QApplication::clipboard()->setText("pasted");
    AppFixture::type(view, "one ");
    menu->pasteItem()->trigger();
    AppFixture::type(view, " two\n\\begin{ite");
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(view->toPlainText(), "one pasted two\n\\begin{itemize}\n\n\\end{itemize}");
    view->selectAll();
    QTest::keyClick(view, Qt::Key_Tab);
    menu->toggleCommentItem()->trigger();
    QCOMPARE(undoneTexts(), QStringList({"\tone pasted two\n\t\\begin{itemize}\n\n\t\\end{itemize}",
                                         "one pasted two\n\\begin{itemize}\n\n\\end{itemize}",
                                         "one pasted two\n\\begin{ite}", "one pasted two\n",
                                         "one pasted ", "one pasted", "one ", ""}));
}

// Typing, saving and undoing through the window: the edited mark is on exactly
// while the text differs from the one saved, and redo brings back what undo took.
void TestEditing::undoAndSaveMarkStayExact()
{
    MyDocument *document = _fixture->openExample();
    QSTextView *view = document->textView();
    const QString saved = view->toPlainText();
    AppFixture::typeBefore(view, "\\section", "Some words typed ");
    QVERIFY(document->isDocumentEdited());
    QVERIFY(document->saveDocument());
    QVERIFY(!document->isDocumentEdited());
    const QString typed = view->toPlainText();

    document->undo();
    AppFixture::settle();
    QVERIFY(document->isDocumentEdited());
    document->redo();
    AppFixture::settle();
    QCOMPARE(view->toPlainText(), typed);
    QVERIFY(!document->isDocumentEdited());

    // Undone below the save point, a new edit is unsaved for good: undoing it again
    // does not reach the saved text.
    document->undo();
    document->undo();
    AppFixture::settle();
    AppFixture::type(view, "x");
    AppFixture::settle();
    QVERIFY(document->isDocumentEdited());
    document->undo();
    AppFixture::settle();
    QVERIFY(document->isDocumentEdited());
    QCOMPARE(document->fileOpened()->treeRootNode()->nodeDataWithChildren(), view->toPlainText());
    QVERIFY(view->toPlainText() != typed && saved != typed);

    // The text's context menu undoes in the file's history too.
    AppFixture::type(view, " more");
    QAction *undo = nullptr;
    QTimer::singleShot(0, [&] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            for (QAction *item : menu->actions())
                undo = item->text()
                               == MainMenuController::sharedMainMenuController()->undoItem()->text()
                           ? item
                           : undo;
            menu->close();
        }
    });
    const QPoint at = view->cursorRect().center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QApplication::sendEvent(view->viewport(), &click);
    QVERIFY(undo && undo->isEnabled());
    const QString before = view->toPlainText();
    const int end = view->textCursor().position();
    undo->trigger();
    AppFixture::settle();
    QCOMPARE(view->toPlainText(), before.left(end - 4) + before.mid(end));
}

// A click on a row of the error tree, the outline or the find results shows its
// place and leaves the keyboard in the text there; the arrow keys walk the rows
// and leave it in the list.
void TestEditing::choosingARowTakesTheKeyboardToTheText()
{
    _fixture->folder.write("broken.tex", "\\documentclass{article}\n\\begin{document}\n"
                                         "\\section{One}\nFirst \\undefinedcommand here.\n"
                                         "\\section{Two}\nSecond \\alsoundefined there.\n"
                                         "\\end{document}\n");
    MyDocument *document = _fixture->open(_fixture->folder.path("broken.tex"));
    QSTextView *view = document->textView();
    QWidget *window = document->window();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QVERIFY(AppFixture::compile(document));
    const auto click = [](QTreeView *tree, const QModelIndex &row) {
        tree->scrollTo(row);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                          tree->visualRect(row).center());
    };
    const auto typeHere = [&](const QString &text) {
        AppFixture::type(QApplication::focusWidget(), text);
        AppFixture::settle();
        return view->textCursor().block().text();
    };

    QTreeView *errors = document->consoleViewController()->errorWarningOutline();
    QTRY_VERIFY(errors->isVisible());
    const QModelIndex first = errors->model()->index(0, 0, errors->model()->index(0, 0));
    click(errors, first);
    QCOMPARE(QApplication::focusWidget(), view);
    QCOMPARE(typeHere("X"), "XFirst \\undefinedcommand here.");
    errors->setFocus();
    QTest::keyClick(errors, Qt::Key_Down);
    QCOMPARE(QApplication::focusWidget(), errors);
    // The same row again, after the caret went elsewhere, goes back to its line.
    view->moveCursor(QTextCursor::End);
    click(errors, first);
    QCOMPARE(view->textCursor().blockNumber(), 3);
    QCOMPARE(QApplication::focusWidget(), view);

    QTreeView *outline = document->outlineView();
    const QModelIndex two =
        outline->model()
            ->match(outline->model()->index(0, 0), Qt::DisplayRole, "Two", 1, Qt::MatchRecursive)
            .value(0);
    click(outline, two);
    QCOMPARE(QApplication::focusWidget(), view);
    QCOMPARE(typeHere("Y"), "Y\\section{Two}");
    outline->setFocus();
    QTest::keyClick(outline, Qt::Key_Up);
    QCOMPARE(QApplication::focusWidget(), outline);
    QCOMPARE(view->textCursor().block().text(), "\\section{One}");

    document->showFindAndReplace();
    FindAndReplaceViewController *find = document->findAndReplaceViewController();
    find->findTextField()->setText("there");
    find->searchFileForString();
    QCOMPARE(outline->model()->rowCount(), 1);
    click(outline, outline->model()->index(0, 0));
    QCOMPARE(QApplication::focusWidget(), view);
    QCOMPARE(view->textCursor().selectedText(), "there");
    view->moveCursor(QTextCursor::Start);
    click(outline, outline->model()->index(0, 0));
    QCOMPARE(view->textCursor().selectedText(), "there");
}

QUILLSET_TEST_MAIN(TestEditing)
#include "tst_editing.moc"
