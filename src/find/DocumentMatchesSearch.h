#pragma once

#include "find/DocumentMatches.h"

#include <QObject>
#include <QThreadPool>
#include <atomic>
#include <memory>

// Runs the searches of a document's match list on a worker thread of its own and
// hands each result back on the UI thread. A newer search makes the running one
// stop and its result be dropped, so that only the latest is ever shown.
class DocumentMatchesSearch : public QObject
{
    Q_OBJECT

public:
    explicit DocumentMatchesSearch(QObject *parent = nullptr);
    // Stops the running search and waits for the worker, which is quick: it looks
    // whether to stop between files.
    ~DocumentMatchesSearch() override;

    // Called on the UI thread with the texts to search (DocumentMatches::sourcesOf).
    void start(QList<DocumentMatches::Source> sources, const SearchPattern &pattern);
    // Drops the running search, if any.
    void cancel();
    bool isSearching() const { return _searching; }
    // How long the worker took for the latest result delivered.
    qint64 lastSearchNanoseconds() const { return _lastSearchNanoseconds; }

signals:
    // On the UI thread, for the latest search started.
    void finished(const DocumentMatches &matches);

private:
    QThreadPool _worker;
    std::shared_ptr<std::atomic<bool>> _stop; // the running search's; read by the worker
    quint64 _generation = 0;                  // the UI thread's
    bool _searching = false;
    qint64 _lastSearchNanoseconds = 0;
};
