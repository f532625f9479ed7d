// Opening one large file: read, decode and parse it into nodes, against the floor of
// reading, decoding and scanning it once with the outline pattern.
#include "Corpus.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"
#include "platform/TextEncoding.h"

#include <QFile>
#include <QRegularExpression>
#include <benchmark/benchmark.h>

namespace {

void BM_OpenLargeFile(benchmark::State &state)
{
    const QUrl url = QUrl::fromLocalFile(Corpus::largeFilePath());
    for (auto _ : state) {
        const std::shared_ptr<QSFile> file = QSFile::initWithFilePath(url);
        benchmark::DoNotOptimize(file->treeRootNode());
    }
}

void BM_FloorReadDecodeScan(benchmark::State &state)
{
    const QRegularExpression pattern(QStringLiteral(
        R"re(((\\(part|chapter|((sub){0,2}section)|input|include)(\*)?)\{(.*)\}))re"));
    for (auto _ : state) {
        QFile file(Corpus::largeFilePath());
        if (!file.open(QIODevice::ReadOnly))
            state.SkipWithError("cannot read");
        const std::optional<QString> text =
            TextEncoding::decode(file.readAll(), TextEncoding::UTF8);
        qsizetype matches = 0;
        for (auto it = pattern.globalMatch(*text); it.hasNext(); it.next())
            ++matches;
        benchmark::DoNotOptimize(matches);
    }
}

} // namespace

BENCHMARK(BM_FloorReadDecodeScan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenLargeFile)->Unit(benchmark::kMillisecond);
