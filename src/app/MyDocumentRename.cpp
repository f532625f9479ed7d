// Find Usages and Rename in the document window: the name at the caret, its
// places, and the renaming of them in every file (and on disk) as one step.
#include "app/MyDocument.h"

#include "app/BibEntryRename.h"
#include "app/FileRename.h"
#include "app/OutlineViewDataSource.h"
#include "app/RenameDialog.h"
#include "editor/QSTextView.h"
#include "find/FindAndReplaceViewController.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"
#include "model/TextStorageDelegate.h"
#include "model/UsageScanner.h"
#include "ui_MyDocument.h"

#include <QDir>
#include <QFutureWatcher>
#include <QMenu>
#include <QMessageBox>
#include <QTreeView>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

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
    if (findIncludesAtCaret())
        return;
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

// The file that the include name at the caret gives; none when the caret stands on
// no include name, an empty path (said in the status bar) when no file is there.
std::optional<QString> MyDocument::includedFileAtCaret(const std::shared_ptr<QSFile> &root)
{
    const std::shared_ptr<QSFile> shown = _textStorageDelegate->selectedFile();
    if (!root || root->isUntitled() || !shown || shown->isUntitled())
        return std::nullopt;
    const QString content = _ui->textView->toPlainText();
    const std::optional<FileRename::Include> include =
        FileRename::includeAt(content, _ui->textView->textCursor().position());
    if (!include)
        return std::nullopt;
    const QString written = content.mid(include->start, include->length);
    const QString path = FileRename::pathOf(written, shown->directory(), root->directory());
    if (path.isEmpty())
        showStatusMessage(tr("There is no file %1.").arg(written));
    return path;
}

// On an include's file name: the includes that name that file, in the status bar.
bool MyDocument::findIncludesAtCaret()
{
    const std::shared_ptr<QSFile> root = compiledRoot();
    const std::optional<QString> path = includedFileAtCaret(root);
    if (!path)
        return false;
    if (path->isEmpty())
        return true;
    const QList<DocumentMatches::Source> sources = DocumentMatches::sourcesOf(root);
    QStringList places;
    for (const FileRename::Place &place : FileRename::placesOf(*path, sources)) {
        const auto source = std::find_if(
            sources.cbegin(), sources.cend(),
            [&place](const DocumentMatches::Source &s) { return s.file == place.file; });
        places << tr("%1, line %2")
                      .arg(source->name)
                      .arg(QStringView(source->text).left(place.include.start).count(u'\n') + 1);
    }
    showStatusMessage(
        tr("%1 is named in %2.")
            .arg(QDir(root->directory()).relativeFilePath(*path), places.join(tr("; "))));
    return true;
}

// The places are looked for again when the user accepts: text changed meanwhile
// (typed in another window, read again from disk) is never renamed at the places
// the dialog showed. Every file the rename writes or changes is looked at before
// any is written: one that cannot take it stops the whole rename.
void MyDocument::renameAtCaret()
{
    const std::shared_ptr<QSFile> root = compiledRoot();
    if (!root)
        return;
    if (renameIncludedFileAtCaret(root))
        return;
    const std::optional<UsageName> name = nameAtCaret();
    if (!name)
        return;
    const bool key = name->kind == UsageName::Kind::CitationKey;
    // A .bib shown alone does not say which documents cite its keys.
    if (key && root->name().endsWith(QStringLiteral(".bib"), Qt::CaseInsensitive)) {
        showStatusMessage(tr("Rename %1 at one of its citations, in the window of the document "
                             "that cites it: its entry here is renamed with them.")
                              .arg(name->name));
        return;
    }
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
    if (const QString shared = BibEntryRename::sharedRefusal(databases, name->name);
        !shared.isEmpty()) {
        showStatusMessage(shared);
        return;
    }
    auto *dialog = new RenameDialog(*name, sources, databases, _curWindow);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QDialog::accepted, this, [this, dialog, name = *name, root, key] {
        // What the dialog holds is taken now: it closes. The places are looked for
        // again off the UI thread, in the texts as they are now; the rename is made
        // when that is done, if no text changed meanwhile.
        const QList<DocumentMatches::Source> now = DocumentMatches::sourcesOf(root);
        const RenameDialog::Databases databasesNow =
            key ? BibEntryRename::read(root, name.name) : RenameDialog::Databases();
        const QString newName = dialog->newName();
        const QList<RenameDialog::Place> shown = dialog->places();
        const QSet<std::pair<const QSFile *, qint32>> leftOut = dialog->leftOut();
        const QList<BibEntryRename::Write> writes =
            BibEntryRename::plan(databasesNow, name.name, newName, dialog->leftOutOfDatabases());
        const QString unsavable = dialog->unsavableFile();
        auto *looking = new QFutureWatcher<bool>(this);
        connect(looking, &QFutureWatcherBase::finished, this, [=, this] {
            looking->deleteLater();
            const bool changed =
                std::any_of(now.cbegin(), now.cend(), [](const DocumentMatches::Source &source) {
                    return !source.file->content().isSharedWith(source.text);
                });
            QString refused;
            if (!looking->result() || changed)
                refused = tr("The text changed while the places were shown. Rename again to "
                             "see the places as they are now.");
            if (refused.isEmpty())
                refused = BibEntryRename::sharedRefusal(databasesNow, name.name);
            if (refused.isEmpty())
                refused = unsavable;
            if (refused.isEmpty())
                refused = BibEntryRename::refusal(writes);
            if (refused.isEmpty())
                refused = BibEntryRename::write(writes);
            if (!refused.isEmpty()) {
                renameRefused(refused);
                return;
            }
            std::function<QString(bool)> onDisk;
            if (!writes.isEmpty())
                onDisk = [writes](bool back) {
                    const QString why = BibEntryRename::refusal(writes, back);
                    return why.isEmpty() ? BibEntryRename::write(writes, back) : why;
                };
            QList<std::pair<const QSFile *, QSRange>> places;
            for (const RenameDialog::Place &place : shown)
                if (place.file && !leftOut.contains({place.file.get(), place.offset}))
                    places.append({place.file.get(),
                                   QSRange{quint32(place.offset), quint32(name.name.size())}});
            _findAndReplaceCustomViewController->replaceUsages(name, newName, places, onDisk);
            showStatusMessage(tr("Renamed %1 to %2.").arg(name.name, newName));
        });
        looking->setFuture(QtConcurrent::run([name, now, databasesNow, newName, shown] {
            return RenameDialog::placesIn(name, now, databasesNow) == shown
                   && RenameDialog::refusal(name, newName, now, databasesNow).isEmpty();
        }));
    });
    dialog->open();
}

std::shared_ptr<QSFile> MyDocument::includedFileOfRow(const QModelIndex &row) const
{
    if (_ui->outlineView->model() != _outlineViewDataSource)
        return nullptr;
    const std::shared_ptr<QSSectionNode> node = _outlineViewDataSource->nodeForIndex(row);
    const std::shared_ptr<QSFile> file =
        node && node->isFileNode() ? QSFilePool::fileAndLocationOfNode(*node).first : nullptr;
    return file && !file->isUntitled() ? file : nullptr;
}

void MyDocument::outlineMenu(const QPoint &position)
{
    QTreeView *outline = _ui->outlineView;
    const std::shared_ptr<QSFile> root = compiledRoot();
    const std::shared_ptr<QSFile> file = includedFileOfRow(outline->indexAt(position));
    if (!root || root->isUntitled() || !file || file == root)
        return;
    auto *menu = new QMenu(outline);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(tr("Rename File %1...").arg(file->name()), this,
                    [this, root, path = file->pathText()] { renameFile(root, path); });
    menu->popup(outline->viewport()->mapToGlobal(position));
}

void MyDocument::followMovedFile()
{
    const auto [from, to] = _movedFile;
    const std::shared_ptr<QSFile> shown = _textStorageDelegate->selectedFile();
    if (from.isEmpty() || !shown || shown->pathText() != from) {
        _movedFile = {};
        return;
    }
    const std::shared_ptr<QSFile> moved =
        QSFilePool::sharedFilePool()->fileObjectForPath(QUrl::fromLocalFile(to));
    if (!moved || !QSFilePool::fileList(_fileOpened.get()).contains(moved))
        return;
    _movedFile = {};
    _textStorageDelegate->setSelectedFile(moved);
}

void MyDocument::renameRefused(const QString &why)
{
    auto *message =
        new QMessageBox(QMessageBox::Warning, tr("Nothing was renamed"),
                        tr("Nothing was renamed: %1").arg(why), QMessageBox::Ok, _curWindow);
    message->setObjectName(QStringLiteral("renameRefused"));
    message->setAttribute(Qt::WA_DeleteOnClose);
    message->setWindowModality(Qt::WindowModal);
    message->open();
}

// The caret on the name of an \input, \include or \includeonly, or the outline's
// row of an included file while the outline has the keyboard: that file.
bool MyDocument::renameIncludedFileAtCaret(const std::shared_ptr<QSFile> &root)
{
    if (root->isUntitled())
        return false;
    if (_ui->outlineView->hasFocus()) {
        if (const std::shared_ptr<QSFile> file =
                includedFileOfRow(_ui->outlineView->currentIndex());
            file && file != root) {
            renameFile(root, file->pathText());
            return true;
        }
    }
    const std::optional<QString> path = includedFileAtCaret(root);
    if (!path)
        return false;
    if (!path->isEmpty())
        renameFile(root, *path);
    return true;
}

// The file is renamed or moved on disk, and every include of it rewritten. Its own
// unsaved edits would be lost when the pool reads it from its new place: it is
// saved first.
void MyDocument::renameFile(const std::shared_ptr<QSFile> &root, const QString &path)
{
    const QString rootFolder = root->directory();
    const UsageName name{UsageName::Kind::File,
                         QDir::fromNativeSeparators(QDir(rootFolder).relativeFilePath(path))};
    auto *dialog = new RenameDialog(name, DocumentMatches::sourcesOf(root), {}, _curWindow);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QDialog::accepted, this, [this, dialog, name, root, path, rootFolder] {
        const QList<DocumentMatches::Source> now = DocumentMatches::sourcesOf(root);
        const QString newPath = QDir::cleanPath(QDir(rootFolder).filePath(dialog->newName()));
        QString refused;
        if (RenameDialog::placesIn(name, now) != dialog->places())
            refused = tr("The text changed while the places were shown. Rename again to see "
                         "the places as they are now.");
        if (refused.isEmpty())
            refused = RenameDialog::refusal(name, dialog->newName(), now);
        if (refused.isEmpty())
            refused = dialog->unsavableFile();
        const std::shared_ptr<QSFile> moved =
            QSFilePool::sharedFilePool()->fileObjectForPath(QUrl::fromLocalFile(path));
        if (refused.isEmpty() && moved && moved->hasContentChangedSinceLastSave(false)
            && !moved->saveFile())
            refused =
                tr("%1 could not be saved first: %2").arg(moved->name(), moved->lastSaveError());
        // The places are found while the file is where they name it.
        const QSet<std::pair<const QSFile *, qint32>> leftOut = dialog->leftOut();
        QHash<const QSFile *, QList<FindAndReplaceViewController::Edit>> edits;
        for (const FileRename::Place &place : FileRename::placesOf(path, now)) {
            if (leftOut.contains({place.file.get(), qint32(place.include.start)}))
                continue;
            edits[place.file.get()].append(
                {QSRange{quint32(place.include.start), quint32(place.include.length)},
                 FileRename::newName(place, place.file->content(), newPath)});
        }
        if (refused.isEmpty())
            refused = FileRename::move(path, newPath);
        if (!refused.isEmpty()) {
            renameRefused(refused);
            return;
        }
        // Moved back by Undo, and again by Redo, while nothing took either place.
        const auto moveShown = [this](const QString &from, const QString &to) {
            const std::shared_ptr<QSFile> shown = _textStorageDelegate->selectedFile();
            _movedFile = shown && shown->pathText() == from ? std::pair{from, to}
                                                            : std::pair<QString, QString>();
        };
        moveShown(path, newPath);
        _findAndReplaceCustomViewController->replaceSpans(
            [&edits](const QSFile &file, const QString &) { return edits.value(&file); },
            [path, newPath, moveShown](bool back) {
                const QString from = back ? newPath : path;
                const QString to = back ? path : newPath;
                const QString why = FileRename::move(from, to);
                if (why.isEmpty())
                    moveShown(from, to);
                return why;
            });
        showStatusMessage(tr("Renamed %1 to %2.").arg(name.name, dialog->newName()));
    });
    dialog->open();
}
