// Typing on the UI thread while the edit worker applies the edits and other threads
// read the trees: run under ThreadSanitizer too (make test-tsan).
#include "TestSupport.h"
#include "model/ChangesQueue.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"
#include "model/TextStorageDelegate.h"

#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <atomic>
#include <thread>

namespace {

// What an outline reader does: walk the sections and read their titles and text.
int readTree(const QSSectionNode::Ptr &node)
{
    int seen = int(node->nodeData().size()) + int(node->nodeName().size());
    for (const QSSectionNode::Ptr &child : node->childrenWithoutTextNodes()) {
        if (!child->isFileIncludeNode())
            seen += readTree(child);
    }
    return seen;
}

} // namespace

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
    text += "\\input{one}\n\\end{document}\n";
    const std::shared_ptr<QSFile> main =
        pool.readFile(QUrl::fromLocalFile(folder.write("main.tex", text.toUtf8())));
    QPlainTextEdit view;
    TextStorageDelegate delegate(&view);
    delegate.setSelectedFile(main);

    std::atomic<bool> typing{true};
    std::atomic<int> reads{0};
    std::thread reader([&] {
        while (typing) {
            std::lock_guard lock(QSFilePool::documentModelLock());
            readTree(main->treeRootNode());
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
            readTree(main->treeRootNode());
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
