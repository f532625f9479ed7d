// The outline is a live model of the text: random edit scripts, typed through the
// real text view and applied by the real edit worker, must leave every tree holding
// exactly the view's text and nesting exactly as a fresh parse of that text would,
// also after undo and redo of whole runs of typing; and a file whose text is not
// the one saved must count as changed.
// Another thread reads the trees all the while, as an outline reader does; the test
// runs under ThreadSanitizer too (make test-tsan).
#include "PoolHelpers.h"
#include "TestSupport.h"
#include "model/ChangesQueue.h"
#include "model/QSUndoManager.h"
#include "model/TextStorageDelegate.h"

#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <atomic>
#include <thread>

namespace {

const QStringList commandWords = {"part",       "chapter",       "section",
                                  "subsection", "subsubsection", "section*"};

const QList<GoldenCase> blocks = goldenCases("edits/pasted-blocks.txt");

// Random edits typed into the view, as an author makes them.
struct Script
{
    QPlainTextEdit &view;
    TextStorageDelegate &delegate;
    QRandomGenerator random;
    // The text of each file as last saved by the script, and the file saved.
    QHash<QString, std::pair<std::weak_ptr<QSFile>, QString>> saved;

    QString block() { return blocks.at(random.bounded(blocks.size())).part("block"); }

    // Carries out one random edit and says what it was.
    QString step(const QList<std::shared_ptr<QSFile>> &files)
    {
        const QString text = view.toPlainText();
        const int length = int(text.size());
        const int at = int(random.bounded(length + 1));
        switch (random.bounded(16)) {
        case 0:
        case 1: {
            const QString keys = QStringLiteral("ab \n\\{}%*[]");
            return replace(at, 0, keys.at(random.bounded(keys.size())));
        }
        case 2:
        case 3:
            return length > 0 ? replace(qMin(at, length - 1), 1, {}) : replace(at, 0, "x");
        case 4: {
            const QString word = commandWords.at(random.bounded(commandWords.size()));
            const QString command = u'\\' + word + "{T" + QString::number(at) + u'}';
            // Half the time the worker is held off, so that all the keystrokes land in one pass.
            std::unique_lock batch(QSFilePool::documentModelLock(), std::defer_lock);
            if (random.bounded(2))
                batch.lock();
            select(view, at);
            for (int i = 0; i < command.size(); ++i)
                type(command.mid(i, 1));
            return QStringLiteral("type \\%1{...} at %2").arg(word).arg(at);
        }
        case 5: {
            const int brace = int(text.indexOf(QRegularExpression(QStringLiteral("[{}]")), at));
            return brace >= 0 ? replace(brace, 1, {}) : replace(at, 0, "}");
        }
        case 6:
            return replace(at, 0, block());
        case 7:
            return replace(at, qMin(int(random.bounded(300)), length - at), {});
        case 8:
            return replace(at, qMin(int(random.bounded(40)), length - at), block());
        case 9:
            delegate.undoManagerForTextView()->undo();
            return QStringLiteral("undo");
        case 12: {
            // Words, spaces, line breaks and backspaces typed in runs, which undo
            // takes back a run at a time.
            select(view, at);
            QString typed;
            for (int i = int(random.bounded(12)); i >= 0; --i) {
                const QString keys = QStringLiteral("ab \n\\{}%\b");
                const QChar key = keys.at(random.bounded(keys.size()));
                if (key != u'\b' || view.textCursor().position() > 0)
                    type(key == u'\b' ? QString() : QString(key));
                typed += key == u'\n' ? QStringLiteral("\\n") : QString(key);
            }
            return QStringLiteral("type run \"%1\" at %2").arg(typed).arg(at);
        }
        case 13:
            // Saved beside itself, so that the files the include lines read from disk
            // keep their short text: the saved state is the file's all the same.
            if (const std::shared_ptr<QSFile> shown = delegate.selectedFile()) {
                if (shown->saveFileToURL(QUrl::fromLocalFile(shown->pathText() + ".saved")))
                    saved[shown->pathText()] = {shown, shown->content()};
            }
            return QStringLiteral("save");
        case 10:
            delegate.undoManagerForTextView()->redo();
            return QStringLiteral("redo");
        case 11: {
            // Whole lines cut and pasted elsewhere, as an author moves a paragraph.
            const int from = int(text.lastIndexOf(u'\n', qMax(0, at - 1)) + 1);
            const int end = int(text.indexOf(u'\n', qMin(at + int(random.bounded(200)), length)));
            const QString lines = text.mid(from, end < 0 ? -1 : end + 1 - from);
            replace(from, int(lines.size()), {});
            const QString rest = view.toPlainText();
            const int to =
                int(rest.lastIndexOf(u'\n', int(random.bounded(rest.size() + 1)) - 1) + 1);
            replace(to, 0, lines);
            return QStringLiteral("move %1 lines from %2 to %3")
                .arg(lines.count(u'\n'))
                .arg(from)
                .arg(to);
        }
        default: {
            const std::shared_ptr<QSFile> file = files.at(random.bounded(files.size()));
            delegate.setSelectedFile(file);
            return QStringLiteral("show ") + file->name();
        }
        }
    }

    // A key typed at the view's caret: a character, or Backspace for none.
    void type(const QString &character)
    {
        delegate.beginTyping();
        QTextCursor caret = view.textCursor();
        if (character.isEmpty())
            caret.deletePreviousChar();
        else
            caret.insertText(character);
        view.setTextCursor(caret);
        delegate.endTyping();
    }

    // Types the text over the count characters at the offset, through a cursor.
    QString replace(int at, int count, const QString &text)
    {
        QTextCursor cursor(view.document());
        cursor.setPosition(at);
        cursor.setPosition(at + count, QTextCursor::KeepAnchor);
        cursor.insertText(text);
        return QStringLiteral("replace %1 at %2 with %3").arg(count).arg(at).arg(text);
    }
};

} // namespace

class TestLiveModel : public QObject
{
    Q_OBJECT

private slots:
    void randomEditScriptsKeepTheOutlineLive();
};

void TestLiveModel::randomEditScriptsKeepTheOutlineLive()
{
#ifdef __SANITIZE_THREAD__
    // ThreadSanitizer runs the scripts some fifty times slower: shorter ones do.
    constexpr int defaultEdits = 1200;
#else
    constexpr int defaultEdits = 3000;
#endif
    const int edits = qMax(defaultEdits, qEnvironmentVariableIntValue("QUILLSET_SOAK_EDITS"));
    const int scripts = 6;
    for (int script = 0; script < scripts; ++script) {
        TestFolder folder;
        QSFilePool pool;
        ChangesQueue queue;
        folder.copyData("edits/live-document");
        const std::shared_ptr<QSFile> main = pool.readFile(folder.url("main.tex"));
        TestDocument document(main);
        pool.setKeyDocument(&document);

        QPlainTextEdit view;
        TextStorageDelegate delegate(&view);
        delegate.setSelectedFile(main);
        Script random{view, delegate, QRandomGenerator(quint32(1000 + script)), {}};
        QStringList log;
        std::atomic<bool> editing{true};
        std::thread reader([&] {
            for (; editing; std::this_thread::yield()) {
                std::lock_guard lock(QSFilePool::documentModelLock());
                for (const std::shared_ptr<QSFile> &file : QSFilePool::fileList(main.get()))
                    wholeTree(file->treeRootNode());
            }
        });
        for (int i = 0; i < edits / scripts; ++i) {
            const QList<std::shared_ptr<QSFile>> files = QSFilePool::fileList(main.get());
            log << random.step(files);
            queue.waitUntilIdle();
            QCoreApplication::processEvents(); // include lines let go of their files here
            if (!delegate.selectedFile()
                || pool.fileObjectForPath(delegate.selectedFile()->path())
                       != delegate.selectedFile()) {
                delegate.setSelectedFile(main);
                log << QStringLiteral("show main.tex");
            }

            std::lock_guard lock(QSFilePool::documentModelLock());
            const std::shared_ptr<QSFile> shown = delegate.selectedFile();
            const QString text = view.toPlainText();
            const QString context = QStringLiteral("script %1, edit %2: ").arg(script).arg(i)
                                    + log.mid(qMax(0, log.size() - 4)).join(" | ");
            QVERIFY2(shown->content() == text, qPrintable(context));
            QVERIFY2(shown->treeRootNode()->nodeDataWithChildren() == text, qPrintable(context));
            const QString live = wholeTree(shown->treeRootNode());
            const QString fresh = freshTree(text);
            QVERIFY2(live == fresh, qPrintable(context + "\nlive:  " + live + "\nfresh: " + fresh));
            // A text that is not the one saved is never taken for saved, whatever
            // was undone and redone in between.
            const auto saved = random.saved.value(shown->pathText());
            if (saved.first.lock() == shown && saved.second != text)
                QVERIFY2(shown->hasContentChangedSinceLastSave(false), qPrintable(context));
            const QString holders = holdersDisagree(pool, {main.get()});
            QVERIFY2(holders.isEmpty(), qPrintable(context + "\n" + holders));
        }

        editing = false;
        reader.join();

        // Every open the document's include lines made is given back on close.
        pool.reAssignFile(main, &document);
        QVERIFY(pool.closeFile(main->path()));
        QVERIFY(pool.allFiles().isEmpty());
    }
}

QUILLSET_TEST_MAIN(TestLiveModel)
#include "tst_livemodel.moc"
