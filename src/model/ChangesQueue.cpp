#include "model/ChangesQueue.h"

#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"
#include "platform/Assertions.h"
#include "platform/Log.h"
#include "platform/UiThread.h"

#include <QPointer>
#include <atomic>

namespace {
std::atomic<ChangesQueue *> sharedChangesQueue{nullptr};
}

ChangesQueue::ChangesQueue(QObject *parent)
    : QObject(parent)
{
    QS_ASSERT(!sharedChangesQueue, "a second ChangesQueue");
    sharedChangesQueue = this;
    _worker = std::thread([this] { main(); });
}

ChangesQueue::~ChangesQueue()
{
    {
        std::lock_guard lock(_inboxLock);
        _stopping = true;
    }
    _inboxChanged.notify_all();
    _worker.join();
    ChangesQueue *self = this;
    sharedChangesQueue.compare_exchange_strong(self, nullptr);
}

ChangesQueue *ChangesQueue::sharedQueue()
{
    return sharedChangesQueue;
}

void ChangesQueue::addChangeToQueue(ChangeRecord record)
{
    {
        std::lock_guard lock(_inboxLock);
        _changesQueue.append(std::move(record));
    }
    _inboxChanged.notify_all();
}

void ChangesQueue::waitUntilIdle()
{
    std::unique_lock lock(_inboxLock);
    _inboxChanged.wait(lock, [this] { return _changesQueue.isEmpty() && !_passInProgress; });
}

void ChangesQueue::main()
{
    for (;;) {
        {
            std::unique_lock lock(_inboxLock);
            _inboxChanged.wait(lock, [this] { return _stopping || !_changesQueue.isEmpty(); });
            if (_stopping)
                return;
            _tmpQueue.swap(_changesQueue);
            _passInProgress = true;
        }

        QList<std::shared_ptr<QSFile>> changedFiles;
        {
            std::lock_guard modelLock(QSFilePool::documentModelLock());
            for (ChangeRecord &record : _tmpQueue) {
                try {
                    applyRecord(record);
                } catch (const QSInternalInconsistency &error) {
                    // A fault in the tree must not take the editor, and the text, down.
                    qsLog(QString::fromUtf8(error.what()));
                }
            }
            for (const std::shared_ptr<QSSectionNode> &fileNode : std::as_const(_filesEdited)) {
                fileNode->correctPositionsInTree();
                if (const std::shared_ptr<QSFile> file = fileNode->nodeFile())
                    changedFiles.append(file);
            }
            _tmpQueue.clear();
            _filesEdited.clear();
        }
        postNotices(changedFiles);

        {
            std::lock_guard lock(_inboxLock);
            _passInProgress = false;
        }
        _inboxChanged.notify_all();
    }
}

void ChangesQueue::applyRecord(ChangeRecord &record)
{
    const std::shared_ptr<QSSectionNode> root = record.objectToChange;
    if (!root)
        return;
    const qint32 location = qint32(record.range.location);
    const qint32 length = qint32(record.range.length);
    const std::optional<QSLocationRecord> start = root->nodeAtLocation(location, 0);
    if (!start)
        return;

    // A removal that reaches into later nodes: those nodes leave (their children
    // that do not leave move up), and the text after the removal joins the new text.
    if (record.action != QLatin1String("add")) {
        const std::optional<QSLocationRecord> end = root->nodeAtLocation(location + length, 0);
        if (end && end->object != start->object) {
            const QString rest = end->object->nodeData().mid(location + length - end->nodeLocationInFile);
            QSSectionNode::List leaving;
            for (std::shared_ptr<QSSectionNode> node = end->object; node && node != start->object;
                 node = node->traverseLeft()) {
                leaving.append(node);
            }
            const std::shared_ptr<QSFile> file = root->nodeFile();
            QSFilePool *pool = QSFilePool::sharedFilePool();
            for (const std::shared_ptr<QSSectionNode> &node : std::as_const(leaving)) {
                // An include line that goes gives back the file it held.
                if (node->isFileIncludeNode() && !node->children().isEmpty() && pool && file) {
                    const std::shared_ptr<QSFile> included = node->children().first()->nodeFile();
                    if (included) {
                        pool->informDocumentAboutFileClosing(included);
                        node->setChildren({});
                        pool->removeIncludeEdgeUnlessStillIncluded(included, file);
                    }
                }
                if (const std::shared_ptr<QSSectionNode> parent = node->parent())
                    parent->removeChild(node, true);
            }
            if (pool && file)
                pool->changesWasMadeToFile(file.get());
            record.whatChanged += rest;
        }
    }

    start->object->editNodeData(record.whatChanged, location - start->nodeLocationInFile, length,
                                record.action);
    if (const std::shared_ptr<QSSectionNode> fileNode = start->object->fileNodeInWhichItIsStored()) {
        if (!_filesEdited.contains(fileNode))
            _filesEdited.append(fileNode);
    }
}

// Notices for files whose notice the UI thread has not taken yet are not repeated.
void ChangesQueue::postNotices(const QList<std::shared_ptr<QSFile>> &files)
{
    if (files.isEmpty())
        return;
    bool wasEmpty = false;
    {
        std::lock_guard lock(_noticeLock);
        wasEmpty = _pendingNotices.isEmpty();
        for (const std::shared_ptr<QSFile> &file : files) {
            const bool pending = std::any_of(_pendingNotices.cbegin(), _pendingNotices.cend(),
                                             [&](const std::weak_ptr<QSFile> &each) {
                                                 return each.lock() == file;
                                             });
            if (!pending)
                _pendingNotices.append(file);
        }
    }
    if (wasEmpty) {
        runOnUiThread([queue = QPointer<ChangesQueue>(this)] {
            if (queue)
                queue->deliverNotices();
        });
    }
}

void ChangesQueue::deliverNotices()
{
    QList<std::weak_ptr<QSFile>> notices;
    {
        std::lock_guard lock(_noticeLock);
        notices.swap(_pendingNotices);
    }
    for (const std::weak_ptr<QSFile> &notice : std::as_const(notices)) {
        if (const std::shared_ptr<QSFile> file = notice.lock())
            emit treeDidChange(file);
    }
}
