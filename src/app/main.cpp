#include "app/AppController.h"
#include "app/MainMenuController.h"
#include "app/MyDocument.h"
#include "platform/DocumentController.h"

#include <QApplication>
#include <QMessageBox>
#include <QUrl>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillset"));
    QApplication::setOrganizationName(QStringLiteral("Quillset"));

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

    const QStringList paths = application.arguments().mid(1);
    for (const QString &path : paths)
        documentController.openDocument(path);
    if (paths.isEmpty() && appController.applicationShouldOpenUntitledFile())
        documentController.newDocument();
    if (documentController.documents().isEmpty())
        return paths.isEmpty() ? 0 : 1;
    return application.exec();
}
