#pragma once

#include "editor/references/ReferenceRules.h"

#include <QHash>
#include <QList>
#include <QString>

// The labels and \bibitem keys a document's files define, counted by key and kept
// up to date file by file as the files are read again: a keystroke counts the
// occurrences of the file typed in again, not those of the whole document.
class ReferenceIndex
{
public:
    // A file's occurrences come, or go (as they were when they came).
    void add(const QList<ReferenceRules::Occurrence> &occurrences) { count(occurrences, 1); }
    void remove(const QList<ReferenceRules::Occurrence> &occurrences) { count(occurrences, -1); }
    void clear();

    // Whether a label, quiet or not, defines the key (as occurrences match it).
    bool definesLabel(const QString &matched) const { return _labels.contains(matched); }
    // How many labels that are not quiet define the key as written.
    int labelDefinitions(const QString &key) const { return _flaggable.value(key); }
    bool hasBibItem(const QString &matched) const { return _bibItems.contains(matched); }
    bool hasBibItems() const { return !_bibItems.isEmpty(); }

private:
    void count(const QList<ReferenceRules::Occurrence> &occurrences, int sign);

    QHash<QString, int> _labels;    // by matched key
    QHash<QString, int> _flaggable; // by key as written
    QHash<QString, int> _bibItems;  // by matched key
};
