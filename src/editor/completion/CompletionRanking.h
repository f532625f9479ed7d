#pragma once

#include "editor/completion/CompletionItem.h"

#include <QList>
#include <functional>

// The order in which completion offers the candidates that start with what was
// typed (ignoring case): one equal to it first of all; then those that start with
// it in the same case, then the others; within each, the entries that the
// preference function favours (the higher its value, the earlier), then the rest
// by their order.
class CompletionRanking
{
public:
    // The candidates sorted by name ignoring case, so that those that match are
    // found by halving; the function's value for an entry, 0 when it has none.
    CompletionRanking(const QList<CompletionItem> &items,
                      std::function<qint64(const CompletionItem &)> preference);

    // The indexes of the candidates that match the typed text, in the order offered.
    QList<int> rows(const QString &typed) const;

private:
    const QList<CompletionItem> &_items;
    std::function<qint64(const CompletionItem &)> _preference;
};
