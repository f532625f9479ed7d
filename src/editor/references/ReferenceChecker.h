#pragma once

#include "editor/references/ReferenceIndex.h"
#include "editor/references/ReferenceProblem.h"
#include "platform/SettlingWorker.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class BibliographyIndex;
class FileReferences;
class QSFile;

// Checks the references of one document (its root file and every file it includes,
// open or not) as it is typed: a \ref-family key that no \label defines, a
// \cite-family key in none of the document's databases, a label defined twice.
// The files' trees are read on a thread of the checker's own, each file's under the
// document-model lock on its own and again only when it changed, each node scanned
// again only when its text changed; the databases are read by a BibliographyIndex.
// The UI thread hands it what changed and learns the problems by problemsChanged.
class ReferenceChecker : public QObject
{
    Q_OBJECT

public:
    // Checks the document whose root file the function gives (asked on the UI
    // thread, at once and whenever a tree or the symbols change), from now on.
    explicit ReferenceChecker(std::function<std::shared_ptr<QSFile>()> rootFile,
                              QObject *parent = nullptr);
    ~ReferenceChecker() override;

    // UI thread. A file's tree changed (the edit worker's treeDidChange); a file not
    // in the document is ignored by the next check, a new root file read in full.
    void fileChanged(const std::shared_ptr<QSFile> &file);
    // UI thread. A file's symbols changed (symbolsDidChange): the databases the
    // document names are looked at again.
    void symbolsChanged();

    // UI thread: the problems of the latest check delivered, the files in document
    // order, and those of one file.
    const QList<ReferenceProblem> &problems() const { return _problems; }
    QList<ReferenceProblem> problemsIn(const QSFile *file) const;
    BibliographyIndex *bibliography() const { return _bibliography; }
    // Blocks until every request made so far has been checked (the problems may
    // still be on their way to the UI thread). For tests and measurements.
    void waitUntilIdle();
    // How long the last check held the document-model lock at most.
    std::chrono::microseconds longestHold() const { return _worker.longestHold(); }

signals:
    // On the UI thread, after problems() took problems that differ from those before.
    void problemsChanged();
    // From the checking thread; delivered queued to the UI thread.
    void problemsReady(const QList<ReferenceProblem> &problems);

private:
    // The databases as the index last read them.
    struct Databases
    {
        QStringList names;
        bool read = false;  // every one found and read
        QSet<QString> keys; // folded to lower case
    };
    struct Request
    {
        std::weak_ptr<QSFile> root;
        QString folder; // the root's, where TeX looks for the files it reads
        bool rootChanged = false;
        std::vector<std::weak_ptr<QSFile>> changedFiles;
        std::optional<Databases> databases;
    };

    void setRootFile(const std::shared_ptr<QSFile> &root);
    void databasesRead();
    void request(const std::function<void(Request &)> &change);
    void check(Request request);
    // Whether an include the pool could not read is a file of the document that the
    // outline cannot show; the answers are kept.
    bool isDocumentText(const QString &name);
    void takeProblems(const QList<ReferenceProblem> &problems);

    // The checking thread's own.
    std::unordered_map<const QSFile *, std::unique_ptr<FileReferences>> _files;
    ReferenceIndex _index; // of the occurrences of _files
    std::weak_ptr<QSFile> _root;
    QString _folder;
    Databases _databases;
    QHash<QString, bool> _documentText; // by name, for _folder

    std::function<std::shared_ptr<QSFile>()> _rootFile; // UI thread
    std::weak_ptr<QSFile> _rootHanded;                  // UI thread
    QStringList _databaseNames;                         // UI thread; as handed to the index
    BibliographyIndex *_bibliography;                   // a child
    QList<ReferenceProblem> _problems;                  // UI thread
    // Last: it checks with everything above.
    SettlingWorker<Request> _worker{"quillset-refs",
                                    [this](Request request) { check(std::move(request)); }};
};
