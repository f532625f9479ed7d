#include "platform/UiThread.h"

#include <QCoreApplication>
#include <QThread>

void runOnUiThread(std::function<void()> function)
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application || QThread::currentThread() == application->thread()) {
        function();
        return;
    }
    // Queued: the caller is a worker and must not wait for the UI thread.
    QMetaObject::invokeMethod(application, std::move(function), Qt::QueuedConnection);
}
