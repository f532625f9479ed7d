#include "platform/UiThread.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <cstdint>
#include <mutex>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace {

// Work for the UI thread waits in this queue, guarded by a standard mutex, so that
// what a worker hands over is ordered by a lock that ThreadSanitizer can see. The
// worker wakes the UI thread by writing to an event file descriptor that a socket
// notifier of the UI thread watches: it never posts into Qt's event queue, whose
// lock (inside the uninstrumented Qt) ThreadSanitizer cannot see, and which it would
// report as a race between the worker and the UI thread posting events.
class UiThreadQueue : public QObject
{
public:
    UiThreadQueue()
        : _wakeUp(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
        , _notifier(new QSocketNotifier(qintptr(_wakeUp), QSocketNotifier::Read, this))
    {
        connect(_notifier, &QSocketNotifier::activated, this, &UiThreadQueue::run);
    }
    ~UiThreadQueue() override { ::close(_wakeUp); }

    void post(std::function<void()> function)
    {
        bool wasEmpty = false;
        {
            std::lock_guard lock(_mutex);
            wasEmpty = _work.empty();
            _work.push_back(std::move(function));
        }
        const std::uint64_t one = 1;
        if (wasEmpty && ::write(_wakeUp, &one, sizeof one) != sizeof one)
            qWarning("runOnUiThread: the UI thread could not be woken");
    }

private:
    void run()
    {
        std::uint64_t count = 0;
        if (::read(_wakeUp, &count, sizeof count) < 0)
            count = 0; // woken already by an earlier read: the work is taken below anyway
        std::vector<std::function<void()>> work;
        {
            std::lock_guard lock(_mutex);
            work.swap(_work);
        }
        for (std::function<void()> &function : work)
            function();
    }

    const int _wakeUp;
    QSocketNotifier *_notifier; // a child
    std::mutex _mutex;
    std::vector<std::function<void()>> _work; // guarded by _mutex
};

UiThreadQueue *queue = nullptr; // made on the UI thread, before any worker runs

// The queue is made as the application starts, on its thread, so that its notifier
// belongs to the UI thread's event loop; the application deletes it as it ends.
void makeQueue()
{
    queue = new UiThreadQueue;
    QObject::connect(QCoreApplication::instance(), &QObject::destroyed, [] {
        delete queue;
        queue = nullptr;
    });
}
Q_COREAPP_STARTUP_FUNCTION(makeQueue)

} // namespace

void runOnUiThread(std::function<void()> function)
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application || QThread::currentThread() == application->thread()) {
        function();
        return;
    }
    if (queue)
        queue->post(std::move(function));
    else // the application is ending
        QMetaObject::invokeMethod(application, std::move(function), Qt::QueuedConnection);
}
