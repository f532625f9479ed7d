// The 20 MB book of 100 files: opening it through the pool, the memory it takes,
// and a search over all of it, each beside its floor.
#include "Corpus.h"
#include "find/FindAndReplace.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "platform/TextEncoding.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <benchmark/benchmark.h>
#include <malloc.h>

namespace {

QStringList bookFiles()
{
    QStringList files;
    QDirIterator it(QFileInfo(Corpus::bookRootPath()).absolutePath(), {QStringLiteral("*.tex")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

QStringList bookTexts()
{
    QStringList texts;
    for (const QString &path : bookFiles()) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            texts << *TextEncoding::decode(file.readAll(), TextEncoding::UTF8);
    }
    return texts;
}

void BM_OpenBook(benchmark::State &state)
{
    const QUrl root = QUrl::fromLocalFile(Corpus::bookRootPath());
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        auto pool = std::make_unique<QSFilePool>();
        benchmark::DoNotOptimize(pool->readFile(root));
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9); // closing is not opening
    }
}

void BM_FloorOpenBook(benchmark::State &state)
{
    const QStringList files = bookFiles();
    const QRegularExpression pattern(QStringLiteral(
        R"re(((\\(part|chapter|((sub){0,2}section)|input|include)(\*)?)\{(.*)\}))re"));
    for (auto _ : state) {
        qsizetype matches = 0;
        for (const QString &path : files) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                state.SkipWithError("cannot read");
            const std::optional<QString> text =
                TextEncoding::decode(file.readAll(), TextEncoding::UTF8);
            for (auto it = pattern.globalMatch(*text); it.hasNext(); it.next())
                ++matches;
        }
        benchmark::DoNotOptimize(matches);
    }
}

// What the opened book keeps on the heap: its files' texts and trees.
void BM_BookMemory(benchmark::State &state)
{
    const QUrl root = QUrl::fromLocalFile(Corpus::bookRootPath());
    qsizetype utf16 = 0;
    for (const QString &text : bookTexts())
        utf16 += text.size() * 2;
    for (auto _ : state) {
        malloc_trim(0);
        const size_t before = mallinfo2().uordblks + mallinfo2().hblkhd;
        auto pool = std::make_unique<QSFilePool>();
        const std::shared_ptr<QSFile> file = pool->readFile(root);
        const size_t after = mallinfo2().uordblks + mallinfo2().hblkhd;
        state.counters["model_MB"] = double(after - before) / 1e6;
        state.counters["utf16_MB"] = double(utf16) / 1e6;
        state.counters["files"] = double(pool->fileList(file.get()).size());
    }
}

void BM_SearchBook(benchmark::State &state)
{
    QSFilePool pool;
    const std::shared_ptr<QSFile> root = pool.readFile(QUrl::fromLocalFile(Corpus::bookRootPath()));
    FindAndReplace engine(root);
    for (auto _ : state) {
        engine.findString(QStringLiteral("Temperature"));
        state.counters["nodes_found"] = double(engine.findResults().size());
    }
}

void BM_FloorSearchBook(benchmark::State &state)
{
    const QStringList texts = bookTexts();
    const QString key = QStringLiteral("Temperature");
    for (auto _ : state) {
        qsizetype found = 0;
        for (const QString &text : texts) {
            for (qsizetype at = text.indexOf(key, 0, Qt::CaseInsensitive); at >= 0;
                 at = text.indexOf(key, at + key.size(), Qt::CaseInsensitive))
                ++found;
        }
        benchmark::DoNotOptimize(found);
    }
}

} // namespace

BENCHMARK(BM_FloorOpenBook)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_OpenBook)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);
BENCHMARK(BM_BookMemory)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_FloorSearchBook)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SearchBook)->Unit(benchmark::kMillisecond)->Iterations(5);
