// The document window's actions, as the menus and the toolbar fire them: compile,
// the panes, find, Go to Line, commenting, undo and redo.
#include "app/MyDocument.h"

#include "app/GoToFileDialog.h"
#include "app/RenameDialog.h"
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
#include "model/UsageScanner.h"
#include "pdf/QSPDFViewController.h"
#include "ui_MyDocument.h"

#include <QDir>
#include <QInputDialog>
#include <QMainWindow>
#include <QMessageBox>
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
    if (_findAndReplaceCustomViewController->undoReplaceAll())
        return;
    if (QSUndoManager *undoManager = _textStorageDelegate->undoManagerForTextView())
        undoManager->undo();
}

void MyDocument::redo()
{
    if (_findAndReplaceCustomViewController->redoReplaceAll())
        return;
    if (QSUndoManager *undoManager = _textStorageDelegate->undoManagerForTextView())
        undoManager->redo();
}

std::optional<UsageName> MyDocument::nameAtCaret()
{
    const std::shared_ptr<QSFile> shown = _textStorageDelegate->selectedFile();
    if (!shown)
        return std::nullopt;
    const QSTextView *text = _ui->textView;
    const QString content = text->toPlainText();
    const qsizetype caret = text->textCursor().position();
    const std::optional<UsageName> name =
        shown->name().endsWith(QStringLiteral(".bib"), Qt::CaseInsensitive)
            ? UsageScanner::nameAtInBib(content, caret)
            : UsageScanner::nameAt(content, caret);
    if (!name)
        showStatusMessage(tr("The caret is on no label, citation key, command or environment."));
    return name;
}

void MyDocument::findUsages()
{
    if (const std::optional<UsageName> name = nameAtCaret())
        _findAndReplaceCustomViewController->listUsages(*name);
}

// The places are looked for again when the user accepts: text changed meanwhile
// (typed in another window, read again from disk) is never renamed at the places
// the dialog showed.
void MyDocument::renameAtCaret()
{
    const std::optional<UsageName> name = nameAtCaret();
    const std::shared_ptr<QSFile> root = compiledRoot();
    if (!name || !root)
        return;
    const QList<DocumentMatches::Source> sources = DocumentMatches::sourcesOf(root);
    if (!RenameDialog::isDefined(*name, sources)) {
        showStatusMessage(
            name->kind == UsageName::Kind::CitationKey
                ? tr("The entry of %1 is in a bibliography database, which Rename does not "
                     "change: nothing was renamed.")
                      .arg(name->name)
                : tr("\\%1 is not defined in this document: only what the document defines "
                     "can be renamed.")
                      .arg(name->name));
        return;
    }
    auto *dialog = new RenameDialog(*name, sources, _curWindow);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QDialog::accepted, this, [this, dialog, name = *name, root] {
        const QList<DocumentMatches::Source> now = DocumentMatches::sourcesOf(root);
        if (RenameDialog::placesIn(name, now) != dialog->places()
            || !RenameDialog::refusal(name, dialog->newName(), now).isEmpty()) {
            auto *message = new QMessageBox(
                QMessageBox::Warning, tr("Nothing was renamed"),
                tr("The text changed while the places were shown: nothing was renamed. "
                   "Rename again to see the places as they are now."),
                QMessageBox::Ok, _curWindow);
            message->setObjectName(QStringLiteral("renameRefused"));
            message->setAttribute(Qt::WA_DeleteOnClose);
            message->setWindowModality(Qt::WindowModal);
            message->open();
            return;
        }
        _findAndReplaceCustomViewController->replaceUsages(name, dialog->newName(),
                                                           dialog->leftOut());
        showStatusMessage(tr("Renamed %1 to %2.").arg(name.name, dialog->newName()));
    });
    dialog->open();
}
