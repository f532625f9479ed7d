#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <memory>
#include <mutex>

class QSFile;
class QUrl;

// The one place where source files are opened, shared, counted and let go: one
// QSFile per path however many windows show it and include nodes pull it in.
// Files are kept under their pool key, the path text (an untitled file's title).
//
// Threads: the maps are guarded by the document-model lock, which also guards
// every tree's structure; callers on any thread hold it around pool calls.
class QSFilePool
{
public:
    QSFilePool();
    ~QSFilePool();
    static QSFilePool *sharedFilePool();

    // Guards the pool's maps and the structure of every file's tree.
    std::recursive_mutex &documentModelLock() { return _documentModelLock; }

    std::shared_ptr<QSFile> fileObjectForPath(const QUrl &location) const;
    // Opens the file for one more holder; none when it is missing or cannot be decoded.
    std::shared_ptr<QSFile> readFile(const QUrl &location);
    std::shared_ptr<QSFile> createFileFromTemplateString(const QString &templateString,
                                                         const QString &title);
    void increaseOpenCountForFile(const QUrl &location);
    void decreaseOpenCountForFile(const QUrl &location);
    qint32 openCountForFile(const QUrl &location) const;
    // Lets go of the file and of every file it includes, once each.
    bool closeFile(const QUrl &location);

    void fileIsIncludedIn(const std::shared_ptr<QSFile> &included,
                          const std::shared_ptr<QSFile> &including);
    void fileIsNotIncludedIn(const std::shared_ptr<QSFile> &included,
                             const std::shared_ptr<QSFile> &including);

    static QString poolKey(const QUrl &location);

private:
    QHash<QString, std::shared_ptr<QSFile>> _filesAndContent; // guarded by the document-model lock
    QHash<QString, qint32> _filesOpenCount;                   // guarded by the document-model lock
    // Paths whose file is being created; an include of one of them is an include
    // cycle and is left unresolved.
    QSet<QString> _filesBeingRead; // guarded by the document-model lock
    mutable std::recursive_mutex _documentModelLock;
};
