// The document window's actions, as the menus and the toolbar fire them: compile,
// the panes, find, Go to Line, commenting, undo and redo.
#include "app/MyDocument.h"

#include "app/GoToFileDialog.h"
#include "compile/ConsoleViewController.h"
#include "compile/EngineChoice.h"
#include "compile/EngineCommand.h"
#include "compile/LatexCompiler.h"
#include "editor/QSTextView.h"
#include "find/FindAndReplaceViewController.h"
#include "model/MagicComments.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSUndoManager.h"
#include "model/TextStorageDelegate.h"
#include "pdf/QSPDFViewController.h"
#include "ui_MyDocument.h"

#include <QDir>
#include <QInputDialog>
#include <QMainWindow>
#include <QStatusBar>
#include <limits>

// An untitled document is saved first and compiled at the next request; a save
// that fails compiles nothing, since the engine would read an older text.
void MyDocument::compileDocument()
{
    compile(false);
}

void MyDocument::compileDocumentWithBibliography()
{
    compile(true);
}

void MyDocument::compile(bool withBibliography)
{
    if (!_fileOpened)
        return;
    // A new document is saved first, where the user says, then compiled; a document
    // without unsaved edits is compiled as it is on disk, without writing it again.
    if (((_fileOpened->isUntitled() || isDocumentEdited()) && !saveDocument())
        || _fileOpened->isUntitled())
        return;
    const std::shared_ptr<QSFile> root = compiledRoot();
    QStringList notices;
    if (!_root.problem().isEmpty())
        notices
            << tr("%1: %2 is compiled as its own root.").arg(_root.problem(), _fileOpened->name());
    const EngineChoice choice = EngineChoice::choose(magicProgram(), root->pathText());
    if (!choice.problem.isEmpty())
        notices << tr("%1: %2 runs instead, as %3.")
                       .arg(choice.problem, EngineCommand::displayName(choice.engine),
                            choice.source == EngineChoice::Source::Document
                                ? tr("the Typeset menu chooses for this document")
                                : tr("the preferences choose"));
    const EngineCommand command = EngineCommand::forEngine(choice.engine, withBibliography);
    if (!notices.isEmpty())
        showStatusMessage(notices.first());
    if (!command.note.isEmpty())
        notices << command.note;
    updateWindowTitle();
    _consoleViewController->compileFile(root, command, notices);
}

std::shared_ptr<QSFile> MyDocument::compiledRoot()
{
    return _root.update(_fileOpened);
}

// The root's magic comment, else the one of the window's file: a chapter often
// names both its root and the engine.
QString MyDocument::magicProgram()
{
    const std::shared_ptr<QSFile> root = compiledRoot();
    if (!root || root->isUntitled())
        return QString();
    const QString program = MagicComments::readFile(root->pathText()).program;
    return program.isEmpty() && root != _fileOpened
               ? MagicComments::readFile(_fileOpened->pathText()).program
               : program;
}

QString MyDocument::documentEngine()
{
    const std::shared_ptr<QSFile> root = compiledRoot();
    return root && !root->isUntitled() ? EngineChoice::documentEngine(root->pathText()) : QString();
}

void MyDocument::setDocumentEngine(const QString &engine)
{
    const std::shared_ptr<QSFile> root = compiledRoot();
    if (root && !root->isUntitled())
        EngineChoice::setDocumentEngine(root->pathText(), engine);
}

void MyDocument::showStatusMessage(const QString &message)
{
    _curWindow->statusBar()->showMessage(message, 15000);
}

void MyDocument::stopCompiling()
{
    _consoleViewController->latexCompiler()->stopCompiling();
}

void MyDocument::showConsoleView()
{
    _consoleViewController->animatedExpansionToHeight(ConsoleViewController::openHeight);
}

void MyDocument::hideConsoleView()
{
    _consoleViewController->animatedExpansionToHeight(1);
}

void MyDocument::showPDFView()
{
    _pdfViewController->showPDFViewWithAnimation(true);
}

void MyDocument::hidePDFView()
{
    _pdfViewController->hidePDFViewWithAnimation(true);
}

void MyDocument::showFindAndReplace()
{
    _findAndReplaceCustomViewController->showFindAndReplace();
}

void MyDocument::hideFindAndReplace()
{
    _findAndReplaceCustomViewController->hideFindAndReplace();
}

void MyDocument::nextFindResult()
{
    _findAndReplaceCustomViewController->findNext();
}

void MyDocument::previousFindResult()
{
    _findAndReplaceCustomViewController->findPrevious();
}

void MyDocument::printState()
{
    if (_fileOpened)
        _fileOpened->printStructure();
}

void MyDocument::goToLine()
{
    QSTextView *text = _ui->textView;
    bool chosen = false;
    const int line = QInputDialog::getInt(
        _curWindow, tr("Go to Line"), tr("Line (1 to %1):").arg(text->blockCount()),
        text->textCursor().blockNumber() + 1, 1, std::numeric_limits<int>::max(), 1, &chosen);
    if (chosen)
        text->goToLine(line);
}

void MyDocument::goToFile()
{
    if (!_fileOpened)
        return;
    const QList<std::shared_ptr<QSFile>> files = QSFilePool::fileList(_fileOpened.get());
    const QDir folder(_fileOpened->directory());
    QStringList paths;
    for (const std::shared_ptr<QSFile> &file : files)
        paths << (file->isUntitled() ? file->name() : folder.relativeFilePath(file->pathText()));
    auto *dialog = new GoToFileDialog(paths, _curWindow);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &GoToFileDialog::fileChosen, this, [this, files](int index) {
        const std::shared_ptr<QSFile> &file = files[index];
        selectRange(file->currentSelection(), file);
        focusText();
    });
    dialog->open();
}

void MyDocument::toggleComment()
{
    _ui->textView->toggleCommentOnSelectedLines();
}

// A Replace All over several files is one step: the find strip takes it back.
void MyDocument::undo()
{
    QString refused;
    if (_findAndReplaceCustomViewController->undoReplaceAll(&refused)) {
        if (!refused.isEmpty())
            showStatusMessage(tr("Nothing was undone: %1").arg(refused));
        return;
    }
    if (QSUndoManager *undoManager = _textStorageDelegate->undoManagerForTextView())
        undoManager->undo();
}

void MyDocument::redo()
{
    QString refused;
    if (_findAndReplaceCustomViewController->redoReplaceAll(&refused)) {
        if (!refused.isEmpty())
            showStatusMessage(tr("Nothing was redone: %1").arg(refused));
        return;
    }
    if (QSUndoManager *undoManager = _textStorageDelegate->undoManagerForTextView())
        undoManager->redo();
}
