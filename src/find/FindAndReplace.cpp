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

void FindAndReplace::findString(const QString &key)
{
    _searchKey = key;
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
    for (QSFile *file : std::as_const(files)) {
        if (const std::shared_ptr<QSSectionNode> root = file->treeRootNode()) {
            qint32 location = 0;
            root->searchForString(key, this, true, &location);
        }
    }
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
    for (qsizetype found = first; found >= 0;
         found = text.indexOf(_searchKey, found + _searchKey.size(), Qt::CaseInsensitive))
        result->addFoundRange(QSRange{quint32(location + found), quint32(_searchKey.size())});
}

QList<std::shared_ptr<QSSectionNode>> FindAndReplace::findResults() const
{
    QList<std::shared_ptr<QSSectionNode>> nodes;
    for (const std::shared_ptr<FindAndReplaceSearchResult> &result : _findResults)
        nodes << result->nodeWithResult;
    return nodes;
}
