#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QFileSystemWatcher;
class QSFile;
class QTimer;
class QWidget;

// Watches the files of one document on disk and settles what changed there, while
// the window is open and whenever it becomes active: a file without unsaved edits
// is read again at once; for a file with unsaved edits the user decides which
// version wins, since either way something would be lost; a file gone from disk
// keeps its text, marked as not saved, and the user is told.
class DocumentFilesWatcher : public QObject
{
    Q_OBJECT

public:
    // rootFile gives the document's root file whenever it is asked; the questions
    // are sheets on the window.
    DocumentFilesWatcher(std::function<std::shared_ptr<QSFile>()> rootFile, QWidget *window,
                         QObject *parent = nullptr);

    // Watches the document's files anew: saving replaces a file, and include lines
    // come and go.
    void watchFiles();
    // Looks at the files now.
    void checkFilesOnDisk();
    // The answers of the question about files with unsaved edits.
    void useNewFilesWhenFilesChanged();
    void useCurrentFilesWhenFilesChanged();

signals:
    // Files of the document were read again: the windows that show them follow.
    void filesWereReadAgain();

private:
    std::function<std::shared_ptr<QSFile>()> _rootFile;
    QPointer<QWidget> _window;
    QFileSystemWatcher *_fileWatcher;
    QTimer *_settle;
    bool _askingAboutChangesOnDisk = false;
};
