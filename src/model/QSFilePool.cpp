#include "model/QSFilePool.h"

#include "model/QSFile.h"
#include "platform/Log.h"

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

QString QSFilePool::poolKey(const QUrl &location)
{
    return QDir::cleanPath(location.toLocalFile());
}

std::shared_ptr<QSFile> QSFilePool::fileObjectForPath(const QUrl &location) const
{
    std::lock_guard lock(_documentModelLock);
    return _filesAndContent.value(poolKey(location));
}

std::shared_ptr<QSFile> QSFilePool::readFile(const QUrl &location)
{
    std::lock_guard lock(_documentModelLock);
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
    std::lock_guard lock(_documentModelLock);
    if (const std::shared_ptr<QSFile> held = _filesAndContent.value(title)) {
        held->readFile();
    } else {
        _filesAndContent.insert(title, QSFile::initUntitledFileWithTemplateString(templateString, title));
        _filesOpenCount.insert(title, 0);
    }
    _filesOpenCount[title] += 1;
    return _filesAndContent.value(title);
}

void QSFilePool::increaseOpenCountForFile(const QUrl &location)
{
    std::lock_guard lock(_documentModelLock);
    _filesOpenCount[poolKey(location)] += 1;
}

void QSFilePool::decreaseOpenCountForFile(const QUrl &location)
{
    std::lock_guard lock(_documentModelLock);
    _filesOpenCount[poolKey(location)] -= 1;
}

qint32 QSFilePool::openCountForFile(const QUrl &location) const
{
    std::lock_guard lock(_documentModelLock);
    return _filesOpenCount.value(poolKey(location));
}

bool QSFilePool::closeFile(const QUrl &location)
{
    std::lock_guard lock(_documentModelLock);
    const std::shared_ptr<QSFile> file = _filesAndContent.value(poolKey(location));
    if (!file) {
        qsLog(QStringLiteral("closeFile: f was nil"));
        return false;
    }
    QList<QSFile *> files{file.get()};
    file->addAllIncludedFilesToArray(&files);
    // Removing a file from the pool may destroy it; keep each one alive while the
    // rest of the list is walked.
    QList<std::shared_ptr<QSFile>> leaving;
    for (QSFile *each : std::as_const(files)) {
        const QString key = poolKey(each->path());
        decreaseOpenCountForFile(each->path());
        if (_filesOpenCount.value(key) == 0) {
            leaving.append(_filesAndContent.take(key));
            _filesOpenCount.remove(key);
        }
    }
    return true;
}

void QSFilePool::fileIsIncludedIn(const std::shared_ptr<QSFile> &included,
                                  const std::shared_ptr<QSFile> &including)
{
    std::lock_guard lock(_documentModelLock);
    including->addChild(included.get());
    included->addParent(including.get());
}

void QSFilePool::fileIsNotIncludedIn(const std::shared_ptr<QSFile> &included,
                                     const std::shared_ptr<QSFile> &including)
{
    std::lock_guard lock(_documentModelLock);
    including->removeChild(included.get());
    included->removeParent(including.get());
}
