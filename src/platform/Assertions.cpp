#include "platform/Assertions.h"

#include <QString>
#include <mutex>

namespace {
std::mutex handlerMutex;
QSAssertionHandler currentHandler; // guarded by handlerMutex
} // namespace

QSAssertionHandler qsSetAssertionHandler(QSAssertionHandler handler)
{
    std::lock_guard lock(handlerMutex);
    return std::exchange(currentHandler, std::move(handler));
}

void qsAssertionFailed(const char *description, const char *function, const char *file, int line)
{
    QSAssertionHandler handler;
    {
        std::lock_guard lock(handlerMutex);
        handler = currentHandler;
    }
    if (handler) {
        handler(description, function, file, line);
        return;
    }
    const QString message = QStringLiteral("%1 in %2 (%3:%4)")
                                .arg(QString::fromUtf8(description), QString::fromUtf8(function),
                                     QString::fromUtf8(file))
                                .arg(line);
    throw QSInternalInconsistency(message.toStdString());
}
