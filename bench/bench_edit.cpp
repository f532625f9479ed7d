// One keystroke in the 5 MB document: the worker's pass that applies it, and the
// time from handing the edit to the worker until the tree holds it, against a full
// parse and restructuring of the document.
#include "Corpus.h"
#include "model/ChangesQueue.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <algorithm>
#include <benchmark/benchmark.h>

namespace {

void BM_KeystrokeToTree(benchmark::State &state)
{
    QSFilePool pool;
    ChangesQueue queue;
    const std::shared_ptr<QSFile> file =
        pool.readFile(QUrl::fromLocalFile(Corpus::largeFilePath()));
    qint32 length = file->treeRootNode()->lengthWithChildren();
    QRandomGenerator random(1);
    std::vector<double> latencies;
    std::vector<double> passes;
    for (auto _ : state) {
        const quint32 location = random.bounded(quint32(length));
        QElapsedTimer timer;
        timer.start();
        queue.addChangeToQueue(ChangeRecord{QStringLiteral("add"), QSRange{location, 1},
                                            QStringLiteral("x"), file->treeRootNode()});
        queue.waitUntilIdle();
        latencies.push_back(double(timer.nsecsElapsed()) / 1e6);
        passes.push_back(double(queue.lastPassNanoseconds()) / 1e6);
        ++length;
    }
    std::sort(latencies.begin(), latencies.end());
    std::sort(passes.begin(), passes.end());
    state.counters["pass_median_ms"] = passes[passes.size() / 2];
    state.counters["median_ms"] = latencies[latencies.size() / 2];
    state.counters["p99_ms"] =
        latencies[std::min(latencies.size() - 1, latencies.size() * 99 / 100)];
}

void BM_FullParseAndRestructure(benchmark::State &state)
{
    QFile source(Corpus::largeFilePath());
    if (!source.open(QIODevice::ReadOnly))
        state.SkipWithError("cannot read");
    const QString text = QString::fromUtf8(source.readAll());
    for (auto _ : state) {
        const QSSectionNode::Ptr root = QSSectionNode::initWithData(
            text, QSNodeType::File, QStringLiteral("large.tex"), {}, nullptr, {});
        root->nestParsedChildren();
        benchmark::DoNotOptimize(root);
    }
}

} // namespace

BENCHMARK(BM_FullParseAndRestructure)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeystrokeToTree)->Unit(benchmark::kMillisecond)->Iterations(2000);
