#pragma once

#include "editor/wordcount/WordCountResults.h"
#include "model/QSRange.h"
#include "platform/SettlingWorker.h"

#include <QObject>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class QSFile;

// Keeps the word counts of one document (its root file and the files it includes)
// up to date on a thread of its own, so that typing never waits for them. Each
// file's tree is read again only when it changed, and each node's text counted again
// only when it or the state it begins in changed: a keystroke recounts the node
// typed in. The UI thread hands it what changed and learns the counts by
// countsChanged.
class WordCounts : public QObject
{
    Q_OBJECT

public:
    // Counts the document whose root file the function gives (asked on the UI
    // thread, at once and whenever a tree changes), from now on.
    explicit WordCounts(std::function<std::shared_ptr<QSFile>()> rootFile,
                        QObject *parent = nullptr);
    ~WordCounts() override;

    // UI thread. The file's tree changed (the edit worker's treeDidChange); a file not
    // in the document is ignored by the next pass, a new root file read in full.
    void fileChanged(const std::shared_ptr<QSFile> &file);
    // UI thread. The selection in a file's text; an empty range counts nothing.
    void setSelection(const std::shared_ptr<QSFile> &file, QSRange range);

    // UI thread: the counts of the latest pass delivered.
    const WordCountResults &results() const { return _results; }
    // Blocks until every request made so far has been counted (the results may still
    // be on their way to the UI thread). For tests and measurements.
    void waitUntilIdle();

signals:
    // On the UI thread, after results() took the counts of a pass.
    void countsChanged();
    // From the counting thread; delivered queued to the UI thread.
    void countsReady(const WordCountResults &results);

private:
    struct FileCounts;
    struct Request
    {
        std::weak_ptr<QSFile> root;
        bool rootChanged = false;
        std::vector<std::weak_ptr<QSFile>> changedFiles;
        std::weak_ptr<QSFile> selectionFile;
        QSRange selection{0, 0};
        bool selectionChanged = false;
    };

    void setRootFile(const std::shared_ptr<QSFile> &root);
    void pass(Request request);
    void takeResults(const WordCountResults &results);
    int selectionWords() const;

    // The counting thread's own: what it read of each file and counted, by file.
    std::unordered_map<const QSFile *, std::unique_ptr<FileCounts>> _counted;
    std::weak_ptr<QSFile> _root;
    std::weak_ptr<QSFile> _selectionFile;
    QSRange _selection{0, 0};

    std::function<std::shared_ptr<QSFile>()> _rootFile; // UI thread
    std::weak_ptr<QSFile> _rootHanded;                  // UI thread
    WordCountResults _results;                          // UI thread
    // Last: it counts with everything above.
    SettlingWorker<Request> _worker{"quillset-words",
                                    [this](Request request) { pass(std::move(request)); }};
};
