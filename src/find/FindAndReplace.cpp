#include "find/FindAndReplace.h"

#include "find/FindAndReplaceSearchResult.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "model/QSSectionNode.h"
#include "platform/Assertions.h"

FindAndReplace::FindAndReplace(const std::shared_ptr<QSFile> &file)
    : _fileToSearchIn(file)
{
    QS_ASSERT(file, "file is nil in initWithAFile of FindAndReplace");
}

FindAndReplace::~FindAndReplace() = default;

void FindAndReplace::findString(const SearchPattern &pattern)
{
    _searchPattern = pattern;
    if (!QS_ASSERT(_fileToSearchIn,
                   "_fileToSearchIn was nil in findString method of FindAndReplace"))
        return;
    // The search reads every tree of the document in one walk, which no edit may
    // change half way.
    std::lock_guard lock(QSFilePool::documentModelLock());
    QList<QSFile *> files{_fileToSearchIn.get()};
    _fileToSearchIn->addAllIncludedFilesToArray(&files);
    _findResults.clear();
    _resultForNode.clear();
    // The walk from the root reaches the included files in their places; a file
    // that no include node holds a tree of is searched after them.
    for (QSFile *file : std::as_const(files))
        searchFile(file);
    _searchedFiles.clear();
}

void FindAndReplace::searchFile(QSFile *file)
{
    if (_searchedFiles.contains(file))
        return;
    _searchedFiles.insert(file);
    if (const std::shared_ptr<QSSectionNode> root = file->treeRootNode()) {
        qint32 location = 0;
        root->searchForString(_searchPattern, this, true, &location);
    }
}

void FindAndReplace::searchReachedIncludedFile(const std::shared_ptr<QSSectionNode> &fileNode)
{
    if (const std::shared_ptr<QSFile> file = fileNode->nodeFile())
        searchFile(file.get());
}

void FindAndReplace::SectionNodeMatchesSearch(const std::shared_ptr<QSSectionNode> &node,
                                              qint32 location, qsizetype first)
{
    const std::shared_ptr<QSSectionNode> credited = node->isTextNode() ? node->parent() : node;
    if (!credited)
        return;
    std::shared_ptr<FindAndReplaceSearchResult> &result = _resultForNode[credited.get()];
    if (!result) {
        result = std::make_shared<FindAndReplaceSearchResult>(credited);
        _findResults.append(result);
    }
    const QString text = node->nodeData();
    for (QSRange found = _searchPattern.find(text, first); found.location != QSNotFound;
         found = _searchPattern.find(text, found.location + found.length))
        result->addFoundRange(QSRange{quint32(location) + found.location, found.length});
}

QList<std::shared_ptr<QSSectionNode>> FindAndReplace::findResults() const
{
    QList<std::shared_ptr<QSSectionNode>> nodes;
    for (const std::shared_ptr<FindAndReplaceSearchResult> &result : _findResults)
        nodes << result->nodeWithResult;
    return nodes;
}
