#pragma once

#include <QHash>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>

class QSDocument;
class QSFile;
class QSSectionNode;
class QUrl;

// The one place where source files are opened, shared, counted and let go: one
// QSFile per path however many windows show it and include nodes pull it in.
// Files are kept under their pool key, the path text (an untitled file's title).
//
// A file's open count is the number of its holders: each document that opened it,
// each include node that resolved to it. When it drops to zero the file leaves the
// pool and gives back the opens that its own include nodes held.
//
// Threads: every operation takes the document-model lock, which also guards the
// structure of every file's tree; callers that walk a tree hold it too. Calls into
// documents are made on the UI thread.
class QSFilePool
{
public:
    QSFilePool();
    ~QSFilePool();
    static QSFilePool *sharedFilePool();

    // Guards the pool's maps and the structure of every file's tree.
    static std::recursive_mutex &documentModelLock();

    std::shared_ptr<QSFile> fileObjectForPath(const QUrl &location) const;
    // Opens the file for one more holder; none when it is missing or cannot be decoded.
    std::shared_ptr<QSFile> readFile(const QUrl &location);
    std::shared_ptr<QSFile> createFileFromTemplateString(const QString &templateString,
                                                         const QString &title);
    void increaseOpenCountForFile(const QUrl &location);
    void decreaseOpenCountForFile(const QUrl &location);
    qint32 openCountForFile(const QUrl &location) const;
    // One holder lets go of the file; false (and a log line) when it is not held.
    bool closeFile(const QUrl &location);
    // Gives back the opens that the include nodes of a tree that is being dropped held.
    void releaseIncludesOfTree(const std::shared_ptr<QSSectionNode> &tree, QSFile *includingFile);
    void informDocumentAboutFileClosing(const std::shared_ptr<QSFile> &file);
    // The files with unsaved edits of their own that would leave the pool if one
    // holder let go of the file: the file itself and those only it holds, in the
    // order of its file list.
    QList<std::shared_ptr<QSFile>>
    filesLeavingUnsavedIfClosed(const std::shared_ptr<QSFile> &file) const;

    void assignFile(const std::shared_ptr<QSFile> &file, QSDocument *document);
    void reAssignFile(const std::shared_ptr<QSFile> &file, QSDocument *document);
    void setKeyDocument(QSDocument *document);
    QSDocument *keyDocument() const;

    // The folder is where the include command's name was found from: the including
    // file's own when empty.
    void fileIsIncludedIn(const std::shared_ptr<QSFile> &included,
                          const std::shared_ptr<QSFile> &including, const QString &folder = {});
    void fileIsNotIncludedIn(const std::shared_ptr<QSFile> &included,
                             const std::shared_ptr<QSFile> &including);
    // Removes the include edge unless an include node of the including file's tree
    // still holds the included file, so that the graph always matches the trees.
    void removeIncludeEdgeUnlessStillIncluded(const std::shared_ptr<QSFile> &included,
                                              const std::shared_ptr<QSFile> &including);

    // Recomputes the edited marker of every document that shows the file or a file
    // that includes it at any depth.
    void changesWasMadeToFile(QSFile *file, QSSectionNode *node = nullptr);
    // Saves a document: its root file to the location and every included file to
    // its own path. Returns the file that now backs the document; for each file that
    // could not be written, its path goes to failedPaths and why to reasons.
    std::shared_ptr<QSFile> saveFileWithPath(const QString &key, const QUrl &location,
                                             QStringList *failedPaths = nullptr,
                                             QStringList *reasons = nullptr);

    bool hasFilesInDocumentChanged(const std::shared_ptr<QSFile> &file) const;
    // Re-reads every file of the document that changed on disk.
    void updateFilesInDocument(const QUrl &location);
    // Keeps the versions in memory: the files stop counting as changed on disk.
    void changeAttributesToUpdatedVersion(const QUrl &location);

    // What changing the files of a document to their versions on disk did: the
    // files read again, and the names of those that have unsaved edits (left for the
    // user to settle) and of those gone from disk (kept, and marked not saved).
    struct ChangesOnDisk
    {
        bool reread = false;
        QStringList conflicting;
        QStringList gone;
    };
    // Reads again every file of the document that changed on disk and has no unsaved
    // edits; none when nothing changed.
    std::optional<ChangesOnDisk> readChangedFilesOfDocument(const std::shared_ptr<QSFile> &root);

    // Queries for any thread; each holds the document-model lock while it reads.
    // The file followed by every file it includes, depth first, each once.
    static QList<std::shared_ptr<QSFile>> fileList(QSFile *file);
    // The file that holds a node, and where the node's own text begins in it.
    static std::pair<std::shared_ptr<QSFile>, qint32>
    fileAndLocationOfNode(const QSSectionNode &node);
    static QString nameOfNode(const QSSectionNode &node);
    // Every file held, in no particular order.
    QList<std::shared_ptr<QSFile>> allFiles() const;
    static QString poolKey(const QUrl &location);

private:
    void release(const std::shared_ptr<QSFile> &file);

    QHash<QString, std::shared_ptr<QSFile>> _filesAndContent; // guarded by the document-model lock
    QHash<QString, qint32> _filesOpenCount;                   // guarded by the document-model lock
    QHash<QString, QPointer<QSDocument>> _filesAndDocuments;  // guarded by the document-model lock
    QPointer<QSDocument> _keyDocument;                        // guarded by the document-model lock
    // Paths whose file is being created; an include of one of them closes an
    // include cycle and is left unresolved.
    QSet<QString> _filesBeingRead; // guarded by the document-model lock
};
