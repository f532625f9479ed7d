#pragma once

#include "find/DocumentMatches.h"
#include "model/QSRange.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class DocumentMatchesSearch;
class FindAndReplaceOutlineViewDataSource;
class MatchRowDelegate;
class QSFile;
class QTimer;
class QTreeView;

// The find strip's list of every match in the document, which the window shows in
// its outline in place of the sections. It follows the document: the user's edits
// in any of its files (told by the edit worker), and a Replace All, list the matches
// anew. A small document is searched at once on the UI thread; a large one, and
// every search after an edit, on a worker, the rows staying as they are until the
// new ones come.
class DocumentMatchesList : public QObject
{
    Q_OBJECT

public:
    // Above this many characters of text in the document, a search asked for by the
    // user runs on the worker too.
    static constexpr qsizetype searchOnUiThreadUpTo = 512 * 1024;
    // How long the typing must pause before the list is searched again.
    static constexpr int refreshMilliseconds = 300;

    // The list shows in the outline given, for the document whose root file
    // rootFile gives whenever it is asked.
    DocumentMatchesList(QTreeView *outline, std::function<std::shared_ptr<QSFile>()> rootFile,
                        QObject *parent = nullptr);
    ~DocumentMatchesList() override;

    FindAndReplaceOutlineViewDataSource *model() const { return _model; }
    // Whether the list is shown and follows the document.
    bool isListing() const { return _isListing; }
    bool isSearching() const;
    DocumentMatchesSearch *search() const { return _search; }

    // Lists the matches of the pattern from now on (an empty pattern lists none).
    void list(const SearchPattern &pattern);
    // Lists those of another pattern, or of the same pattern in an edited document,
    // once the user has paused.
    void listSoon(const SearchPattern &pattern);
    // Called once the outline shows the list: marks the matches in its rows and
    // takes the rows chosen.
    void didShow();
    // Empties the list, which stops following the document, and gives the outline
    // back its own rows' look.
    void clear();
    // The match of the row selected in the outline, looked for again in its file if
    // the file was edited since; emits matchChosen.
    void showSelectedMatch();

signals:
    // The number of matches and files, or that a search is under way.
    void summaryChanged(const QString &summary);
    // A row was chosen: the match to select in the text.
    void matchChosen(std::shared_ptr<QSFile> file, QSRange range);

private:
    void documentDidChange(const std::shared_ptr<QSFile> &file);
    void searchNow(bool mayUseUiThread);
    void show(const DocumentMatches &matches);
    bool isShownInOutline() const;

    QPointer<QTreeView> _outline; // not owned; the window's
    std::function<std::shared_ptr<QSFile>()> _rootFile;
    FindAndReplaceOutlineViewDataSource *_model;
    DocumentMatchesSearch *_search;
    QTimer *_refreshTimer;
    QPointer<MatchRowDelegate> _matchRows; // owned by the outline once made
    SearchPattern _pattern;                // the pattern listed
    bool _isListing = false;
};
