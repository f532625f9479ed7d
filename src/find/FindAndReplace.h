#pragma once

#include "model/QSRange.h"
#include "model/QSSectionNode.h"
#include "model/SearchPattern.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <memory>

class FindAndReplaceSearchResult;
class QSFile;

// Which outline nodes of a document hold a search pattern: the root file and every
// file it includes, each once, searched node by node (a match never spans two
// nodes), the results in document order: an included file's where it is first
// included. A match in running text is credited to the section or file that holds it.
class FindAndReplace : public QSSectionNode::SearchReceiver
{
public:
    explicit FindAndReplace(const std::shared_ptr<QSFile> &file);
    ~FindAndReplace() override;

    // Searches the whole document; takes the document-model lock, so that no edit
    // changes a tree under the search. A key alone is found whatever its case.
    void findString(const SearchPattern &pattern);
    void findString(const QString &key) { findString(SearchPattern(key)); }

    // Reports from the node search: a node's own text, starting at the location in
    // its file, holds the pattern, first at the offset given.
    void SectionNodeMatchesSearch(const std::shared_ptr<QSSectionNode> &node, qint32 location,
                                  qsizetype first) override;
    void searchReachedIncludedFile(const std::shared_ptr<QSSectionNode> &fileNode) override;
    void sectionNodeNoLongerMatchesSearch(const std::shared_ptr<QSSectionNode> &) {}
    bool searchKeyWasFoundInFile() const { return !_findResults.isEmpty(); }

    QString searchKey() const { return _searchPattern.key(); }
    const SearchPattern &searchPattern() const { return _searchPattern; }
    std::shared_ptr<QSFile> fileToSearchIn() const { return _fileToSearchIn; }
    void setFileToSearchIn(const std::shared_ptr<QSFile> &file) { _fileToSearchIn = file; }
    QList<std::shared_ptr<QSSectionNode>> findResults() const;
    const QList<std::shared_ptr<FindAndReplaceSearchResult>> &searchResults() const
    {
        return _findResults;
    }

private:
    void searchFile(QSFile *file);

    SearchPattern _searchPattern;
    std::shared_ptr<QSFile> _fileToSearchIn; // the document's root file, shared
    QList<std::shared_ptr<FindAndReplaceSearchResult>> _findResults;
    // Each node is listed once, however many of its texts hold the key.
    QHash<const QSSectionNode *, std::shared_ptr<FindAndReplaceSearchResult>> _resultForNode;
    QSet<const QSFile *> _searchedFiles; // during a search
};
