#pragma once

#include "model/QSRange.h"

#include <QList>
#include <memory>

class QSSectionNode;

// One outline node that holds the search key, with where the key stands in its
// file: the occurrences in the node's own text and in the text it was credited
// for (the running text under a section).
class FindAndReplaceSearchResult
{
public:
    explicit FindAndReplaceSearchResult(const std::shared_ptr<QSSectionNode> &node)
        : nodeWithResult(node)
    {}

    void addFoundRange(QSRange range) { foundRanges.append(range); }

    std::shared_ptr<QSSectionNode> nodeWithResult;
    QList<QSRange> foundRanges; // offsets in the node's file, in the order found
};
