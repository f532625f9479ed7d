#pragma once

#include "app/MyDocument.h"
#include <QList>

#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class QSSectionNode;

// A request to bring a document's outline up to date: one node's row, or the whole
// outline when there is no node.
class QSOutlineViewReloaderItem
{
public:
    QSOutlineViewReloaderItem(MyDocument *document, std::shared_ptr<QSSectionNode> node);
    MyDocument *documentToReload() const { return _documentToReload; }
    std::shared_ptr<QSSectionNode> nodeToReload() const { return _nodeToReload; }

private:
    QPointer<MyDocument> _documentToReload;
    std::shared_ptr<QSSectionNode> _nodeToReload;
};

// A worker that carries out outline reload requests on the UI thread. While the
// document window swaps its outline's model, reloading is switched off and the
// requests that arrive meanwhile are dropped.
class QSOutlineViewReloaderThread
{
public:
    QSOutlineViewReloaderThread();
    ~QSOutlineViewReloaderThread();
    static QSOutlineViewReloaderThread *sharedOutlineViewReloader();

    void setShouldReloadOutlines(bool shouldReload) { _shouldReloadOutlines = shouldReload; }
    bool shouldReloadOutlines() const { return _shouldReloadOutlines; }
    void addToReloadQueue(MyDocument *document, std::shared_ptr<QSSectionNode> node);
    // Requests not yet taken by the worker.
    qsizetype pendingRequestCount();

private:
    void main();

    std::atomic<bool> _shouldReloadOutlines{false};
    std::mutex _lock;
    std::condition_variable _requestsArrived;
    QList<QSOutlineViewReloaderItem> _reloadItemsInQueue; // guarded by _lock
    bool _stopping = false;                               // guarded by _lock
    std::thread _worker;
};
