// Reading the diagnostics out of a 50 MB engine log, against reading the file.
#include "Corpus.h"
#include "compile/LatexLogParser.h"
#include "model/QSFile.h"
#include "platform/TextDecoder.h"
#include "platform/TextEncoding.h"

#include <QFile>
#include <QHash>
#include <benchmark/benchmark.h>

namespace {

QByteArray readLog(benchmark::State &state)
{
    QFile file(Corpus::largeLogPath());
    if (!file.open(QIODevice::ReadOnly))
        state.SkipWithError("cannot read");
    return file.readAll();
}

void BM_ParseLargeLog(benchmark::State &state)
{
    Corpus::largeLogPath();
    const QString folder = QStringLiteral("/doc/");
    QHash<QString, std::shared_ptr<QSFile>> held;
    for (const QString &name : Corpus::largeLogFileNames())
        held.insert(folder + name, QSFile::initUntitledFileWithTemplateString(name, name));
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray log = readLog(state);
        TextDecoder decoder(TextEncoding::UTF8);
        const QString text = decoder.decode(log);
        benchmark::DoNotOptimize(decoder.finish());
        const auto result = LatexLogParser::parseLogText(
            text, folder, [&held](const QString &path) { return held.value(path); });
        benchmark::DoNotOptimize(result.size());
        bytes += log.size();
    }
    state.SetBytesProcessed(bytes);
}

void BM_FloorReadLog(benchmark::State &state)
{
    Corpus::largeLogPath();
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray log = readLog(state);
        benchmark::DoNotOptimize(log.constData());
        bytes += log.size();
    }
    state.SetBytesProcessed(bytes);
}

} // namespace

BENCHMARK(BM_FloorReadLog)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseLargeLog)->Unit(benchmark::kMillisecond);
