// Rename of a label in the 20 MB book through its dialog, as the user does it: the
// places looked for again and every file's text changed as one step, until the
// outline's row shows the new name; and how long the UI thread is held by it.
#include "Corpus.h"
#include "WindowEditor.h"
#include "app/OutlineViewDataSource.h"
#include "app/RenameDialog.h"
#include "model/ChangesQueue.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QTreeView>
#include <algorithm>
#include <benchmark/benchmark.h>

namespace {

void BM_RenameLabelBook(benchmark::State &state)
{
    Editor editor(Corpus::bookRootPath());
    MyDocument *document = editor.document;
    ChangesQueue::sharedQueue()->waitUntilIdle();
    QCoreApplication::processEvents();
    QString name = QStringLiteral("sec:50.1.7");
    int round = 0;
    qint64 longestHeld = 0;
    for (auto _ : state) {
        // The label's outline row puts the caret at the label.
        const QModelIndex row = rowNamed(document->outlineViewDataSource(), name, {});
        if (!row.isValid()) {
            state.SkipWithError("the label is not in the outline");
            return;
        }
        document->outlineView()->setCurrentIndex(row);
        document->renameAtCaret();
        auto *dialog = document->window()->findChild<RenameDialog *>();
        if (!dialog) {
            state.SkipWithError("no rename dialog");
            return;
        }
        const QString newName = QStringLiteral("sec:renamed.%1").arg(++round);
        dialog->findChild<QLineEdit *>()->setText(newName);
        QElapsedTimer timer;
        timer.start();
        dialog->accept();
        qint64 held = timer.nsecsElapsed();
        // The longest the UI thread is held at once until the outline has the new
        // name: the worker looks for the places, the edit worker reads the change.
        QElapsedTimer turn;
        while (!rowNamed(document->outlineViewDataSource(), newName, {}).isValid()
               && timer.elapsed() < 10000) {
            turn.start();
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            held = std::max(held, turn.nsecsElapsed());
        }
        if (!rowNamed(document->outlineViewDataSource(), newName, {}).isValid()) {
            state.SkipWithError("the outline did not follow");
            return;
        }
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
        longestHeld = std::max(longestHeld, held);
        state.counters["ui_held_ms"] = double(longestHeld) / 1e6;
        name = newName;
    }
}

} // namespace

BENCHMARK(BM_RenameLabelBook)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
