#pragma once

#include "model/ChangeRecord.h"

#include <QList>
#include <QObject>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class QSFile;
class QSSectionNode;

// The edit worker: applies the change records of every text view to the file
// trees, strictly in the order the edits were made, on its own thread. It wakes as
// soon as a record arrives, takes every waiting record in one pass, and re-nests
// each touched file once per pass. The UI thread then learns which files' trees
// changed.
class ChangesQueue : public QObject
{
    Q_OBJECT

public:
    explicit ChangesQueue(QObject *parent = nullptr);
    ~ChangesQueue() override;
    static ChangesQueue *sharedQueue();

    // Called on the UI thread; never waits for the worker's pass.
    virtual void addChangeToQueue(ChangeRecord record);
    // Blocks until every record added so far has been applied, and every file's
    // symbols asked for gathered. Anything that reads
    // a tree as the file's text (saving, searching) waits for this first.
    void waitUntilIdle();
    // How long the last pass took to apply its records and re-nest its files.
    qint64 lastPassNanoseconds() const { return _lastPassNanoseconds; }
    // Called on the UI thread: tells it at once, as a pass would, that files got new
    // trees some other way (read again from disk).
    void announceTreeChanges(const QList<std::shared_ptr<QSFile>> &files);
    // Gathers the labels, definitions and databases of a file whose tree was built
    // anew, on the worker; symbolsDidChange tells when they are there.
    void gatherSymbols(const std::shared_ptr<QSFile> &file);

signals:
    // On the UI thread, once for each file whose tree changed since the last notice.
    void treeDidChange(std::shared_ptr<QSFile> file);
    // On the UI thread, once for each file whose symbols were gathered anew since the
    // last notice (they may be the same as before).
    void symbolsDidChange(std::shared_ptr<QSFile> file);

private:
    void main();
    void applyRecord(ChangeRecord &record);
    static void extendToWholeLines(ChangeRecord &record);
    static void renestAround(const std::shared_ptr<QSSectionNode> &root, qint32 location,
                             qint32 length);
    void postNotices(const QList<std::shared_ptr<QSFile>> &files,
                     const QList<std::shared_ptr<QSFile>> &filesWithNewSymbols);
    void deliverNotices();

    std::mutex _inboxLock;
    std::condition_variable _inboxChanged;
    QList<ChangeRecord> _changesQueue; // guarded by _inboxLock
    bool _passInProgress = false;      // guarded by _inboxLock
    bool _stopping = false;            // guarded by _inboxLock
    QList<std::weak_ptr<QSFile>> _symbolRequests; // guarded by _inboxLock

    // The worker's own.
    QList<ChangeRecord> _tmpQueue;
    QList<std::shared_ptr<QSSectionNode>> _filesEdited;
    QList<std::shared_ptr<QSSectionNode>> _filesReshaped; // their trees' nodes may move
    QList<std::shared_ptr<QSSectionNode>> _filesWithNewSymbols;

    std::mutex _noticeLock;
    QList<std::weak_ptr<QSFile>> _pendingNotices;       // guarded by _noticeLock
    QList<std::weak_ptr<QSFile>> _pendingSymbolNotices; // guarded by _noticeLock

    std::atomic<qint64> _lastPassNanoseconds = 0;
    std::thread _worker;
};
