// Reading the diagnostics out of a 50 MB engine log, against reading the file.
#include "Corpus.h"
#include "compile/LatexLogParser.h"
#include "model/QSFile.h"
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
        // As the parser reads a log after a compile: mapped, searched as bytes.
        QFile file(Corpus::largeLogPath());
        if (!file.open(QIODevice::ReadOnly))
            state.SkipWithError("cannot read");
        const uchar *mapped = file.map(0, file.size());
        const auto result = LatexLogParser::parseLogBytes(
            QByteArrayView(mapped, file.size()), TextEncoding::UTF8, folder,
            [&held](const QString &path) { return held.value(path); });
        qsizetype diagnostics = 0;
        for (const LatexLogParser::FileDiagnostics &entry : result)
            diagnostics += entry.diagnostics.size();
        state.counters["diagnostics"] = double(diagnostics);
        bytes += file.size();
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
