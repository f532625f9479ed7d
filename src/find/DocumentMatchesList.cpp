#include "find/DocumentMatchesList.h"

#include "find/DocumentMatchesSearch.h"
#include "find/FindAndReplaceOutlineViewDataSource.h"
#include "find/MatchRowDelegate.h"
#include "model/ChangesQueue.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"

#include <QScrollBar>
#include <QTimer>
#include <QTreeView>

DocumentMatchesList::DocumentMatchesList(QTreeView *outline,
                                         std::function<std::shared_ptr<QSFile>()> rootFile,
                                         QObject *parent)
    : QObject(parent)
    , _outline(outline)
    , _rootFile(std::move(rootFile))
    , _model(new FindAndReplaceOutlineViewDataSource(this))
    , _search(new DocumentMatchesSearch(this))
    , _refreshTimer(new QTimer(this))
{
    _refreshTimer->setSingleShot(true);
    _refreshTimer->setInterval(refreshMilliseconds);
    connect(_refreshTimer, &QTimer::timeout, this, [this] { searchNow(false); });
    connect(_search, &DocumentMatchesSearch::finished, this, &DocumentMatchesList::show);
    // Every edit of every file reaches the trees through the edit worker, which says
    // which files it changed: the list need not watch each file's text view.
    if (ChangesQueue *queue = ChangesQueue::sharedQueue())
        connect(queue, &ChangesQueue::treeDidChange, this, &DocumentMatchesList::documentDidChange);
}

DocumentMatchesList::~DocumentMatchesList() = default;

bool DocumentMatchesList::isSearching() const
{
    return _search->isSearching() || _refreshTimer->isActive();
}

bool DocumentMatchesList::isShownInOutline() const
{
    return _outline && _outline->model() == _model;
}

void DocumentMatchesList::list(const SearchPattern &pattern)
{
    _isListing = true;
    _refreshTimer->stop();
    _pattern = pattern;
    searchNow(true);
}

void DocumentMatchesList::listSoon(const SearchPattern &pattern)
{
    if (!_isListing)
        return;
    _pattern = pattern;
    _refreshTimer->start();
}

void DocumentMatchesList::documentDidChange(const std::shared_ptr<QSFile> &file)
{
    if (!_isListing || _pattern.isEmpty() || !_rootFile)
        return;
    const std::shared_ptr<QSFile> root = _rootFile();
    if (root && QSFilePool::fileList(root.get()).contains(file))
        _refreshTimer->start();
}

// The texts are taken here, on the UI thread that edits them; the worker searches
// its copies while the user goes on typing.
void DocumentMatchesList::searchNow(bool mayUseUiThread)
{
    if (_pattern.isEmpty() || !_pattern.isValid()) {
        _search->cancel();
        return show(DocumentMatches::search({}, _pattern));
    }
    QList<DocumentMatches::Source> sources = DocumentMatches::sourcesOf(_rootFile());
    if (mayUseUiThread && DocumentMatches::lengthOf(sources) <= searchOnUiThreadUpTo) {
        _search->cancel();
        return show(DocumentMatches::search(sources, _pattern));
    }
    // Rows of another pattern would be taken for this one's; those of the same one
    // stay until the new ones come, so that the list does not flicker as one types.
    if (!(_model->matches().pattern() == _pattern)) {
        _model->setMatches(DocumentMatches());
        emit summaryChanged(tr("Searching\u2026"));
    }
    _search->start(std::move(sources), _pattern);
}

void DocumentMatchesList::show(const DocumentMatches &matches)
{
    if (!_isListing)
        return;
    // The same search made again after an edit keeps the user's place in the list.
    const bool samePattern = _model->matches().pattern() == matches.pattern();
    const int place = _outline ? _outline->verticalScrollBar()->value() : 0;
    _model->setMatches(matches);
    if (isShownInOutline()) {
        _outline->expandAll();
        if (samePattern)
            _outline->verticalScrollBar()->setValue(place);
    }
    emit summaryChanged(matches.summary());
}

void DocumentMatchesList::didShow()
{
    if (!isShownInOutline())
        return;
    if (!_matchRows || _outline->itemDelegate() != _matchRows) {
        _matchRows = new MatchRowDelegate(_outline->itemDelegate(), _outline);
        _outline->setItemDelegate(_matchRows);
    }
    connect(_outline->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &DocumentMatchesList::showSelectedMatch, Qt::UniqueConnection);
    _outline->expandAll();
}

void DocumentMatchesList::clear()
{
    _isListing = false;
    _refreshTimer->stop();
    _search->cancel();
    _pattern = SearchPattern();
    _model->setMatches(DocumentMatches());
    if (_outline && _matchRows && _outline->itemDelegate() == _matchRows)
        _outline->setItemDelegate(_matchRows->standsFor());
    delete _matchRows;
}

void DocumentMatchesList::showSelectedMatch()
{
    if (!isShownInOutline())
        return;
    const QModelIndexList selected = _outline->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    const auto [file, range] = _model->matchForIndex(selected.first());
    if (!file || range.location == QSNotFound)
        return;
    // The file may have been edited since the search: the match is looked for again
    // from where it was.
    const SearchPattern &pattern = _model->matches().pattern();
    const QString &content = file->content();
    QSRange found = pattern.find(content, qMin<qsizetype>(range.location, content.size()));
    if (found.location == QSNotFound)
        found = pattern.find(content);
    if (found.location != QSNotFound)
        emit matchChosen(file, found);
}
