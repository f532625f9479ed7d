// The editor as the user has it: a document window on the 5 MB file with its
// outline shown. Typing into a section heading until the outline shows the new
// name, the UI thread's own share of a keystroke, and start-up to the first window.
#include "Corpus.h"
#include "WindowEditor.h"
#include "app/AppController.h"
#include "app/LivePreview.h"
#include "app/MainMenuController.h"
#include "app/MyDocument.h"
#include "app/OutlineViewDataSource.h"
#include "compile/ConsoleViewController.h"
#include "compile/LatexCompiler.h"
#include "editor/QSTextView.h"
#include "editor/SpellChecker.h"
#include "editor/completion/CompletionController.h"
#include "model/ChangesQueue.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "pdf/QSPDFViewController.h"
#include "platform/DocumentController.h"
#include "platform/OutlineAppearance.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QCompleter>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTreeView>
#include <QWindow>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <malloc.h>
#include <unistd.h>

namespace {

void typeCharacter(QWidget *view, QChar character)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(character));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(character));
    QApplication::sendEvent(view, &press);
    QApplication::sendEvent(view, &release);
}

double percentile(std::vector<double> values, int percent)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, values.size() * size_t(percent) / 100)];
}

// Each keystroke goes into the name of section 5001 (a subsection in the middle of
// the file); timed from the key press until the outline's row shows the new name.
// Types into a heading of the document and waits for its outline row to show it.
void keystrokeToOutline(benchmark::State &state, const QString &path, const QString &heading)
{
    Editor editor(path);
    MyDocument *document = editor.document;
    QSTextView *text = document->textView();
    ChangesQueue::sharedQueue()->waitUntilIdle();
    QCoreApplication::processEvents();
    const QPersistentModelIndex row(rowNamed(document->outlineViewDataSource(), heading, {}));
    if (!row.isValid()) {
        state.SkipWithError("heading not in the outline");
        return;
    }
    // Shows the heading's file.
    document->outlineView()->selectionModel()->select(row, QItemSelectionModel::ClearAndSelect);
    QTextCursor caret = text->document()->find(heading + u'}');
    caret.setPosition(caret.selectionEnd() - 1);
    text->setTextCursor(caret);
    text->setFocus();

    QString name = heading;
    std::vector<double> toOutline;
    std::vector<double> onUiThread;
    for (auto _ : state) {
        const QChar typed(char16_t(u'a' + toOutline.size() % 26));
        name += typed;
        const QString shown = OutlineAppearance::shownName(name);
        QElapsedTimer timer;
        timer.start();
        typeCharacter(text, typed);
        onUiThread.push_back(double(timer.nsecsElapsed()) / 1e6);
        while (row.data().toString() != shown && timer.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (row.data().toString() != shown) {
            state.SkipWithError("the outline did not follow");
            return;
        }
        toOutline.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    state.counters["median_ms"] = percentile(toOutline, 50);
    state.counters["p99_ms"] = percentile(toOutline, 99);
    state.counters["ui_median_ms"] = percentile(onUiThread, 50);
    state.counters["ui_p99_ms"] = percentile(onUiThread, 99);
}

void BM_KeystrokeToOutline(benchmark::State &state)
{
    keystrokeToOutline(state, Corpus::largeFilePath(), QStringLiteral("Heading 5001"));
}

// The book lists a label at every section and equation (about 18,000) in its outline.
void BM_KeystrokeToOutlineBook(benchmark::State &state)
{
    keystrokeToOutline(state, Corpus::bookRootPath(), QStringLiteral("Section 5 of 50"));
}

// From nothing to the window on the 5 MB file, exposed: the application's
// controllers, reading and parsing the file, the window and its outline.
void BM_StartToFirstWindow(benchmark::State &state)
{
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        auto editor = std::make_unique<Editor>(Corpus::largeFilePath());
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        if (!editor->document)
            state.SkipWithError("no window");
    }
}

// A 200 MB file: from nothing to its window, then one keystroke in its middle until
// the outline follows; the heap the open window holds.
void BM_HugeFileInWindow(benchmark::State &state)
{
    for (auto _ : state) {
        malloc_trim(0);
        const size_t before = mallinfo2().uordblks + mallinfo2().hblkhd;
        QElapsedTimer timer;
        timer.start();
        Editor editor(Corpus::hugeFilePath());
        const double opened = double(timer.nsecsElapsed()) / 1e6;
        if (!editor.document) {
            state.SkipWithError("no window");
            return;
        }
        MyDocument *document = editor.document;
        QSTextView *text = document->textView();
        const QString heading = QStringLiteral("Heading 5001");
        const QPersistentModelIndex row(rowNamed(document->outlineViewDataSource(), heading, {}));
        QTextCursor caret = text->document()->find(heading + u'}');
        caret.setPosition(caret.selectionEnd() - 1);
        text->setTextCursor(caret);
        timer.restart();
        typeCharacter(text, u'x');
        const double onUiThread = double(timer.nsecsElapsed()) / 1e6;
        while (row.data().toString() != heading + u'x' && timer.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        state.SetIterationTime(opened / 1e3);
        state.counters["keystroke_ms"] = double(timer.nsecsElapsed()) / 1e6;
        state.counters["ui_ms"] = onUiThread;
        state.counters["heap_MB"] =
            double(mallinfo2().uordblks + mallinfo2().hblkhd - before) / 1e6;
    }
}

// A shell script in the folder that the defaults name as the engine, and a document
// beside it to compile; the document's path, or none (the benchmark then skipped).
std::optional<QString> fakeEngine(benchmark::State &state, const QTemporaryDir &folder,
                                  const QByteArray &script)
{
    QFile engine(folder.filePath(QStringLiteral("tex")));
    QFile main(folder.filePath(QStringLiteral("main.tex")));
    if (!engine.open(QIODevice::WriteOnly) || !engine.write("#!/bin/sh\n" + script)
        || !engine.setPermissions(engine.permissions() | QFileDevice::ExeOwner)
        || !main.open(QIODevice::WriteOnly) || !main.write("x\n")) {
        state.SkipWithError("cannot write the engine or the document");
        return std::nullopt;
    }
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setObject(folder.path() + u'/', QSTexEngineDirectoryPath);
    defaults.setObject(QStringLiteral("tex"), QSSelectedEngineExec);
    return main.fileName();
}

// An engine that prints 100 MB: the longest the UI thread is kept from its
// events while the console takes it all in, and the time until the compile ends.
void BM_EngineFlood(benchmark::State &state)
{
    QTemporaryDir folder;
    const std::optional<QString> main =
        fakeEngine(state, folder,
                   "head -c 100000000 /dev/zero | tr '\\0' x | fold -w 99\necho; echo last line\n");
    if (!main)
        return;
    for (auto _ : state) {
        Editor editor(*main);
        ConsoleViewController *console = editor.document->consoleViewController();
        bool done = false;
        QObject::connect(console, &ConsoleViewController::errorWarningOutlineUpdated,
                         [&done] { done = true; });
        QElapsedTimer timer;
        timer.start();
        editor.document->compileDocument();
        qint64 longest = 0;
        while (!done && timer.elapsed() < 600000) {
            QElapsedTimer turn;
            turn.start();
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            longest = std::max(longest, turn.nsecsElapsed());
        }
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        state.counters["stall_ms"] = double(longest) / 1e6;
    }
    UserDefaults::standardUserDefaults().setObject(QStringLiteral("pdflatex"),
                                                   QSSelectedEngineExec);
}

// An engine that prints a line now and then, each with the time it was written:
// how long each takes to reach the console; and how long Stop takes to end an
// engine that is waiting.
void BM_EngineLatency(benchmark::State &state)
{
    QTemporaryDir folder;
    const std::optional<QString> main =
        fakeEngine(state, folder,
                   "if [ -e stop ]; then exec sleep 60; fi\n"
                   "for i in $(seq 40); do echo \"tick $(date +%s%N)\"; sleep 0.03; done\n");
    if (!main)
        return;
    for (auto _ : state) {
        Editor editor(*main);
        ConsoleViewController *console = editor.document->consoleViewController();
        bool done = false;
        QObject::connect(console, &ConsoleViewController::errorWarningOutlineUpdated,
                         [&done] { done = true; });
        std::vector<double> latencies;
        int seen = 0;
        QObject::connect(console->textLogger()->document(), &QTextDocument::contentsChange, [&] {
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            int ticks = 0;
            for (const QString &line : console->textLogger()->toPlainText().split(u'\n')) {
                if (line.startsWith(QStringLiteral("tick ")) && ticks++ >= seen)
                    latencies.push_back(double(now - line.mid(5).toLongLong() / 1000000));
            }
            seen = ticks;
        });
        editor.document->compileDocument();
        QElapsedTimer timer;
        timer.start();
        while (!done && timer.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::sort(latencies.begin(), latencies.end());
        state.counters["output_median_ms"] =
            latencies.empty() ? 0 : latencies[latencies.size() / 2];

        // Stop, while the engine waits.
        QFile(folder.filePath(QStringLiteral("stop"))).open(QIODevice::WriteOnly);
        done = false;
        editor.document->compileDocument();
        QElapsedTimer started;
        started.start();
        while (started.elapsed() < 500)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QElapsedTimer stop;
        stop.start();
        console->latexCompiler()->stopCompiling();
        while (console->latexCompiler()->isCompiling() && stop.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        state.counters["stop_ms"] = double(stop.nsecsElapsed()) / 1e6;
        state.SetIterationTime(double(stop.nsecsElapsed()) / 1e9);
        QFile::remove(folder.filePath(QStringLiteral("stop")));
    }
    UserDefaults::standardUserDefaults().setObject(QStringLiteral("pdflatex"),
                                                   QSSelectedEngineExec);
}

// The wall clock as `date +%s%N` reads it.
qint64 nanosecondsSinceEpoch()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// The editor's own time around a compile, which a wrapper in the defaults' folder
// times around the real program: from F5 to the program's start, and from its end
// to the tree filled and the PDF shown; beside them, the program's own run, and the
// longest the UI thread went without taking its events meanwhile. The program is
// latexmk with its chain (F5's default), or pdflatex run once.
void compileOverhead(benchmark::State &state, const QString &root, bool chain)
{
    QTemporaryDir folder;
    const QString program = chain ? QStringLiteral("latexmk") : QStringLiteral("pdflatex");
    QFile wrapper(folder.filePath(program));
    const QString stamps = folder.filePath(QStringLiteral("stamps"));
    if (!wrapper.open(QIODevice::WriteOnly)
        || !wrapper.write("#!/bin/sh\ndate +%s%N > '" + stamps.toUtf8() + "'\n/usr/bin/"
                          + program.toUtf8() + " \"$@\"\nrc=$?\ndate +%s%N >> '" + stamps.toUtf8()
                          + "'\nexit $rc\n")
        || !wrapper.setPermissions(wrapper.permissions() | QFileDevice::ExeOwner)) {
        state.SkipWithError("cannot write the wrapper");
        return;
    }
    wrapper.close();
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setObject(folder.path() + u'/', QSTexEngineDirectoryPath);
    defaults.setObject(!chain, QSRunEngineOnce);
    Editor editor(root);
    ConsoleViewController *console = editor.document->consoleViewController();
    double stall = 0; // the longest of every run
    for (auto _ : state) {
        // Done when the tree is filled and the new PDF shows, in either order.
        bool filled = false, shown = false;
        const auto connection =
            QObject::connect(console, &ConsoleViewController::errorWarningOutlineUpdated,
                             [&filled] { filled = true; });
        const auto showing =
            QObject::connect(editor.document->pdfViewController(),
                             &QSPDFViewController::documentShown, [&shown] { shown = true; });
        // The chain runs in full each time, as after an edit.
        QFile::remove(QFileInfo(root).path() + u'/' + QFileInfo(root).completeBaseName()
                      + QStringLiteral(".fdb_latexmk"));
        const qint64 pressed = nanosecondsSinceEpoch();
        QElapsedTimer timer;
        timer.start();
        editor.document->compileDocument();
        while (!(filled && shown) && timer.elapsed() < 1800000) {
            QElapsedTimer turn;
            turn.start();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            stall = std::max(stall, double(turn.nsecsElapsed()) / 1e6);
        }
        const bool done = filled && shown;
        const qint64 finished = nanosecondsSinceEpoch();
        QObject::disconnect(connection);
        QObject::disconnect(showing);
        QFile times(stamps);
        const QList<QByteArray> lines =
            times.open(QIODevice::ReadOnly) ? times.readAll().split('\n') : QList<QByteArray>();
        if (!done || lines.size() < 2) {
            state.SkipWithError("the compile did not end");
            break;
        }
        const qint64 started = lines[0].toLongLong(), ended = lines[1].toLongLong();
        const double overhead = double(started - pressed + finished - ended) / 1e6;
        state.SetIterationTime(overhead / 1e3);
        state.counters["start_ms"] = double(started - pressed) / 1e6;
        state.counters["shown_ms"] = double(finished - ended) / 1e6;
        state.counters["overhead_ms"] = overhead;
        state.counters["program_ms"] = double(ended - started) / 1e6;
        state.counters["ui_stall_max_ms"] = stall;
    }
    defaults.setObject(QStringLiteral("/usr/bin/"), QSTexEngineDirectoryPath);
    defaults.setObject(false, QSRunEngineOnce);
}

// The example thesis, copied to a folder of its own.
QString thesisCopy(const QTemporaryDir &copy)
{
    const QDir example(QStringLiteral(QUILLSET_SOURCE_DIR "/examples/thesis"));
    QDir().mkpath(copy.filePath(QStringLiteral("chapters")));
    for (const char *name :
         {"thesis.tex", "appendix.tex", "references.bib", "chapters/introduction.tex",
          "chapters/methods.tex", "chapters/results.tex"})
        QFile::copy(example.filePath(QString::fromUtf8(name)),
                    copy.filePath(QString::fromUtf8(name)));
    return copy.filePath(QStringLiteral("thesis.tex"));
}

void BM_CompileOverheadThesis(benchmark::State &state)
{
    QTemporaryDir copy;
    compileOverhead(state, thesisCopy(copy), false);
}

void BM_ChainOverheadThesis(benchmark::State &state)
{
    QTemporaryDir copy;
    compileOverhead(state, thesisCopy(copy), true);
}

void BM_CompileOverheadBook(benchmark::State &state)
{
    compileOverhead(state, Corpus::bookRootPath(), false);
}

// The writing aids on the 20 MB book, in the prose of a chapter: the UI thread's
// share of each keystroke of a word with spell checking on, the time from the last
// keystroke until the lines shown are checked (the check waits for a pause in
// typing), and the candidates of \ref{ (the labels of all 100 files) from the press
// of the brace to the popup shown; the same for \begin{ and a command (ranked by the
// uses in all files), and the brace that closes \begin{tab} (which looks for its \end).
void BM_WritingAidsBook(benchmark::State &state)
{
    Editor editor(Corpus::bookRootPath());
    MyDocument *document = editor.document;
    QSTextView *text = document->textView();
    ChangesQueue::sharedQueue()->waitUntilIdle();
    QCoreApplication::processEvents();
    const std::shared_ptr<QSFile> chapter =
        QSFilePool::fileList(document->fileOpened().get()).value(50);
    const std::shared_ptr<SpellChecker> checker =
        SpellChecker::forLanguage(QStringLiteral("en_US"), QString());
    if (!chapter || !checker) {
        state.SkipWithError("no chapter, or no en_US dictionary");
        return;
    }
    // At the start of the paragraph under a section.
    const qsizetype section = chapter->content().indexOf(u"\\section{Section 5 ");
    document->selectRange({quint32(chapter->content().indexOf(u'\n', section) + 1), 0}, chapter);
    text->setSpellChecker(checker);
    const auto elapsed = [](const QElapsedTimer &timer) {
        return double(timer.nsecsElapsed()) / 1e6;
    };
    bool checked = false;
    QObject::connect(text, &QSTextView::spellingChecked, [&checked] { checked = true; });

    std::vector<double> keystrokes, checks, candidates, environments, commands, closings;
    const auto timed = [&elapsed, text](QChar typed, std::vector<double> &into) {
        QElapsedTimer timer;
        timer.start();
        typeCharacter(text, typed);
        into.push_back(elapsed(timer));
    };
    for (auto _ : state) {
        checked = false;
        QElapsedTimer check;
        for (const QChar typed : QStringLiteral(" tidel")) {
            check.start();
            typeCharacter(text, typed);
            keystrokes.push_back(elapsed(check));
        }
        while (!checked && check.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        checks.push_back(elapsed(check));

        for (const QChar typed : QStringLiteral(" \\ref"))
            typeCharacter(text, typed);
        QElapsedTimer timer;
        timer.start();
        typeCharacter(text, u'{');
        candidates.push_back(elapsed(timer));
        if (text->completion()->completer()->completionCount() < 10000) {
            state.SkipWithError("the labels of the book were not offered");
            return;
        }
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(text, &escape);

        for (const QChar typed : QStringLiteral("} \\begin"))
            typeCharacter(text, typed);
        timed(u'{', environments);
        for (const QChar typed : QStringLiteral("tab"))
            typeCharacter(text, typed);
        timed(u'}', closings);
        for (const QChar typed : QStringLiteral(" \\se"))
            typeCharacter(text, typed);
        timed(u'c', commands);
        QApplication::sendEvent(text, &escape);
    }
    state.counters["keystroke_median_ms"] = percentile(keystrokes, 50);
    state.counters["keystroke_p99_ms"] = percentile(keystrokes, 99);
    state.counters["check_median_ms"] = percentile(checks, 50);
    state.counters["ref_median_ms"] = percentile(candidates, 50);
    state.counters["ref_first_ms"] = candidates.front();
    state.counters["begin_median_ms"] = percentile(environments, 50);
    state.counters["begin_first_ms"] = environments.front();
    state.counters["command_median_ms"] = percentile(commands, 50);
    state.counters["close_median_ms"] = percentile(closings, 50);
}

// The example thesis in its window with the live preview on (the preferences'
// pause of 800 ms): bursts of typing, each followed by a pause long enough for a
// preview to land. From the pause's start (the last key) to the new PDF on screen;
// the longest the UI thread was busy, with a key or with its events, while
// previews started, ran and were ended under the typing; and the most pdflatex
// processes alive at any moment (the table is read at every turn of the loop).
void BM_TypingWithLivePreview(benchmark::State &state)
{
    const Corpus::OwnCache cache;
    const QString thesis =
        Corpus::copyExampleThesis(cache.folder.filePath(QStringLiteral("thesis")));
    {
        Editor editor(thesis);
        MyDocument *document = editor.document;
        QSPDFViewController *pane = document->pdfViewController();
        bool shown = false;
        QObject::connect(pane, &QSPDFViewController::documentShown, [&shown] { shown = true; });
        document->livePreview()->setOn(true);
        QElapsedTimer first;
        first.start();
        while (!shown && first.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const std::shared_ptr<QSFile> methods =
            QSFilePool::fileList(document->fileOpened().get()).value(2);
        if (!shown || !methods || methods->name() != QStringLiteral("methods.tex")) {
            state.SkipWithError("no first preview, or no methods chapter");
            return;
        }
        document->selectRange({quint32(methods->content().indexOf(u"Both instruments")), 0},
                              methods);
        QSTextView *text = document->textView();
        const int pause = UserDefaults::standardUserDefaults().integerForKey(QSLivePreviewPause);
        std::vector<double> toPdf;
        double stall = 0;
        int most = 0;
        for (auto _ : state) {
            // Two bursts of ten keys, a key every 70 ms, 900 ms apart: the pause
            // between them starts a preview, which runs under the second burst
            // until the pause after it ends it with a newer one.
            QElapsedTimer timer;
            timer.start();
            QElapsedTimer lastKey;
            for (int n = 0; n < 20; ++n) {
                QElapsedTimer key;
                key.start();
                lastKey.start();
                typeCharacter(text, QChar(char16_t(n % 5 == 4 ? u' ' : u'a' + n)));
                stall = std::max(stall, double(key.nsecsElapsed()) / 1e6);
                const int gap = n >= 9 ? 900 : 0; // after the tenth key
                while (timer.elapsed() < (n + 1) * 70 + gap) {
                    QElapsedTimer turn;
                    turn.start();
                    QCoreApplication::processEvents(QEventLoop::AllEvents);
                    stall = std::max(stall, double(turn.nsecsElapsed()) / 1e6);
                    most = std::max(most, Corpus::enginesAlive());
                }
            }
            shown = false;
            while (!shown && lastKey.elapsed() < 60000) {
                QElapsedTimer turn;
                turn.start();
                QCoreApplication::processEvents(QEventLoop::AllEvents);
                stall = std::max(stall, double(turn.nsecsElapsed()) / 1e6);
                most = std::max(most, Corpus::enginesAlive());
            }
            if (!shown) {
                state.SkipWithError("the preview did not land");
                return;
            }
            toPdf.push_back(double(lastKey.nsecsElapsed()) / 1e6);
            state.SetIterationTime(double(lastKey.nsecsElapsed()) / 1e9);
        }
        state.counters["pause_ms"] = pause;
        state.counters["last_key_to_pdf_median_ms"] = percentile(toPdf, 50);
        state.counters["last_key_to_pdf_worst_ms"] = percentile(toPdf, 100);
        state.counters["pause_end_to_pdf_median_ms"] = percentile(toPdf, 50) - pause;
        state.counters["pause_end_to_pdf_worst_ms"] = percentile(toPdf, 100) - pause;
        state.counters["ui_stall_max_ms"] = stall;
        state.counters["most_engines"] = most;
        document->livePreview()->setOn(false);
    }
}

} // namespace

BENCHMARK(BM_TypingWithLivePreview)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);
BENCHMARK(BM_WritingAidsBook)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_CompileOverheadThesis)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_ChainOverheadThesis)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_CompileOverheadBook)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_EngineLatency)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_EngineFlood)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_HugeFileInWindow)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_KeystrokeToOutline)->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK(BM_KeystrokeToOutlineBook)->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK(BM_StartToFirstWindow)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
