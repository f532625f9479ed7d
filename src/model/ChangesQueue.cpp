#include "model/ChangesQueue.h"

#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"
#include "platform/Assertions.h"
#include "platform/Log.h"
#include "platform/UiThread.h"

#include <QElapsedTimer>
#include <QPointer>
#include <atomic>
#include <pthread.h>

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

void ChangesQueue::announceTreeChanges(const QList<std::shared_ptr<QSFile>> &files)
{
    postNotices(files, {});
    // On the UI thread the notices go out at once, with any that a pass left
    // waiting for the event loop. (Asking a worker which thread it is would make
    // Qt adopt it.)
    deliverNotices();
}

void ChangesQueue::gatherSymbols(const std::shared_ptr<QSFile> &file)
{
    {
        std::lock_guard lock(_inboxLock);
        _symbolRequests.append(file);
    }
    _inboxChanged.notify_all();
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
    _inboxChanged.wait(lock, [this] {
        return _changesQueue.isEmpty() && _symbolRequests.isEmpty() && !_passInProgress;
    });
}

void ChangesQueue::main()
{
    // Named, so that a list of the process's threads shows which one this is.
    pthread_setname_np(pthread_self(), "quillset-edits");
    for (;;) {
        {
            std::unique_lock lock(_inboxLock);
            _inboxChanged.wait(lock, [this] {
                return _stopping || !_changesQueue.isEmpty() || !_symbolRequests.isEmpty();
            });
            if (_stopping)
                return;
            _tmpQueue.swap(_changesQueue);
            for (const std::weak_ptr<QSFile> &request : std::as_const(_symbolRequests)) {
                if (const std::shared_ptr<QSFile> file = request.lock())
                    _filesWithNewSymbols.append(file->treeRootNode());
            }
            _symbolRequests.clear();
            _passInProgress = true;
        }

        QList<std::shared_ptr<QSFile>> changedFiles;
        QList<std::shared_ptr<QSFile>> filesWithNewSymbols;
        QElapsedTimer passTime;
        {
            std::lock_guard modelLock(QSFilePool::documentModelLock());
            passTime.start();
            for (ChangeRecord &record : _tmpQueue) {
                try {
                    applyRecord(record);
                } catch (const QSInternalInconsistency &error) {
                    // A fault in the tree must not take the editor, and the text, down.
                    qsLog(quillsetModel, QString::fromUtf8(error.what()));
                }
            }
            for (const std::shared_ptr<QSSectionNode> &fileNode : std::as_const(_filesReshaped))
                fileNode->correctPositionsInTree();
            for (const std::shared_ptr<QSSectionNode> &fileNode : std::as_const(_filesEdited)) {
                if (const std::shared_ptr<QSFile> file = fileNode->nodeFile())
                    changedFiles.append(file);
            }
            for (const std::shared_ptr<QSSectionNode> &fileNode :
                 std::as_const(_filesWithNewSymbols)) {
                const std::shared_ptr<QSFile> file = fileNode ? fileNode->nodeFile() : nullptr;
                if (file && file->treeRootNode() == fileNode) {
                    file->refreshSymbols();
                    filesWithNewSymbols.append(file);
                }
            }
            _tmpQueue.clear();
            _filesEdited.clear();
            _filesReshaped.clear();
            _filesWithNewSymbols.clear();
            _lastPassNanoseconds = passTime.nsecsElapsed();
        }
        postNotices(changedFiles, filesWithNewSymbols);

        {
            std::lock_guard lock(_inboxLock);
            _passInProgress = false;
        }
        _inboxChanged.notify_all();
    }
}

// Commands are read within one line, and what a line holds depends on all of it:
// a % before a command comments it out, and an argument that does not close runs
// to the line's last closing brace. A line may lie in several nodes ("\\section{A}"
// and the " b}" typed after it), so the edit is widened to the whole lines it
// touches, and those lines are parsed again as a whole, exactly as reading the
// file would parse them.
void ChangesQueue::extendToWholeLines(ChangeRecord &record)
{
    const std::shared_ptr<QSSectionNode> root = record.objectToChange;
    const qint32 location = qint32(record.range.location);
    const qint32 oldLength =
        record.action == QLatin1String("add") ? 0 : qint32(record.range.length);
    const std::optional<QSLocationRecord> start = root->nodeAtLocation(location, 0);
    const std::optional<QSLocationRecord> end = root->nodeAtLocation(location + oldLength, 0);
    if (!start || !end)
        return;

    // Back to the line feed before the edit. Texts are looked at, not copied: a text
    // node may hold a whole book.
    QString text = start->object->nodeData();
    qsizetype searchEnd = location - start->nodeLocationInFile;
    QString before;
    qint32 lineStart = start->nodeLocationInFile;
    for (std::shared_ptr<QSSectionNode> node = start->object;;) {
        const QStringView part = QStringView(text).left(searchEnd);
        const qsizetype feed = part.lastIndexOf(QLatin1Char('\n'));
        if (feed >= 0) {
            before.prepend(part.mid(feed + 1));
            lineStart += qint32(feed + 1);
            break;
        }
        before.prepend(part);
        node = node->traverseLeft();
        if (!node) {
            lineStart = 0;
            break;
        }
        text = node->nodeData();
        searchEnd = text.size();
        lineStart -= qint32(text.size());
    }

    // On to the line feed after it.
    qint32 from = location + oldLength - end->nodeLocationInFile;
    qint32 position = end->nodeLocationInFile;
    QString after;
    qint32 lineEnd = -1;
    for (std::shared_ptr<QSSectionNode> node = end->object; node;
         node = node->nextInDocumentOrder()) {
        text = node->nodeData();
        const qsizetype feed = text.indexOf(QLatin1Char('\n'), from);
        if (feed >= 0) {
            after += QStringView(text).mid(from, feed - from);
            lineEnd = position + qint32(feed);
            break;
        }
        after += QStringView(text).mid(from);
        position += qint32(text.size());
        from = 0;
    }
    if (lineEnd < 0)
        lineEnd = position;

    // Swapped in rather than assigned: the old text may still be shared with the UI
    // thread's undo step, and letting go of it here, in our own code, keeps that
    // visible to ThreadSanitizer (an assignment lets go of it inside Qt).
    QString whole = before + record.whatChanged + after;
    record.whatChanged.swap(whole);
    record.range = QSRange{quint32(lineStart), quint32(lineEnd - lineStart)};
    record.action = QStringLiteral("replace");
}

void ChangesQueue::applyRecord(ChangeRecord &record)
{
    const std::shared_ptr<QSSectionNode> root = record.objectToChange;
    if (!root)
        return;
    extendToWholeLines(record);
    const qint32 location = qint32(record.range.location);
    const qint32 length = qint32(record.range.length);
    const std::optional<QSLocationRecord> start = root->nodeAtLocation(location, 0);
    if (!start)
        return;

    // A removal that reaches into later nodes: those nodes leave (their children
    // that do not leave move up), and the text after the removal joins the new text.
    bool reshaped = false;
    if (record.action != QLatin1String("add")) {
        const std::optional<QSLocationRecord> end = root->nodeAtLocation(location + length, 0);
        if (end && end->object != start->object) {
            reshaped = true;
            const QString rest =
                end->object->nodeData().mid(location + length - end->nodeLocationInFile);
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

    const QList<Symbol> symbolsBefore = start->object->symbols();
    reshaped = start->object->editNodeData(record.whatChanged, location - start->nodeLocationInFile,
                                           length, record.action)
               || reshaped;
    // Read here, off the UI thread, for the outline and the reference checks.
    start->object->landmarks();
    if (!_filesEdited.contains(root))
        _filesEdited.append(root);
    // Most keystrokes leave every label and definition as it was: only a file whose
    // nodes moved, or whose edited node now defines or names something else, gathers
    // its symbols again.
    if ((reshaped || start->object->symbols() != symbolsBefore)
        && !_filesWithNewSymbols.contains(root))
        _filesWithNewSymbols.append(root);
    // Text typed into running text leaves every node where it was: nothing to re-nest.
    if (!reshaped)
        return;
    renestAround(root, location, qint32(record.whatChanged.size()));
    root->keepTextBetweenCommands(location, location + qint32(record.whatChanged.size()));
    if (!_filesReshaped.contains(root))
        _filesReshaped.append(root);
}

// The nodes that an edit removed or turned into text leave their children where
// they stood, and a section before them may now be where those belong. Every
// level that holds the edited text or the text right after it is restructured
// again, deepest first; the file node's level follows at the end of the pass.
void ChangesQueue::renestAround(const std::shared_ptr<QSSectionNode> &root, qint32 location,
                                qint32 length)
{
    QSSectionNode::List levels;
    for (qint32 offset : {location, location + length + 1}) {
        const std::optional<QSLocationRecord> found = root->nodeAtLocation(offset, 0);
        if (!found)
            continue;
        int depth = 0;
        for (std::shared_ptr<QSSectionNode> node = found->object->parent(); node && node != root;
             node = node->parent(), ++depth) {
            if (!levels.contains(node))
                levels.insert(qMin(qsizetype(depth), levels.size()), node);
        }
    }
    for (const std::shared_ptr<QSSectionNode> &level : std::as_const(levels))
        level->correctPositionsInTree();
}

// Notices for files whose notice the UI thread has not taken yet are not repeated.
void ChangesQueue::postNotices(const QList<std::shared_ptr<QSFile>> &files,
                               const QList<std::shared_ptr<QSFile>> &filesWithNewSymbols)
{
    if (files.isEmpty() && filesWithNewSymbols.isEmpty())
        return;
    const auto addOnce = [](QList<std::weak_ptr<QSFile>> &pending,
                            const QList<std::shared_ptr<QSFile>> &news) {
        for (const std::shared_ptr<QSFile> &file : news) {
            const bool known =
                std::any_of(pending.cbegin(), pending.cend(),
                            [&](const std::weak_ptr<QSFile> &each) { return each.lock() == file; });
            if (!known)
                pending.append(file);
        }
    };
    bool wasEmpty = false;
    {
        std::lock_guard lock(_noticeLock);
        wasEmpty = _pendingNotices.isEmpty() && _pendingSymbolNotices.isEmpty();
        addOnce(_pendingNotices, files);
        addOnce(_pendingSymbolNotices, filesWithNewSymbols);
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
    QList<std::weak_ptr<QSFile>> symbolNotices;
    {
        std::lock_guard lock(_noticeLock);
        notices.swap(_pendingNotices);
        symbolNotices.swap(_pendingSymbolNotices);
    }
    for (const std::weak_ptr<QSFile> &notice : std::as_const(notices)) {
        if (const std::shared_ptr<QSFile> file = notice.lock())
            emit treeDidChange(file);
    }
    for (const std::weak_ptr<QSFile> &notice : std::as_const(symbolNotices)) {
        if (const std::shared_ptr<QSFile> file = notice.lock())
            emit symbolsDidChange(file);
    }
}
