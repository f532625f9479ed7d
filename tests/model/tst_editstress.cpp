// Typing on the UI thread while the edit worker applies the edits and other threads
// read the trees: run under ThreadSanitizer too (make test-tsan).
#include "TestSupport.h"
#include "TreeHelpers.h"
#include "model/ChangesQueue.h"
#include "model/QSFilePool.h"
#include "model/TextStorageDelegate.h"

#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <atomic>
#include <thread>

class TestEditStress : public QObject
{
    Q_OBJECT

private slots:
    void typingWhileTheWorkerEditsAndOthersRead();
};

void TestEditStress::typingWhileTheWorkerEditsAndOthersRead()
{
    TestFolder folder;
    QSFilePool pool;
    ChangesQueue queue;
    folder.write("one.tex", "\\section{One}\ntext\n");
    QString text = "\\documentclass{article}\n\\begin{document}\n";
    for (int i = 0; i < 40; ++i)
        text += QStringLiteral("\\section{S%1}\nwords words\n\\subsection{T%1}\nmore\n").arg(i);
    const std::shared_ptr<QSFile> main = pool.readFile(QUrl::fromLocalFile(
        folder.write("main.tex", (text + "\\input{one}\n\\end{document}\n").toUtf8())));
    QPlainTextEdit view;
    TextStorageDelegate delegate(&view);
    delegate.setSelectedFile(main);

    // What an outline reader does: walk the tree and read every node's name and text.
    std::atomic<bool> typing{true};
    std::atomic<int> reads{0};
    std::thread reader([&] {
        while (typing) {
            std::lock_guard lock(QSFilePool::documentModelLock());
            wholeTree(main->treeRootNode());
            main->treeRootNode()->lengthWithChildren();
            ++reads;
        }
    });
    QRandomGenerator random(99);
    const QString keys = QStringLiteral("abc \n\\{}%section");
    for (int i = 0; i < 3000; ++i) {
        QTextCursor cursor(view.document());
        const int at = int(random.bounded(view.document()->characterCount()));
        cursor.setPosition(at);
        if (random.bounded(4) == 0 && at > 0)
            cursor.deletePreviousChar();
        else
            cursor.insertText(keys.mid(random.bounded(keys.size()), 1));
        if (i % 50 == 0) {
            std::lock_guard lock(QSFilePool::documentModelLock());
            wholeTree(main->treeRootNode());
        }
        QCoreApplication::processEvents();
    }
    typing = false;
    reader.join();
    queue.waitUntilIdle();
    QVERIFY(reads > 0);
    std::lock_guard lock(QSFilePool::documentModelLock());
    QCOMPARE(main->treeRootNode()->nodeDataWithChildren(), view.toPlainText());
}

QTEST_MAIN(TestEditStress)
#include "tst_editstress.moc"
