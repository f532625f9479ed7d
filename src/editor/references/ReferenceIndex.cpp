#include "editor/references/ReferenceIndex.h"

namespace {

void addTo(QHash<QString, int> &counts, const QString &key, int sign)
{
    int &count = counts[key];
    count += sign;
    if (count <= 0)
        counts.remove(key);
}

} // namespace

void ReferenceIndex::clear()
{
    _labels.clear();
    _flaggable.clear();
    _bibItems.clear();
}

void ReferenceIndex::count(const QList<ReferenceRules::Occurrence> &occurrences, int sign)
{
    for (const ReferenceRules::Occurrence &occurrence : occurrences) {
        if (occurrence.kind == Landmark::Kind::BibItem) {
            addTo(_bibItems, occurrence.matched, sign);
        } else if (occurrence.kind == Landmark::Kind::Label
                   && !ReferenceRules::isMade(occurrence.key)) {
            addTo(_labels, occurrence.matched, sign);
            if (!occurrence.quiet)
                addTo(_flaggable, occurrence.key, sign);
        }
    }
}
