// Opening one large file: read, decode and parse it into nodes, against the floor of
// reading, decoding and scanning it once with the outline pattern.
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"
#include "platform/TextEncoding.h"
#include "platform/UserDefaults.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// About 5 MB with 10,000 sectioning commands and prose between them.
const QString &largeFilePath()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString filePath = dir.filePath(QStringLiteral("large.tex"));
        UserDefaults::standardUserDefaults().useSettingsFile(
            dir.filePath(QStringLiteral("settings.ini")));
        QByteArray text = "\\documentclass{book}\n\\begin{document}\n";
        const QByteArray paragraph =
            "Sätze über das Verhalten von $f(x) = \\sum_{k=0}^n a_k x^k$ folgen aus dem Lemma. "
            "% a comment with \\section{not real}? it counts all the same\n";
        const char *commands[] = {"chapter", "section", "subsection", "subsubsection"};
        for (int i = 0; i < 10000; ++i) {
            text +=
                QByteArray("\\") + commands[i % 4] + "{Heading " + QByteArray::number(i) + "}\n";
            while (text.size() < qsizetype(i + 1) * 500)
                text += paragraph;
        }
        text += "\\end{document}\n";
        QFile file(filePath);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            qFatal("cannot write the benchmark file");
        return filePath;
    }();
    return path;
}

void BM_OpenLargeFile(benchmark::State &state)
{
    const QUrl url = QUrl::fromLocalFile(largeFilePath());
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
        QFile file(largeFilePath());
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
BENCHMARK_MAIN();
