#include "platform/UiThread.h"

#include <QCoreApplication>
#include <QThread>
#include <mutex>
#include <vector>

namespace {

// Work for the UI thread waits in this queue, guarded by a standard mutex, so that
// what a worker hands over is ordered by a lock that ThreadSanitizer can see; Qt's
// event queue only carries the wake-up.
class UiThreadQueue : public QObject
{
    Q_OBJECT

public:
    void post(std::function<void()> function)
    {
        bool wasEmpty = false;
        {
            std::lock_guard lock(_mutex);
            wasEmpty = _work.empty();
            _work.push_back(std::move(function));
        }
        // Queued: the caller is a worker and must not wait for the UI thread.
        if (wasEmpty)
            QMetaObject::invokeMethod(this, "run", Qt::QueuedConnection);
    }

public slots:
    void run()
    {
        std::vector<std::function<void()>> work;
        {
            std::lock_guard lock(_mutex);
            work.swap(_work);
        }
        for (std::function<void()> &function : work)
            function();
    }

private:
    std::mutex _mutex;
    std::vector<std::function<void()>> _work; // guarded by _mutex
};

UiThreadQueue &uiThreadQueue(QCoreApplication *application)
{
    static UiThreadQueue *queue = [application] {
        auto *created = new UiThreadQueue;
        created->moveToThread(application->thread());
        return created;
    }();
    return *queue;
}

} // namespace

void runOnUiThread(std::function<void()> function)
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application || QThread::currentThread() == application->thread()) {
        function();
        return;
    }
    uiThreadQueue(application).post(std::move(function));
}

#include "UiThread.moc"
