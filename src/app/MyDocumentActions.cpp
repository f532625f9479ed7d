// The document window's actions, as the menus and the toolbar fire them: compile,
// the panes, find, Go to Line, commenting, undo and redo.
#include "app/MyDocument.h"

#include "app/BibEntryRename.h"
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

// A key's entries in the bibliography databases are named in the status bar: the
// list holds the document's own files.
void MyDocument::findUsages()
{
    const std::optional<UsageName> name = nameAtCaret();
    if (!name)
        return;
    _findAndReplaceCustomViewController->listUsages(*name);
    if (name->kind != UsageName::Kind::CitationKey)
        return;
    QStringList entries;
    for (const BibEntryRename::Database &database :
         BibEntryRename::read(compiledRoot(), name->name))
        for (const Usage &entry : database.places)
            entries << tr("%1, line %2")
                           .arg(database.name)
                           .arg(QStringView(database.text).left(entry.offset).count(u'\n') + 1);
    if (!entries.isEmpty())
        showStatusMessage(tr("The entry of %1: %2.").arg(name->name, entries.join(tr("; "))));
}

// The places are looked for again when the user accepts: text changed meanwhile
// (typed in another window, read again from disk) is never renamed at the places
// the dialog showed. Every file the rename writes or changes is looked at before
// any is written: one that cannot take it stops the whole rename.
void MyDocument::renameAtCaret()
{
    const std::optional<UsageName> name = nameAtCaret();
    const std::shared_ptr<QSFile> root = compiledRoot();
    if (!name || !root)
        return;
    const bool key = name->kind == UsageName::Kind::CitationKey;
    const QList<DocumentMatches::Source> sources = DocumentMatches::sourcesOf(root);
    const RenameDialog::Databases databases =
        key ? BibEntryRename::read(root, name->name) : RenameDialog::Databases();
    if (!RenameDialog::isDefined(*name, sources, databases)) {
        showStatusMessage(key ? tr("No \\bibitem or entry of the document's bibliography "
                                   "databases defines %1: nothing was renamed.")
                                    .arg(name->name)
                              : tr("\\%1 is not defined in this document: only what the "
                                   "document defines can be renamed.")
                                    .arg(name->name));
        return;
    }
    auto *dialog = new RenameDialog(*name, sources, databases, _curWindow);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QDialog::accepted, this, [this, dialog, name = *name, root, key] {
        const QList<DocumentMatches::Source> now = DocumentMatches::sourcesOf(root);
        const RenameDialog::Databases databasesNow =
            key ? BibEntryRename::read(root, name.name) : RenameDialog::Databases();
        const QString newName = dialog->newName();
        QString refused;
        if (RenameDialog::placesIn(name, now, databasesNow) != dialog->places()
            || !RenameDialog::refusal(name, newName, now, databasesNow).isEmpty())
            refused = tr("The text changed while the places were shown. Rename again to see "
                         "the places as they are now.");
        const QList<BibEntryRename::Write> writes =
            BibEntryRename::plan(databasesNow, name.name, newName, dialog->leftOutOfDatabases());
        if (refused.isEmpty())
            refused = dialog->unsavableFile();
        if (refused.isEmpty())
            refused = BibEntryRename::refusal(writes);
        if (refused.isEmpty())
            refused = BibEntryRename::write(writes);
        if (!refused.isEmpty()) {
            auto *message = new QMessageBox(QMessageBox::Warning, tr("Nothing was renamed"),
                                            tr("Nothing was renamed: %1").arg(refused),
                                            QMessageBox::Ok, _curWindow);
            message->setObjectName(QStringLiteral("renameRefused"));
            message->setAttribute(Qt::WA_DeleteOnClose);
            message->setWindowModality(Qt::WindowModal);
            message->open();
            return;
        }
        std::function<QString(bool)> onDisk;
        if (!writes.isEmpty())
            onDisk = [writes](bool back) {
                const QString why = BibEntryRename::refusal(writes, back);
                return why.isEmpty() ? BibEntryRename::write(writes, back) : why;
            };
        _findAndReplaceCustomViewController->replaceUsages(name, newName, dialog->leftOut(),
                                                           onDisk);
        showStatusMessage(tr("Renamed %1 to %2.").arg(name.name, newName));
    });
    dialog->open();
}
