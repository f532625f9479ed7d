// Live previews with the real pdflatex, of the example thesis and of one chapter of
// the 20 MB book: from a request with an unsaved change to the new PDF in place, and
// how many engines are alive at once while requests come faster than a run takes.
#include "Corpus.h"
#include "compile/preview/PreviewBuild.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <unistd.h>

namespace {

double percentile(std::vector<double> values, int percent)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, values.size() * size_t(percent) / 100)];
}

// The thesis copied to a folder of its own, with the previews' cache beside it.
struct Thesis : Corpus::OwnCache
{
    QString root = folder.filePath(QStringLiteral("thesis/thesis.tex"));
    QString chapter = folder.filePath(QStringLiteral("thesis/chapters/methods.tex"));
    QString chapterText;

    Thesis()
    {
        Corpus::copyExampleThesis(folder.filePath(QStringLiteral("thesis")));
        QFile file(chapter);
        if (file.open(QIODevice::ReadOnly))
            chapterText = QString::fromUtf8(file.readAll());
    }

    // The document with the n-th unsaved change in a chapter.
    PreviewSnapshot edited(int n) const
    {
        return PreviewSnapshot{root,
                               QStringLiteral("pdflatex"),
                               {{chapter, chapterText + QStringLiteral("\nEdit %1.\n").arg(n)}},
                               {},
                               {}};
    }
};

void BM_PreviewThesis(benchmark::State &state)
{
    Thesis thesis;
    PreviewBuild build;
    bool done = false;
    QObject::connect(&build, &PreviewBuild::finished, [&done] { done = true; });
    QObject::connect(&build, &PreviewBuild::failed,
                     [&state](const QString &, int, const QString &message) {
                         state.SkipWithError(message.toUtf8().constData());
                     });
    // The first run writes the .aux and .toc the others start from, and the
    // preamble's format is dumped after it, as after a first preview.
    build.request(thesis.edited(0));
    while (build.state() == PreviewBuild::State::Typesetting || build.isEngineRunning())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::vector<double> times;
    int n = 1;
    for (auto _ : state) {
        done = false;
        QElapsedTimer timer;
        timer.start();
        build.request(thesis.edited(n++));
        while (!done && build.state() == PreviewBuild::State::Typesetting)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const double elapsed = double(timer.nsecsElapsed()) / 1e9;
        if (!done) {
            state.SkipWithError("the preview did not finish");
            return;
        }
        times.push_back(elapsed * 1e3);
        state.SetIterationTime(elapsed);
    }
    state.counters["median_ms"] = percentile(times, 50);
    state.counters["worst_ms"] = percentile(times, 100);
}

// The 20 MB book whose root \include's every chapter: one preview of the whole
// document (which writes the .aux files the chapters' numbers are read from, and
// after which the preamble's format is dumped), then edits in one chapter, each
// previewed alone, from the request to the new PDF in place.
void BM_PreviewBookChapter(benchmark::State &state)
{
    const QString root = Corpus::bookIncludedRootPath();
    const QString name = QStringLiteral("part1/chapter12");
    const QString chapter = QFileInfo(root).dir().filePath(name + QStringLiteral(".tex"));
    QFile file(chapter);
    const QString chapterText =
        file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    Corpus::OwnCache cache;
    PreviewBuild build;
    build.setTimeLimit(20 * 60 * 1000);
    bool done = false;
    QObject::connect(&build, &PreviewBuild::finished, [&done] { done = true; });
    QObject::connect(&build, &PreviewBuild::failed,
                     [&state](const QString &, int, const QString &message) {
                         state.SkipWithError(message.toUtf8().constData());
                     });
    QElapsedTimer whole;
    whole.start();
    build.request(PreviewSnapshot{root, QStringLiteral("pdflatex"), {}, {}, {}});
    while (build.state() == PreviewBuild::State::Typesetting)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    state.counters["whole_s"] = double(whole.elapsed()) / 1e3;
    while (build.isEngineRunning())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (build.state() != PreviewBuild::State::UpToDate) {
        state.SkipWithError("the whole book was not typeset");
        return;
    }
    // The pages the last run wrote, as its log says.
    const auto pages = [&] {
        QFile log(QFileInfo(build.pdfPath()).dir().filePath(QStringLiteral("book-included.log")));
        static const QRegularExpression written(
            QStringLiteral("Output written on .*\\((\\d+) page"));
        return log.open(QIODevice::ReadOnly)
                   ? written.match(QString::fromUtf8(log.readAll())).captured(1).toDouble()
                   : 0.0;
    };
    state.counters["whole_pages"] = pages();
    std::vector<double> times;
    int n = 1;
    for (auto _ : state) {
        done = false;
        QElapsedTimer timer;
        timer.start();
        build.request(
            PreviewSnapshot{root,
                            QStringLiteral("pdflatex"),
                            {{chapter, chapterText + QStringLiteral("\nEdit %1.\n").arg(n++)}},
                            {},
                            name});
        while (!done && build.state() == PreviewBuild::State::Typesetting)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const double elapsed = double(timer.nsecsElapsed()) / 1e9;
        if (!done) {
            state.SkipWithError("the preview did not finish");
            return;
        }
        times.push_back(elapsed * 1e3);
        state.SetIterationTime(elapsed);
    }
    state.counters["median_ms"] = percentile(times, 50);
    state.counters["worst_ms"] = percentile(times, 100);
    state.counters["chapter_pages"] = pages();
}

// Requests every 100 ms for 3 s, as a user who pauses often would send them; the
// process table is read every millisecond meanwhile. The UI thread's share of a
// request (writing the copy, starting the engine) is the longest request() call.
void BM_PreviewRequestStorm(benchmark::State &state)
{
    Thesis thesis;
    PreviewBuild build;
    int finished = 0;
    QObject::connect(&build, &PreviewBuild::finished, [&finished] { ++finished; });
    int most = 0;
    double longestRequest = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout,
                         [&most] { most = std::max(most, Corpus::enginesAlive()); });
        sampler.start(1);
        for (int n = 0; n < 30; ++n) {
            QElapsedTimer call;
            call.start();
            build.request(thesis.edited(n));
            longestRequest = std::max(longestRequest, double(call.nsecsElapsed()) / 1e6);
            while (timer.elapsed() < (n + 1) * 100)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        while (build.state() == PreviewBuild::State::Typesetting)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
    state.counters["most_engines"] = most;
    state.counters["request_max_ms"] = longestRequest;
    state.counters["finished"] = finished;
}

} // namespace

BENCHMARK(BM_PreviewThesis)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);
// One preparation of the whole book is long enough; its ten edits are the measure.
BENCHMARK(BM_PreviewBookChapter)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(10)
    ->Repetitions(1);
BENCHMARK(BM_PreviewRequestStorm)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
