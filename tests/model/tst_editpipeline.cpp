#include "TestSupport.h"
#include "TreeHelpers.h"
#include "model/ChangesQueue.h"
#include "model/QSFilePool.h"
#include "model/QSUndoManager.h"
#include "model/TextStorageDelegate.h"

#include <QPlainTextEdit>
#include <QSignalSpy>

class TestEditPipeline : public QObject
{
    Q_OBJECT

private slots:
    void everyKindOfEditIsOneUndoStep();
    void treeFollowsEdits_data();
    void treeFollowsEdits();
    void notifiesTheUiThreadOncePerFile();
};

// Typing, typing over a selection, a programmatic replacement and a deletion reach
// the file and its tree, each as its own undo step. (What edits make of the outline
// is for the cases below and the live model test.)
void TestEditPipeline::everyKindOfEditIsOneUndoStep()
{
    TestFolder folder;
    QSFilePool pool;
    ChangesQueue queue;
    folder.write({{"a.tex", "0123456789abcdefghijklmnop\n"}, {"b.tex", "other file"}});
    const std::shared_ptr<QSFile> file = pool.readFile(folder.url("a.tex"));
    const std::shared_ptr<QSFile> other = pool.readFile(folder.url("b.tex"));
    QPlainTextEdit view;
    TextStorageDelegate delegate(&view);
    QSignalSpy colouring(&delegate, &TextStorageDelegate::rangeNeedsHighlighting);
    delegate.setSelectedFile(file);
    // Loading the text is not an edit, and the view colours the lines it shows.
    QVERIFY(colouring.isEmpty());
    select(view, 10);
    QTest::keyClicks(&view, "X");
    select(view, 10, 15);
    QTest::keyClicks(&view, "Y");
    select(view, 10, 15);
    view.textCursor().insertText("PQR");
    select(view, 10, 14);
    QTest::keyClick(&view, Qt::Key_Delete);
    QCOMPARE(view.toPlainText(), "0123456789jklmnop\n");
    QCOMPARE(colouring.last().at(0).value<QSRange>(), (QSRange{0, 17}));
    queue.waitUntilIdle();
    QCOMPARE(file->content(), view.toPlainText());
    QCOMPARE(file->treeRootNode()->nodeDataWithChildren(), view.toPlainText());

    // Every edit is its own undo step, replayed through the view and the tree.
    QSUndoManager &undo = file->undoManager();
    QCOMPARE(undo.amountOfUndosInUndoStack(), 4);
    undo.undo();
    undo.undo();
    QCOMPARE(view.toPlainText(), "0123456789Yefghijklmnop\n");
    undo.redo();
    queue.waitUntilIdle();
    QCOMPARE(file->treeRootNode()->nodeDataWithChildren(), "0123456789PQRijklmnop\n");

    // Switching files switches text, selection and history, and switching back restores
    // them; a remembered selection past the end of the text is not applied.
    select(view, 3, 6);
    delegate.setSelectedFile(other);
    QCOMPARE(view.toPlainText(), "other file");
    QCOMPARE(delegate.undoManagerForTextView(), &other->undoManager());
    delegate.setSelectedFile(file);
    QCOMPARE(view.textCursor().selectionStart(), 3);
    QCOMPARE(view.textCursor().selectionEnd(), 6);
    QCOMPARE(delegate.undoManagerForTextView(), &file->undoManager());
    other->setCurrentSelection(QSRange{50, 2});
    delegate.setSelectedFile(other);
    QCOMPARE(other->currentSelection(), (QSRange{50, 2}));
}

void TestEditPipeline::treeFollowsEdits_data()
{
    goldenRows("edits/tree-follows-edits.txt");
}

void TestEditPipeline::treeFollowsEdits()
{
    QFETCH(GoldenCase, golden);
    QString text = golden.part("text");
    QSFilePool pool;
    ChangesQueue queue;
    const std::shared_ptr<QSFile> file = pool.createFileFromTemplateString(text, "Untitled");
    {
        // Hold the model lock so that every record lands in one pass.
        std::lock_guard lock(QSFilePool::documentModelLock());
        for (const QString &edit : golden.part("edits").split(u'\n')) {
            const QStringList words = edit.split(u' ');
            const bool adds = words[0] == "add", removes = words[0] == "remove";
            const QString added =
                removes ? QString() : edit.section(u' ', adds ? 2 : 3).replace("<LF>", "\n");
            const quint32 length = adds ? quint32(added.size()) : words[2].toUInt();
            if (words[1].toInt() <= text.size())
                text.replace(words[1].toInt(), adds ? 0 : length, added);
            queue.addChangeToQueue(ChangeRecord{words[0], QSRange{words[1].toUInt(), length}, added,
                                                file->treeRootNode()});
        }
    }
    queue.waitUntilIdle();
    std::lock_guard lock(QSFilePool::documentModelLock());
    QCOMPARE(file->treeRootNode()->nodeDataWithChildren(), text);
    QCOMPARE(shape(file->treeRootNode()), golden.part("shape"));
    QCOMPARE(wholeTree(file->treeRootNode()), freshTree(text));
}

void TestEditPipeline::notifiesTheUiThreadOncePerFile()
{
    QSFilePool pool;
    ChangesQueue queue;
    QSignalSpy notices(&queue, &ChangesQueue::treeDidChange);
    const std::shared_ptr<QSFile> a = pool.createFileFromTemplateString("a", "A");
    const std::shared_ptr<QSFile> b = pool.createFileFromTemplateString("b", "B");
    for (int i = 0; i < 5; ++i) {
        queue.addChangeToQueue(ChangeRecord{"add", QSRange{0, 1}, "x", a->treeRootNode()});
        queue.waitUntilIdle();
    }
    queue.addChangeToQueue(ChangeRecord{"add", QSRange{0, 1}, "y", b->treeRootNode()});
    queue.waitUntilIdle();
    QCOMPARE(notices.size(), 0); // delivered on the UI thread's event loop
    QTRY_COMPARE(notices.size(), 2);
    QCOMPARE(notices.at(0).at(0).value<std::shared_ptr<QSFile>>(), a);
    QCOMPARE(notices.at(1).at(0).value<std::shared_ptr<QSFile>>(), b);
    QCOMPARE(a->treeRootNode()->nodeDataWithChildren(), "xxxxxa");
}

QUILLSET_TEST_MAIN(TestEditPipeline)
#include "tst_editpipeline.moc"
