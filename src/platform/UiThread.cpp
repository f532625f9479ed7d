#include "platform/UiThread.h"

#include <QCoreApplication>
#include <QThread>
#include <mutex>
#include <vector>

namespace {

// Work for the UI thread goes through this queue rather than inside Qt's event
// queue alone, so that what a worker hands over is visibly ordered by a lock.
std::mutex queueMutex;
std::vector<std::function<void()>> queue; // guarded by queueMutex

void runQueued()
{
    std::vector<std::function<void()>> work;
    {
        std::lock_guard lock(queueMutex);
        work.swap(queue);
    }
    for (std::function<void()> &function : work)
        function();
}

} // namespace

void runOnUiThread(std::function<void()> function)
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application || QThread::currentThread() == application->thread()) {
        function();
        return;
    }
    bool wasEmpty = false;
    {
        std::lock_guard lock(queueMutex);
        wasEmpty = queue.empty();
        queue.push_back(std::move(function));
    }
    // Queued: the caller is a worker and must not wait for the UI thread.
    if (wasEmpty)
        QMetaObject::invokeMethod(application, &runQueued, Qt::QueuedConnection);
}
