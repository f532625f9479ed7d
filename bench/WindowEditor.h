#pragma once

// The application's window on a document, for the benchmarks that drive it.
#include "app/AppController.h"
#include "app/MainMenuController.h"
#include "app/MyDocument.h"
#include "platform/DocumentController.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QUrl>
#include <QWidget>
#include <QWindow>

// The application as main makes it, with the document's window open and shown.
struct Editor
{
    AppController app;
    MainMenuController menu;
    DocumentController documents;
    MyDocument *document = nullptr;

    explicit Editor(const QString &path)
    {
        documents.setDocumentFactory([](const QString &file, const QString &name) -> Document * {
            auto *opened = new MyDocument;
            opened->setDisplayName(name);
            if (!opened->readFromURL(QUrl::fromLocalFile(file), nullptr)) {
                delete opened;
                return nullptr;
            }
            opened->makeWindow();
            opened->window()->show();
            return opened;
        });
        documents.setSaveQuestion(
            [](Document *) { return DocumentController::SaveAnswer::DontSave; });
        document = qobject_cast<MyDocument *>(documents.openDocument(path));
        while (document
               && !(document->window()->windowHandle()
                    && document->window()->windowHandle()->isExposed()))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    ~Editor()
    {
        QApplication::closeAllWindows();
        QCoreApplication::processEvents();
    }
};

inline QModelIndex rowNamed(const QAbstractItemModel *model, const QString &name,
                            const QModelIndex &parent)
{
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        if (index.data().toString() == name)
            return index;
        if (const QModelIndex found = rowNamed(model, name, index); found.isValid())
            return found;
    }
    return {};
}
