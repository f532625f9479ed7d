#pragma once

#include "TestSupport.h"
#include "app/AppController.h"
#include "app/MainMenuController.h"
#include "app/MyDocument.h"
#include "model/ChangesQueue.h"
#include "platform/DocumentController.h"

#include <QApplication>
#include <QDirIterator>
#include <QKeyEvent>

// The application as main starts it, with the user's answers to the close
// question given by the test, and documents opened into real windows.
class AppFixture
{
public:
    AppFixture()
    {
        documents.setDocumentFactory(
            [](const QString &path, const QString &displayName) -> Document * {
                auto *document = new MyDocument;
                document->setDisplayName(displayName);
                if (!path.isEmpty() && !document->readFromURL(QUrl::fromLocalFile(path), nullptr)) {
                    delete document;
                    return nullptr;
                }
                document->makeWindow();
                document->window()->show();
                return document;
            });
        documents.setSaveQuestion([this](Document *) { return closeAnswer; });
    }

    ~AppFixture()
    {
        closeAnswer = DocumentController::SaveAnswer::DontSave;
        QApplication::closeAllWindows();
        QCoreApplication::processEvents();
    }

    MyDocument *open(const QString &path = {})
    {
        auto *document = qobject_cast<MyDocument *>(path.isEmpty() ? documents.newDocument()
                                                                   : documents.openDocument(path));
        if (document && !QTest::qWaitForWindowExposed(document->window()))
            qWarning("window not exposed");
        return document;
    }

    void copyExample() const
    {
        const QDir example(QStringLiteral(QUILLSET_SOURCE_DIR "/examples/thesis"));
        QDirIterator files(example.path(), QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            folder.write(example.relativeFilePath(path), TestFolder::read(path));
        }
    }

    // Types the text as key presses, one edit per character as a person's typing.
    static void type(QWidget *widget, const QString &text)
    {
        for (const QChar character : text) {
            if (character == u'\n') {
                QTest::keyClick(widget, Qt::Key_Return);
                continue;
            }
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(character));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier,
                              QString(character));
            QApplication::sendEvent(widget, &press);
            QApplication::sendEvent(widget, &release);
        }
    }

    // Lets the edit worker apply what was typed and the UI thread take its notices.
    static void settle()
    {
        ChangesQueue::sharedQueue()->waitUntilIdle();
        QCoreApplication::processEvents();
    }

    TestFolder folder;
    AppController app;
    MainMenuController menu;
    DocumentController documents;
    DocumentController::SaveAnswer closeAnswer = DocumentController::SaveAnswer::DontSave;
};
