#pragma once

#include "TestSupport.h"
#include "app/AppController.h"
#include "app/MainMenuController.h"
#include "app/MyDocument.h"
#include "compile/ConsoleViewController.h"
#include "editor/QSTextView.h"
#include "model/ChangesQueue.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "platform/DocumentController.h"

#include <QAbstractButton>
#include <QApplication>
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
        documents.setSaveQuestion([this](Document *edited) {
            asked << edited->displayName();
            questions << DocumentController::saveQuestion(edited);
            return closeAnswer;
        });
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

    // The example thesis of examples/, opened from a copy in the test's folder.
    MyDocument *openExample()
    {
        copyExample();
        return open(folder.path(QStringLiteral("thesis.tex")));
    }
    void copyExample() const { folder.copyData(QStringLiteral("../../examples/thesis")); }

    // Types the text as key presses, one edit per character as a person's typing.
    static void type(QWidget *widget, const QString &text)
    {
        for (const QChar character : text)
            QTest::sendKeyEvent(QTest::Click, widget,
                                character == u'\n' ? Qt::Key_Return : Qt::Key_unknown,
                                QString(character), Qt::NoModifier);
    }

    // Types the text just before the first occurrence of another, and lets the edits in.
    static void typeBefore(QSTextView *view, const QString &before, const QString &text)
    {
        QTextCursor cursor = view->document()->find(before);
        cursor.setPosition(cursor.selectionStart());
        view->setTextCursor(cursor);
        type(view, text);
        settle();
    }

    // Compiles through the window's action and waits until the console shows the result.
    static bool compile(MyDocument *document)
    {
        QSignalSpy updated(document->consoleViewController(),
                           &ConsoleViewController::errorWarningOutlineUpdated);
        MainMenuController::sharedMainMenuController()->compileItem()->trigger();
        return updated.wait(120000);
    }

    // Lets the edit worker apply what was typed and the UI thread take its notices.
    static void settle()
    {
        ChangesQueue::sharedQueue()->waitUntilIdle();
        QCoreApplication::processEvents();
    }

    // The outline as one line: each row's text, its children in brackets.
    static QString outline(const QAbstractItemModel *model, QChar separator = u' ',
                           const QModelIndex &parent = {})
    {
        QStringList rows;
        for (int row = 0; row < model->rowCount(parent); ++row) {
            const QModelIndex index = model->index(row, 0, parent);
            QString text = index.data().toString();
            if (model->rowCount(index) > 0)
                text += u'(' + outline(model, separator, index) + u')';
            rows << text;
        }
        return rows.join(separator);
    }

    // The file of the document with that name, or of that path when it is held.
    static std::shared_ptr<QSFile> fileNamed(MyDocument *document, const QString &name)
    {
        std::lock_guard lock(QSFilePool::documentModelLock());
        for (const std::shared_ptr<QSFile> &file :
             QSFilePool::fileList(document->fileOpened().get()))
            if (file->name() == name)
                return file;
        return nullptr;
    }
    static std::shared_ptr<QSFile> held(const QString &path)
    {
        return QSFilePool::sharedFilePool()->fileObjectForPath(QUrl::fromLocalFile(path));
    }

    // The window-modal question or message that the window shows now, if any.
    template <typename Dialog> static Dialog *shownDialog(QWidget *window)
    {
        for (Dialog *dialog : window->findChildren<Dialog *>())
            if (dialog->isVisible())
                return dialog;
        return nullptr;
    }
    static void clickButton(QWidget *dialog, const QString &text)
    {
        for (QAbstractButton *button : dialog->findChildren<QAbstractButton *>())
            if (button->text() == text)
                return button->click();
        QFAIL(qPrintable("no button " + text));
    }

    TestFolder folder;
    AppController app;
    MainMenuController menu;
    DocumentController documents;
    // The answer to the close question, and the documents it was asked about.
    DocumentController::SaveAnswer closeAnswer = DocumentController::SaveAnswer::DontSave;
    QStringList asked;
    QStringList questions; // as the user read them
};
