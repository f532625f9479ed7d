#include "editor/completion/CompletionRanking.h"

#include <algorithm>
#include <vector>

CompletionRanking::CompletionRanking(const QList<CompletionItem> &items,
                                     std::function<qint64(const CompletionItem &)> preference)
    : _items(items)
    , _preference(std::move(preference))
{}

QList<int> CompletionRanking::rows(const QString &typed) const
{
    const auto first = std::lower_bound(_items.begin(), _items.end(), typed,
                                        [](const CompletionItem &item, const QString &text) {
                                            return item.name.compare(text, Qt::CaseInsensitive) < 0;
                                        });
    struct Ranked
    {
        int tier; // 0 equal to what was typed, 1 same case, 2 another case
        qint64 preference;
        int order;
        int index;
    };
    std::vector<Ranked> ranked;
    for (auto it = first; it != _items.end() && it->name.startsWith(typed, Qt::CaseInsensitive);
         ++it) {
        const int tier = it->name == typed ? 0 : it->name.startsWith(typed) ? 1 : 2;
        ranked.push_back(
            {tier, _preference ? _preference(*it) : 0, it->order, int(it - _items.begin())});
    }
    std::sort(ranked.begin(), ranked.end(), [](const Ranked &left, const Ranked &right) {
        if (left.tier != right.tier)
            return left.tier < right.tier;
        if (left.preference != right.preference)
            return left.preference > right.preference;
        if (left.order != right.order)
            return left.order < right.order;
        return left.index < right.index;
    });
    QList<int> rows;
    rows.reserve(qsizetype(ranked.size()));
    for (const Ranked &entry : ranked)
        rows.append(entry.index);
    return rows;
}
