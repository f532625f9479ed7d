#include "app/SessionKeeper.h"

#include "app/MyDocument.h"
#include "platform/DocumentController.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QFileInfo>

void SessionKeeper::remember(const DocumentController &documents)
{
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    QVariantList session;
    if (defaults.boolForKey(QSReopenDocuments)) {
        for (Document *document : documents.documents()) {
            if (auto *window = qobject_cast<MyDocument *>(document)) {
                const QVariantMap state = window->sessionState();
                if (!state.isEmpty())
                    session.append(state);
            }
        }
    }
    defaults.setObject(session, QSSession);
}

QStringList SessionKeeper::restore(DocumentController &documents)
{
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    QStringList gone;
    if (!defaults.boolForKey(QSReopenDocuments))
        return gone;
    for (const QVariant &entry : defaults.objectForKey(QSSession).toList()) {
        const QVariantMap state = entry.toMap();
        const QString path = state.value(QStringLiteral("path")).toString();
        if (!QFileInfo(path).isFile()) {
            if (!path.isEmpty() && !gone.contains(path))
                gone << path;
            continue;
        }
        if (auto *window = qobject_cast<MyDocument *>(documents.openDocument(path)))
            window->restoreSessionState(state);
    }
    return gone;
}

namespace {
bool quitting = false;
}

void SessionKeeper::quit(DocumentController &documents)
{
    remember(documents);
    quitting = true;
    QApplication::closeAllWindows();
    // A window that stayed open (the user cancelled) leaves the program running.
    quitting = false;
}

void SessionKeeper::windowClosing(const DocumentController &documents, const Document *closing)
{
    if (!quitting && documents.documents() == QList<Document *>{const_cast<Document *>(closing)})
        remember(documents);
}
