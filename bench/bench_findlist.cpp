// "All in Document" and Find Usages on the 20 MB book, for a key found 190,000 times and one found
// 18,000 times (both past the list's limit): the worker's search for every match,
// and what the UI thread pays around it, as the window's list does it: taking the
// files' texts and asking, then showing the rows that come back in an outline, and
// painting them.
#include "Corpus.h"
#include "find/DocumentMatchesList.h"
#include "find/DocumentMatchesSearch.h"
#include "find/FindAndReplaceOutlineViewDataSource.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTreeView>
#include <benchmark/benchmark.h>

namespace {

const QString keys[] = {QStringLiteral("Temperature"), QStringLiteral("\\label")};

void listInBook(benchmark::State &state, const SearchPattern &pattern);

void BM_ListMatchesBook(benchmark::State &state)
{
    listInBook(state, SearchPattern(keys[state.range(0)]));
}

// Find Usages on the book: a label of one section; and a name that every file
// holds as a word ("Section"), so that every file of the 20 MB is scanned whole.
void BM_FindUsagesBook(benchmark::State &state)
{
    listInBook(state, SearchPattern::usagesOf(
                          UsageName{UsageName::Kind::Label, QStringLiteral("sec:50.3.7")}));
}

void BM_FindUsagesBookEveryFile(benchmark::State &state)
{
    listInBook(state, SearchPattern::usagesOf(
                          UsageName{UsageName::Kind::Label, QStringLiteral("Section")}));
}

void listInBook(benchmark::State &state, const SearchPattern &pattern)
{
    QSFilePool pool;
    const std::shared_ptr<QSFile> root = pool.readFile(QUrl::fromLocalFile(Corpus::bookRootPath()));
    QTreeView outline;
    // As the window's outline is.
    outline.setHeaderHidden(true);
    outline.setUniformRowHeights(true);
    outline.resize(260, 700);
    DocumentMatchesList list(&outline, [root] { return root; });
    outline.setModel(list.model());
    outline.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        list.list(pattern);
        list.didShow();
        const qint64 asking = timer.nsecsElapsed();
        // The longest the UI thread is held at once while the result comes back.
        qint64 showing = 0;
        while (list.isSearching()) {
            timer.restart();
            QCoreApplication::processEvents();
            showing = qMax(showing, timer.nsecsElapsed());
        }
        timer.restart();
        outline.viewport()->repaint();
        const qint64 painting = timer.nsecsElapsed();
        state.SetIterationTime(double(asking + showing + painting) / 1e9);
        state.counters["worker_ms"] = double(list.search()->lastSearchNanoseconds()) / 1e6;
        state.counters["ask_ms"] = double(asking) / 1e6;
        state.counters["show_ms"] = double(showing) / 1e6;
        state.counters["paint_ms"] = double(painting) / 1e6;
        state.counters["matches"] = double(list.model()->matches().matchCount());
        list.clear();
    }
}

} // namespace

BENCHMARK(BM_FindUsagesBook)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_FindUsagesBookEveryFile)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);
BENCHMARK(BM_ListMatchesBook)
    ->DenseRange(0, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(10);
