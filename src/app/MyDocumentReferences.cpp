// The window's part in the reference checks: what the checker is told, and where
// its problems are shown.
#include "app/MyDocument.h"

#include "compile/ConsoleViewController.h"
#include "compile/ErrorOutlineDataSource.h"
#include "editor/QSTextView.h"
#include "editor/references/ReferenceChecker.h"
#include "model/ChangesQueue.h"
#include "model/ErrorWarningNode.h"
#include "model/QSFile.h"
#include "model/TextStorageDelegate.h"

#include <algorithm>

// Checked on a thread of the checker's own, after each pass of the edit worker; the
// text view underlines the shown file's problems, and the console's error tree lists
// them all.
void MyDocument::connectReferenceChecks()
{
    // The root a "% !TeX root" comment names is the document whose labels count.
    auto *checker = new ReferenceChecker(
        [this] {
            const std::shared_ptr<QSFile> named = _root.namedRoot();
            return named ? named : _fileOpened;
        },
        this);
    if (ChangesQueue *queue = ChangesQueue::sharedQueue()) {
        connect(queue, &ChangesQueue::treeDidChange, checker, &ReferenceChecker::fileChanged);
        connect(queue, &ChangesQueue::symbolsDidChange, checker, &ReferenceChecker::symbolsChanged);
    }
    const auto markShownFile = [this, checker] {
        const std::shared_ptr<QSFile> shown = _textStorageDelegate->selectedFile();
        textView()->setReferenceProblems(shown ? checker->problemsIn(shown.get())
                                               : QList<ReferenceProblem>());
    };
    connect(_textStorageDelegate, &TextStorageDelegate::textViewReloaded, this, markShownFile);
    connect(checker, &ReferenceChecker::problemsChanged, this, [this, checker, markShownFile] {
        markShownFile();
        // Typing moves the problems after it in their file; their rows change only
        // when a line does.
        const auto sameRow = [](const ReferenceProblem &problem,
                                const std::shared_ptr<ErrorWarningNode> &row) {
            return problem.line == row->lineNumber && problem.message == row->msg
                   && !problem.file.owner_before(row->file)
                   && !row->file.owner_before(problem.file);
        };
        const QList<std::shared_ptr<ErrorWarningNode>> &listed =
            _consoleViewController->errorOutlineDataSource()->referenceProblems();
        if (std::equal(checker->problems().cbegin(), checker->problems().cend(), listed.cbegin(),
                       listed.cend(), sameRow))
            return;
        QList<std::shared_ptr<ErrorWarningNode>> rows;
        for (const ReferenceProblem &problem : checker->problems()) {
            auto row = std::make_shared<ErrorWarningNode>();
            row->file = problem.file;
            row->type = QStringLiteral("warning");
            row->msg = problem.message;
            row->lineNumber = problem.line;
            rows << row;
        }
        _consoleViewController->setReferenceProblems(rows);
    });
}
