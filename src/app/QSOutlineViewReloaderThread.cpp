#include "app/QSOutlineViewReloaderThread.h"

#include "app/MyDocument.h"
#include "model/QSSectionNode.h"
#include "platform/UiThread.h"

namespace {
std::atomic<QSOutlineViewReloaderThread *> sharedReloader{nullptr};
}

QSOutlineViewReloaderItem::QSOutlineViewReloaderItem(MyDocument *document,
                                                     std::shared_ptr<QSSectionNode> node)
    : _documentToReload(document)
    , _nodeToReload(std::move(node))
{}

QSOutlineViewReloaderThread::QSOutlineViewReloaderThread()
{
    sharedReloader = this;
    _worker = std::thread([this] { main(); });
}

QSOutlineViewReloaderThread::~QSOutlineViewReloaderThread()
{
    {
        std::lock_guard lock(_lock);
        _stopping = true;
    }
    _requestsArrived.notify_all();
    _worker.join();
    QSOutlineViewReloaderThread *self = this;
    sharedReloader.compare_exchange_strong(self, nullptr);
}

QSOutlineViewReloaderThread *QSOutlineViewReloaderThread::sharedOutlineViewReloader()
{
    return sharedReloader;
}

qsizetype QSOutlineViewReloaderThread::pendingRequestCount()
{
    std::lock_guard lock(_lock);
    return _reloadItemsInQueue.size();
}

void QSOutlineViewReloaderThread::addToReloadQueue(MyDocument *document,
                                                   std::shared_ptr<QSSectionNode> node)
{
    if (!document)
        return;
    {
        std::lock_guard lock(_lock);
        _reloadItemsInQueue.append(QSOutlineViewReloaderItem(document, std::move(node)));
    }
    _requestsArrived.notify_all();
}

// Wakes when requests arrive rather than looking once a second; the outline rows
// themselves change on the UI thread, which owns them.
void QSOutlineViewReloaderThread::main()
{
    for (;;) {
        QList<QSOutlineViewReloaderItem> requests;
        {
            std::unique_lock lock(_lock);
            _requestsArrived.wait(lock,
                                  [this] { return _stopping || !_reloadItemsInQueue.isEmpty(); });
            if (_stopping)
                return;
            requests.swap(_reloadItemsInQueue);
        }
        if (!_shouldReloadOutlines)
            continue;
        runOnUiThread([requests] {
            for (const QSOutlineViewReloaderItem &request : requests) {
                if (MyDocument *document = request.documentToReload())
                    document->reloadOutline(request.nodeToReload());
            }
        });
    }
}
