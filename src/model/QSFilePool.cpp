#include "model/QSFilePool.h"

#include "model/QSDocument.h"
#include "model/QSFile.h"
#include "model/QSSectionNode.h"
#include "platform/Log.h"
#include "platform/UiThread.h"

#include <QDir>
#include <QUrl>
#include <atomic>

namespace {
std::atomic<QSFilePool *> sharedPool{nullptr};
}

QSFilePool::QSFilePool()
{
    sharedPool = this;
}

QSFilePool::~QSFilePool()
{
    QSFilePool *self = this;
    sharedPool.compare_exchange_strong(self, nullptr);
}

QSFilePool *QSFilePool::sharedFilePool()
{
    return sharedPool;
}

std::recursive_mutex &QSFilePool::documentModelLock()
{
    static std::recursive_mutex lock;
    return lock;
}

// "ch/../main.tex" and "main.tex" are one file and must be one QSFile.
QString QSFilePool::poolKey(const QUrl &location)
{
    return QDir::cleanPath(location.toLocalFile());
}

QList<std::shared_ptr<QSFile>> QSFilePool::fileList(QSFile *file)
{
    std::lock_guard lock(documentModelLock());
    QList<QSFile *> files{file};
    file->addAllIncludedFilesToArray(&files);
    QList<std::shared_ptr<QSFile>> held;
    for (QSFile *each : std::as_const(files))
        held.append(each->shared_from_this());
    return held;
}

std::pair<std::shared_ptr<QSFile>, qint32>
QSFilePool::fileAndLocationOfNode(const QSSectionNode &node)
{
    std::lock_guard lock(documentModelLock());
    return {node.nodeFile(), node.isFileNode() ? 0 : node.nodeLocation()};
}

QString QSFilePool::nameOfNode(const QSSectionNode &node)
{
    std::lock_guard lock(documentModelLock());
    return node.nodeName();
}

std::optional<QSFilePool::ChangesOnDisk>
QSFilePool::readChangedFilesOfDocument(const std::shared_ptr<QSFile> &root)
{
    std::lock_guard lock(documentModelLock());
    if (!hasFilesInDocumentChanged(root))
        return std::nullopt;
    ChangesOnDisk changes;
    for (const std::shared_ptr<QSFile> &file : fileList(root.get())) {
        if (!file->hasFileChanged())
            continue;
        if (file->markGoneFromDisk()) {
            changes.gone << file->name();
            changesWasMadeToFile(file.get());
        } else if (file->hasContentChangedSinceLastSave(false)) {
            changes.conflicting << file->name();
        } else {
            changes.reread = file->readFile() || changes.reread;
        }
    }
    return changes;
}

QList<std::shared_ptr<QSFile>> QSFilePool::allFiles() const
{
    std::lock_guard lock(documentModelLock());
    return _filesAndContent.values();
}

std::shared_ptr<QSFile> QSFilePool::fileObjectForPath(const QUrl &location) const
{
    std::lock_guard lock(documentModelLock());
    return _filesAndContent.value(poolKey(location));
}

std::shared_ptr<QSFile> QSFilePool::readFile(const QUrl &location)
{
    std::lock_guard lock(documentModelLock());
    const QString key = poolKey(location);
    if (const std::shared_ptr<QSFile> held = _filesAndContent.value(key)) {
        held->readFile();
        increaseOpenCountForFile(location);
        return held;
    }
    if (_filesBeingRead.contains(key))
        return nullptr;
    _filesBeingRead.insert(key);
    const std::shared_ptr<QSFile> file = QSFile::initWithFilePath(QUrl::fromLocalFile(key));
    _filesBeingRead.remove(key);
    if (!file->treeRootNode())
        return nullptr;
    _filesAndContent.insert(key, file);
    _filesOpenCount.insert(key, 1);
    return file;
}

std::shared_ptr<QSFile> QSFilePool::createFileFromTemplateString(const QString &templateString,
                                                                 const QString &title)
{
    std::lock_guard lock(documentModelLock());
    if (const std::shared_ptr<QSFile> held = _filesAndContent.value(title)) {
        held->readFile();
    } else {
        _filesAndContent.insert(title,
                                QSFile::initUntitledFileWithTemplateString(templateString, title));
        _filesOpenCount.insert(title, 0);
    }
    _filesOpenCount[title] += 1;
    return _filesAndContent.value(title);
}

void QSFilePool::increaseOpenCountForFile(const QUrl &location)
{
    std::lock_guard lock(documentModelLock());
    _filesOpenCount[poolKey(location)] += 1;
}

void QSFilePool::decreaseOpenCountForFile(const QUrl &location)
{
    std::lock_guard lock(documentModelLock());
    _filesOpenCount[poolKey(location)] -= 1;
}

qint32 QSFilePool::openCountForFile(const QUrl &location) const
{
    std::lock_guard lock(documentModelLock());
    return _filesOpenCount.value(poolKey(location));
}

bool QSFilePool::closeFile(const QUrl &location)
{
    std::lock_guard lock(documentModelLock());
    const std::shared_ptr<QSFile> file = _filesAndContent.value(poolKey(location));
    if (!file) {
        qsLog(quillsetModel, QStringLiteral("closeFile: f was nil"));
        return false;
    }
    release(file);
    return true;
}

void QSFilePool::release(const std::shared_ptr<QSFile> &file)
{
    const QString key = poolKey(file->path());
    decreaseOpenCountForFile(file->path());
    if (_filesOpenCount.value(key) != 0)
        return;
    _filesAndContent.remove(key);
    _filesOpenCount.remove(key);
    if (file->treeRootNode())
        releaseIncludesOfTree(file->treeRootNode(), file.get());
}

void QSFilePool::releaseIncludesOfTree(const std::shared_ptr<QSSectionNode> &tree,
                                       QSFile *includingFile)
{
    std::lock_guard lock(documentModelLock());
    const std::shared_ptr<QSSectionNode> currentTree = includingFile->treeRootNode();
    for (const std::shared_ptr<QSSectionNode> &include : tree->includeNodes()) {
        if (include->children().isEmpty())
            continue;
        const std::shared_ptr<QSFile> included = include->children().first()->nodeFile();
        if (!included || _filesAndContent.value(poolKey(included->path())) != included)
            continue;
        release(included);
        if (currentTree == tree)
            fileIsNotIncludedIn(included, includingFile->shared_from_this());
        else
            removeIncludeEdgeUnlessStillIncluded(included, includingFile->shared_from_this());
    }
}

QList<std::shared_ptr<QSFile>>
QSFilePool::filesLeavingUnsavedIfClosed(const std::shared_ptr<QSFile> &file) const
{
    std::lock_guard lock(documentModelLock());
    // Lets go of the file as closeFile would, on copies of the counts.
    QHash<QString, qint32> counts = _filesOpenCount;
    QSet<QSFile *> leaving;
    QList<std::shared_ptr<QSFile>> pending{file};
    while (!pending.isEmpty()) {
        const std::shared_ptr<QSFile> each = pending.takeFirst();
        const QString key = poolKey(each->path());
        if (_filesAndContent.value(key) != each || --counts[key] != 0)
            continue;
        leaving.insert(each.get());
        if (each->treeRootNode()) {
            for (const std::shared_ptr<QSSectionNode> &include :
                 each->treeRootNode()->includeNodes()) {
                if (!include->children().isEmpty())
                    pending.append(include->children().first()->nodeFile());
            }
        }
    }
    QList<std::shared_ptr<QSFile>> unsaved;
    for (const std::shared_ptr<QSFile> &each : fileList(file.get())) {
        if (leaving.contains(each.get()) && each->hasContentChangedSinceLastSave(false))
            unsaved.append(each);
    }
    return unsaved;
}

void QSFilePool::informDocumentAboutFileClosing(const std::shared_ptr<QSFile> &file)
{
    std::lock_guard lock(documentModelLock());
    QSDocument *document = _keyDocument;
    if (!document || !document->fileOpened())
        return;
    if (!fileList(document->fileOpened().get()).contains(file))
        return;
    runOnUiThread([document = QPointer<QSDocument>(document), file] {
        if (document)
            document->willCloseFile(file);
    });
}

void QSFilePool::assignFile(const std::shared_ptr<QSFile> &file, QSDocument *document)
{
    std::lock_guard lock(documentModelLock());
    _filesAndDocuments.insert(poolKey(file->path()), document);
}

void QSFilePool::reAssignFile(const std::shared_ptr<QSFile> &file, QSDocument *document)
{
    std::lock_guard lock(documentModelLock());
    if (file && !file->path().isEmpty())
        _filesAndDocuments.remove(poolKey(file->path()));
    if (_keyDocument == document)
        _keyDocument = nullptr;
}

void QSFilePool::setKeyDocument(QSDocument *document)
{
    std::lock_guard lock(documentModelLock());
    _keyDocument = document;
}

QSDocument *QSFilePool::keyDocument() const
{
    std::lock_guard lock(documentModelLock());
    return _keyDocument;
}

void QSFilePool::fileIsIncludedIn(const std::shared_ptr<QSFile> &included,
                                  const std::shared_ptr<QSFile> &including, const QString &folder)
{
    std::lock_guard lock(documentModelLock());
    including->addChild(included.get());
    included->addParent(including.get(), folder);
}

void QSFilePool::fileIsNotIncludedIn(const std::shared_ptr<QSFile> &included,
                                     const std::shared_ptr<QSFile> &including)
{
    std::lock_guard lock(documentModelLock());
    including->removeChild(included.get());
    included->removeParent(including.get());
}

void QSFilePool::removeIncludeEdgeUnlessStillIncluded(const std::shared_ptr<QSFile> &included,
                                                      const std::shared_ptr<QSFile> &including)
{
    std::lock_guard lock(documentModelLock());
    if (const std::shared_ptr<QSSectionNode> tree = including->treeRootNode()) {
        for (const std::shared_ptr<QSSectionNode> &include : tree->includeNodes()) {
            if (!include->children().isEmpty()
                && include->children().first()->nodeFile() == included)
                return;
        }
    }
    fileIsNotIncludedIn(included, including);
}

void QSFilePool::changesWasMadeToFile(QSFile *file, QSSectionNode *)
{
    std::lock_guard lock(documentModelLock());
    // Walk the include graph upwards, breadth first, each file once.
    QList<QSFile *> work{file};
    QList<QSFile *> visited{file};
    QList<std::pair<QPointer<QSDocument>, bool>> marks;
    while (!work.isEmpty()) {
        QSFile *each = work.takeFirst();
        if (QSDocument *document = _filesAndDocuments.value(poolKey(each->path())))
            marks.append({document, each->hasContentChangedSinceLastSave(true)});
        for (QSFile *parent : each->filesWhichIncludeThisFile()) {
            if (!visited.contains(parent)) {
                visited.append(parent);
                work.append(parent);
            }
        }
    }
    for (const auto &mark : std::as_const(marks)) {
        runOnUiThread([document = mark.first, edited = mark.second] {
            if (document)
                document->setIsDocumentEdited(edited);
        });
    }
}

std::shared_ptr<QSFile> QSFilePool::saveFileWithPath(const QString &key, const QUrl &location,
                                                     QStringList *failedPaths, QStringList *reasons)
{
    std::lock_guard lock(documentModelLock());
    const std::shared_ptr<QSFile> file = _filesAndContent.value(key);
    if (!file)
        return nullptr;
    const auto failed = [failedPaths, reasons](const QString &path, const QSFile &file) {
        if (failedPaths)
            failedPaths->append(path);
        if (reasons)
            reasons->append(file.lastSaveError());
    };

    const QString target = poolKey(location);
    if (!file->isUntitled()) {
        bool rootSaved = true;
        for (const std::shared_ptr<QSFile> &each : fileList(file.get())) {
            const bool saved = each == file ? each->saveFileToURL(location) : each->saveFile();
            if (!saved) {
                failed(each == file ? location.toLocalFile() : each->pathText(), *each);
                rootSaved = rootSaved && each != file;
            }
            changesWasMadeToFile(each.get());
        }
        if (!rootSaved || target == key)
            return file;
        // Saved as another file: the document goes on with that file, and the one it
        // was opened from stays on disk as it was. Going on with the old file would
        // send every later save to a file the user has left.
        const std::shared_ptr<QSFile> copy = readFile(location);
        if (!copy)
            return file;
        release(file);
        if (!_filesAndContent.contains(key))
            _filesAndDocuments.remove(key);
        changesWasMadeToFile(copy.get());
        return copy;
    }

    // An untitled document that cannot be written stays as it is, under its title.
    std::shared_ptr<QSFile> result;
    if (const std::shared_ptr<QSFile> held = _filesAndContent.value(target)) {
        // The target is open already: it takes over the document's text, and the
        // document goes on with it; the untitled file is let go.
        if (!held->replaceContentAndSave(file->treeRootNode()->nodeDataWithChildren())) {
            failed(target, *held);
            return file;
        }
        result = readFile(location);
        release(file);
    } else {
        if (!file->saveFileToURL(QUrl::fromLocalFile(target))) {
            failed(target, *file);
            return file;
        }
        _filesAndContent.insert(target, _filesAndContent.take(key));
        _filesOpenCount.insert(target, _filesOpenCount.take(key));
        result = file;
    }
    if (const QPointer<QSDocument> document = _filesAndDocuments.take(key))
        _filesAndDocuments.insert(target, document);
    changesWasMadeToFile(result.get());
    return result;
}

bool QSFilePool::hasFilesInDocumentChanged(const std::shared_ptr<QSFile> &file) const
{
    std::lock_guard lock(documentModelLock());
    if (file->isUntitled())
        return false;
    for (const std::shared_ptr<QSFile> &each : fileList(file.get())) {
        if (each->hasFileChanged())
            return true;
    }
    return false;
}

void QSFilePool::updateFilesInDocument(const QUrl &location)
{
    std::lock_guard lock(documentModelLock());
    if (const std::shared_ptr<QSFile> file = _filesAndContent.value(poolKey(location))) {
        // Read again, a file has no unsaved changes; its windows say so.
        for (const std::shared_ptr<QSFile> &each : fileList(file.get())) {
            if (each->readFile())
                changesWasMadeToFile(each.get());
        }
    }
}

void QSFilePool::changeAttributesToUpdatedVersion(const QUrl &location)
{
    std::lock_guard lock(documentModelLock());
    if (const std::shared_ptr<QSFile> file = _filesAndContent.value(poolKey(location))) {
        for (const std::shared_ptr<QSFile> &each : fileList(file.get()))
            each->changeAttributesToUpdatedVersion();
    }
}
