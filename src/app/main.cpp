#include "app/AppController.h"
#include "app/MainMenuController.h"
#include "app/MyDocument.h"
#include "app/RecoveryKeeper.h"
#include "app/SessionKeeper.h"
#include "platform/DocumentController.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QMessageBox>
#include <QUrl>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillset"));
    QApplication::setOrganizationName(QStringLiteral("Quillset"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLSET_VERSION));
    // The desktop entry the windows belong to, and the icon where the desktop has none.
    QGuiApplication::setDesktopFileName(QStringLiteral("quillset"));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("quillset"), QIcon(QStringLiteral(":/quillset.svg"))));

    AppController appController;
    MainMenuController mainMenuController;
    DocumentController documentController;
    documentController.setDocumentFactory(
        [](const QString &path, const QString &displayName) -> Document * {
            auto *document = new MyDocument;
            document->setDisplayName(displayName);
            QString error;
            if (!path.isEmpty() && !document->readFromURL(QUrl::fromLocalFile(path), &error)) {
                QMessageBox::critical(nullptr, QObject::tr("Error reading the file"), error);
                delete document;
                return nullptr;
            }
            document->makeWindow();
            document->window()->show();
            return document;
        });

    // The documents of the last session, then those named on the command line, in front.
    const QStringList gone = SessionKeeper::restore(documentController);
    const QStringList paths = application.arguments().mid(1);
    for (const QString &path : paths)
        documentController.openDocument(path);
    if (!gone.isEmpty()) {
        const QString said =
            QObject::tr("Not reopened, gone from disk: %1").arg(gone.join(QStringLiteral(", ")));
        if (auto *front = qobject_cast<MyDocument *>(documentController.currentDocument()))
            front->showStatusMessage(said);
        else
            QMessageBox::information(nullptr, QObject::tr("Last session"), said);
    }

    // Unsaved text that a crash left behind comes back if the user wants it.
    RecoveryKeeper recovery;
    const QList<RecoveryKeeper::Recovered> recovered = recovery.pendingRecoveries();
    if (!recovered.isEmpty()) {
        QStringList names;
        for (const RecoveryKeeper::Recovered &entry : recovered)
            names << (entry.untitled ? entry.path : QDir::toNativeSeparators(entry.path));
        const auto answer = QMessageBox::question(
            nullptr, QObject::tr("Restore unsaved changes"),
            QObject::tr("Quillset did not quit properly last time. Restore the unsaved "
                        "changes of these files?\n\n%1")
                .arg(names.join(u'\n')));
        if (answer == QMessageBox::Yes)
            recovery.restoreInto(&documentController, recovered);
    }
    recovery.keepNow();
    recovery.start();

    if (documentController.documents().isEmpty() && paths.isEmpty()
        && appController.applicationShouldOpenUntitledFile())
        documentController.newDocument();
    if (documentController.documents().isEmpty())
        return paths.isEmpty() ? 0 : 1;
    const int status = application.exec();
    recovery.removeAll();
    return status;
}
