#include "find/DocumentMatchesSearch.h"

#include <QElapsedTimer>

DocumentMatchesSearch::DocumentMatchesSearch(QObject *parent)
    : QObject(parent)
{
    _worker.setMaxThreadCount(1);
    // Between searches the thread goes, rather than wait idle beside every window.
    _worker.setExpiryTimeout(2000);
}

DocumentMatchesSearch::~DocumentMatchesSearch()
{
    cancel();
    // The worker posts to this object; it must be done before the object goes.
    _worker.waitForDone();
}

void DocumentMatchesSearch::cancel()
{
    if (_stop)
        _stop->store(true);
    _stop.reset();
    ++_generation;
    _searching = false;
}

void DocumentMatchesSearch::start(QList<DocumentMatches::Source> sources,
                                  const SearchPattern &pattern)
{
    cancel();
    _stop = std::make_shared<std::atomic<bool>>(false);
    _searching = true;
    _worker.start(
        [this, sources = std::move(sources), pattern, stop = _stop, generation = _generation] {
            if (stop->load())
                return;
            QElapsedTimer time;
            time.start();
            DocumentMatches matches = DocumentMatches::search(sources, pattern, stop.get());
            const qint64 nanoseconds = time.nsecsElapsed();
            if (stop->load())
                return;
            // Queued: the result is shown on the UI thread, where the list lives; one
            // asked for meanwhile has a newer generation and drops this one.
            QMetaObject::invokeMethod(
                this,
                [this, matches = std::move(matches), generation, nanoseconds] {
                    if (generation != _generation)
                        return;
                    _searching = false;
                    _lastSearchNanoseconds = nanoseconds;
                    emit finished(matches);
                },
                Qt::QueuedConnection);
        });
}
