// Edits through a real document window: each command acts on exactly the text the
// user points at, and undo takes back what the user sees as one edit.
#include "AppFixture.h"
#include "model/QSSectionNode.h"
#include "model/QSUndoManager.h"
#include "model/TextStorageDelegate.h"

#include <QAction>

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

QUILLSET_TEST_MAIN(TestEditing)
#include "tst_editing.moc"
