// The file side of the document window: opening, saving, and letting files go
// when the window closes or an include goes.
#include "app/MyDocument.h"

#include "app/LivePreview.h"

#include "app/DocumentFilesWatcher.h"
#include "app/DocumentTabs.h"
#include "app/OutlineViewDataSource.h"
#include "app/SaveChangesController.h"
#include "app/SessionKeeper.h"
#include "model/ChangesQueue.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSUndoManager.h"
#include "model/TextStorageDelegate.h"
#include "platform/Assertions.h"
#include "platform/DocumentController.h"

#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QStandardPaths>
#include <QUrl>

bool MyDocument::readFromURL(const QUrl &location, QString *errorMessage)
{
    _curPath = QSFilePool::poolKey(location);
    _fileOpened = QSFilePool::sharedFilePool()->readFile(location);
    if (_fileOpened)
        return true;
    if (errorMessage) {
        *errorMessage =
            tr("\"%1\" could not be opened.").arg(location.toLocalFile()) + QStringLiteral("\n\n")
            + tr("This might have something to do with the file-encoding") + QStringLiteral("\n")
            + tr("Try changing the file encoding settings in preferences");
    }
    return false;
}

QStringList MyDocument::namesOfUnsavedFiles() const
{
    QStringList names;
    if (!_fileOpened)
        return names;
    for (const std::shared_ptr<QSFile> &file : QSFilePool::fileList(_fileOpened.get())) {
        if (file->hasContentChangedSinceLastSave(false))
            names << (file->isUntitled() ? displayName() : file->name());
    }
    return names;
}

void MyDocument::setIsDocumentEdited(bool edited)
{
    _isDocumentEdited = edited;
    if (_curWindow)
        _curWindow->setWindowModified(edited);
    if (_tabs)
        _tabs->showEditedFiles();
}

bool MyDocument::closeTab()
{
    return _tabs && _tabs->closeCurrent(_fileOpened);
}

// Every window that shows the document's files follows the files read again:
// its outline and, when it shows one of them, its text.
void MyDocument::filesWereReadAgain()
{
    if (ChangesQueue *queue = ChangesQueue::sharedQueue())
        queue->announceTreeChanges(QSFilePool::fileList(_fileOpened.get()));
    // A header read again may name another encoding or language.
    showEncoding();
    showEncodingNotices();
    useChosenSpellChecker();
}

bool MyDocument::isUntouched() const
{
    return _fileOpened && _fileOpened->isUntitled() && !_isDocumentEdited
           && _fileOpened->undoManager().stateOfText() == 0;
}

// A file of the document, held in the pool under its path.
static std::shared_ptr<QSFile> fileOfDocument(const std::shared_ptr<QSFile> &root,
                                              const QString &path)
{
    const std::shared_ptr<QSFile> held =
        QSFilePool::sharedFilePool()->fileObjectForPath(QUrl::fromLocalFile(path));
    return held && root && QSFilePool::fileList(root.get()).contains(held) ? held : nullptr;
}

bool MyDocument::holdsFile(const QString &path) const
{
    return fileOfDocument(_fileOpened, path) != nullptr;
}

void MyDocument::showFile(const QString &path)
{
    if (const std::shared_ptr<QSFile> file = fileOfDocument(_fileOpened, path))
        selectRange(file->currentSelection(), file);
}

void MyDocument::windowWillClose()
{
    if (const DocumentController *documents = DocumentController::sharedDocumentController())
        SessionKeeper::windowClosing(*documents, this);
    QSFilePool *pool = QSFilePool::sharedFilePool();
    // The named root holds the window's file as one of its includes.
    _root.release();
    if (_fileOpened) {
        pool->closeFile(_fileOpened->path());
        pool->reAssignFile(_fileOpened, this);
    }
    storeWindowFrame();
}

void MyDocument::willCloseFile(const std::shared_ptr<QSFile> &file)
{
    QSFilePool *pool = QSFilePool::sharedFilePool();
    const QList<std::shared_ptr<QSFile>> unsaved = pool->filesLeavingUnsavedIfClosed(file);
    if (unsaved.isEmpty()) {
        pool->closeFile(file->path());
        return;
    }
    auto *controller = new SaveChangesController(unsaved, file, _curWindow);
    controller->open();
}

bool MyDocument::saveDocument()
{
    if (!_fileOpened || _fileOpened->isUntitled())
        return saveDocumentAs();
    return saveDocumentToURL(_fileOpened->path());
}

bool MyDocument::saveDocumentAs()
{
    QFileDialog panel(_curWindow, tr("Save As"),
                      QStandardPaths::writableLocation(QStandardPaths::HomeLocation),
                      tr("LaTeX files (*.tex)"));
    panel.setWindowModality(Qt::WindowModal);
    panel.setAcceptMode(QFileDialog::AcceptSave);
    panel.setDefaultSuffix(QStringLiteral("tex"));
    panel.selectFile(QStringLiteral(".tex"));
    if (panel.exec() != QDialog::Accepted || panel.selectedFiles().isEmpty())
        return false;
    return saveDocumentToURL(QUrl::fromLocalFile(panel.selectedFiles().first()));
}

bool MyDocument::saveDocumentToURL(const QUrl &location)
{
    QS_ASSERT(location.isValid(), "url was nil");
    // The root file is written from its tree: every edit must have reached it.
    if (ChangesQueue *queue = ChangesQueue::sharedQueue())
        queue->waitUntilIdle();
    QStringList failed;
    QStringList reasons;
    const std::shared_ptr<QSFile> saved =
        QSFilePool::sharedFilePool()->saveFileWithPath(_curPath, location, &failed, &reasons);
    if (saved && saved != _fileOpened) {
        // The document goes on with another file: the one it was saved as, or the file
        // that was open already and took over the text; the windows that show that
        // file follow its new text.
        _fileOpened = saved;
        QSFilePool::sharedFilePool()->assignFile(saved, this);
        _textStorageDelegate->setSelectedFile(saved);
        _outlineViewDataSource->setRootItem(saved->treeRootNode());
        filesWereReadAgain();
    }
    if (!failed.isEmpty()) {
        // Nothing was written over these files and their text stays here, edited.
        QStringList lines;
        for (qsizetype i = 0; i < failed.size(); ++i)
            lines << failed.at(i) + QStringLiteral("\n    ") + reasons.value(i);
        auto *message =
            new QMessageBox(QMessageBox::Warning, tr("The document could not be saved"),
                            tr("These files could not be saved:\n%1").arg(lines.join(u'\n')),
                            QMessageBox::Ok, _curWindow);
        message->setObjectName(QStringLiteral("saveFailedMessage"));
        message->setAttribute(Qt::WA_DeleteOnClose);
        message->setWindowModality(Qt::WindowModal);
        message->open();
        return false;
    }
    _curPath = QSFilePool::poolKey(location);
    setProperty("filePath", _curPath);
    if (DocumentController *documents = DocumentController::sharedDocumentController())
        documents->noteRecentDocument(location.toLocalFile());
    // From its first save on, the document goes by its root file's name: in the title,
    // in the outline's top row (which keeps the names it last read) and in the question
    // asked when it closes. Its untitled name is free again for the next new document.
    if (!_fileOpened->isUntitled())
        setDisplayName(_fileOpened->name());
    _outlineViewDataSource->reloadFromTree();
    updateWindowTitle();
    _filesWatcher->watchFiles();
    // The live preview stays as it was, now remembered for the name saved under.
    _livePreview->setOn(_livePreview->isOn());
    return true;
}
