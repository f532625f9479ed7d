// One text-to-PDF lookup in the pdfsync data of a 500-page document, against
// reading that data.
#include "Corpus.h"
#include "pdf/PdfSync.h"

#include <QFile>
#include <benchmark/benchmark.h>

namespace {

QString readSync(benchmark::State &state)
{
    QFile file(Corpus::largeSyncPath());
    if (!file.open(QIODevice::ReadOnly))
        state.SkipWithError("cannot read");
    return QString::fromUtf8(file.readAll());
}

void BM_FloorReadSync(benchmark::State &state)
{
    Corpus::largeSyncPath();
    for (auto _ : state)
        benchmark::DoNotOptimize(readSync(state));
}

// As a Ctrl-click makes it: the sync data read again, then a line of a file
// included near the end of the book.
void BM_SyncLookup(benchmark::State &state)
{
    Corpus::largeSyncPath();
    const PdfSync::ShownFile shown{
        false, QStringLiteral("chapter97.tex"), {QStringLiteral("part9/chapter97.tex")}};
    for (auto _ : state) {
        const auto position = PdfSync::positionForLine(readSync(state), shown, 40);
        if (!position)
            state.SkipWithError("no page found");
        state.counters["page"] = position ? position->page : 0;
    }
}

} // namespace

BENCHMARK(BM_FloorReadSync)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SyncLookup)->Unit(benchmark::kMillisecond);
