// Colouring in the 5 MB document: the whole text once, and the lines around one
// keystroke, as the text view's delegate asks after every edit.
#include "Corpus.h"
#include "editor/QSSyntaxHighlighter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTextBlock>
#include <benchmark/benchmark.h>

namespace {

QString largeText()
{
    QFile file(Corpus::largeFilePath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void BM_ColourWholeText(benchmark::State &state)
{
    const QSSyntaxHighlighter highlighter;
    QPlainTextEdit view;
    view.setPlainText(largeText());
    const QSRange all{0, quint32(view.document()->characterCount() - 1)};
    for (auto _ : state)
        highlighter.highlightTextView(&view, all);
}

void BM_ColourKeystroke(benchmark::State &state)
{
    const QSSyntaxHighlighter highlighter;
    QPlainTextEdit view;
    view.setPlainText(largeText());
    highlighter.highlightTextView(&view,
                                  QSRange{0, quint32(view.document()->characterCount() - 1)});
    QRandomGenerator random(7);
    for (auto _ : state) {
        const int at = int(random.bounded(view.document()->characterCount() - 1));
        QTextCursor cursor(view.document());
        cursor.setPosition(at);
        cursor.insertText(QStringLiteral("\\"));
        const QTextBlock block = view.document()->findBlock(at);
        QElapsedTimer timer;
        timer.start();
        highlighter.highlightTextView(
            &view, QSRange{quint32(block.position()), quint32(block.length() - 1)});
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
}

} // namespace

BENCHMARK(BM_ColourWholeText)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ColourKeystroke)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(2000);
