#pragma once

#include "TestSupport.h"
#include "app/AppController.h"
#include "app/MainMenuController.h"
#include "app/MyDocument.h"
#include "compile/ConsoleViewController.h"
#include "model/ChangesQueue.h"
#include "platform/DocumentController.h"

#include <QApplication>
#include <QDirIterator>
#include <QKeyEvent>
#include <QSignalSpy>

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

    void copyExample() const { copyData(QStringLiteral("../../examples/thesis")); }

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

    // Compiles through the window's action and waits until the console shows the result.
    static bool compile(MyDocument *document)
    {
        QSignalSpy updated(document->consoleViewController(),
                           &ConsoleViewController::errorWarningOutlineUpdated);
        MainMenuController::sharedMainMenuController()->compileItem()->trigger();
        return updated.wait(120000);
    }

    // Copies a folder of tests/data into the test's folder.
    void copyData(const QString &name) const
    {
        const QDir data(QStringLiteral(QUILLSET_SOURCE_DIR "/tests/data/") + name);
        QDirIterator files(data.path(), QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            folder.write(data.relativeFilePath(path), TestFolder::read(path));
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
