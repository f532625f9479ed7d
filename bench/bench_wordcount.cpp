// Word counts on the 20 MB book in a real window, wired as the window wires them:
// from a keystroke until the document's count that includes it is on the UI thread,
// the UI thread's share of the keystroke, and its share of taking the counts.
#include "Corpus.h"
#include "WindowEditor.h"
#include "app/MyDocument.h"
#include "app/OutlineViewDataSource.h"
#include "editor/QSTextView.h"
#include "editor/wordcount/WordCountLabel.h"
#include "editor/wordcount/WordCounts.h"
#include "model/ChangesQueue.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/TextStorageDelegate.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMainWindow>
#include <QStatusBar>
#include <algorithm>
#include <benchmark/benchmark.h>

namespace {

double percentile(std::vector<double> values, int percent)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, values.size() * size_t(percent) / 100)];
}

void BM_WordCountBook(benchmark::State &state)
{
    Editor window(Corpus::bookRootPath());
    MyDocument *document = window.document;
    if (!document) {
        state.SkipWithError("no window");
        return;
    }
    auto *counts = new WordCounts([document] { return document->fileOpened(); }, document);
    QObject::connect(ChangesQueue::sharedQueue(), &ChangesQueue::treeDidChange, counts,
                     &WordCounts::fileChanged);
    QStatusBar *status = qobject_cast<QMainWindow *>(document->window())->statusBar();
    status->addPermanentWidget(
        new WordCountLabel(counts, document->textView(), document->textStorageDelegate(), status));
    document->outlineViewDataSource()->setWordCounts(counts);
    int delivered = 0;
    QObject::connect(counts, &WordCounts::countsChanged, [&delivered] { ++delivered; });
    const auto settle = [counts] {
        ChangesQueue::sharedQueue()->waitUntilIdle();
        QCoreApplication::processEvents();
        counts->waitUntilIdle();
        QCoreApplication::processEvents();
    };
    settle();
    const int before = counts->results().document;

    const std::shared_ptr<QSFile> chapter =
        QSFilePool::fileList(document->fileOpened().get()).value(50);
    const qsizetype section = chapter->content().indexOf(u"\\section{Section 5 ");
    document->selectRange({quint32(chapter->content().indexOf(u'\n', section) + 1), 0}, chapter);
    QSTextView *text = document->textView();

    std::vector<double> toCount, onUiThread, taking;
    int typedWords = 0;
    for (auto _ : state) {
        // "a " at the start of a paragraph: a word, then the space that ends it.
        const QChar typed = toCount.size() % 2 == 0 ? u'a' : u' ';
        typedWords += typed == u'a';
        const int seen = delivered;
        QElapsedTimer timer;
        timer.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(typed));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(typed));
        QApplication::sendEvent(text, &press);
        QApplication::sendEvent(text, &release);
        onUiThread.push_back(double(timer.nsecsElapsed()) / 1e6);
        while (delivered == seen && timer.elapsed() < 5000) {
            QElapsedTimer events;
            events.start();
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (delivered != seen)
                taking.push_back(double(events.nsecsElapsed()) / 1e6);
        }
        toCount.push_back(double(timer.nsecsElapsed()) / 1e6);
        state.PauseTiming();
        settle();
        state.ResumeTiming();
    }
    if (counts->results().document != before + typedWords) {
        state.SkipWithError("the count did not follow the typing");
        return;
    }
    state.counters["words"] = before;
    state.counters["median_ms"] = percentile(toCount, 50);
    state.counters["worst_ms"] = percentile(toCount, 100);
    state.counters["ui_median_ms"] = percentile(onUiThread, 50);
    state.counters["ui_worst_ms"] = percentile(onUiThread, 100);
    state.counters["take_median_ms"] = percentile(taking, 50);
    state.counters["take_worst_ms"] = percentile(taking, 100);
}

} // namespace

BENCHMARK(BM_WordCountBook)->Unit(benchmark::kMillisecond)->Iterations(100);
