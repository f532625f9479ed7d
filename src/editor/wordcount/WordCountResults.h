#pragma once

#include <QHash>
#include <QMetaType>

class QSFile;
class QSSectionNode;

// The words of one document as one pass counted them. Keys are looked up, never
// followed: a node or file may be gone by the time the UI thread reads them.
struct WordCountResults
{
    // The whole document: the root file and every file it includes.
    int document = 0;
    // Each file's own text, without the files it includes.
    QHash<const QSFile *, int> files;
    // Each node's text with everything under it: a section with its subsections
    // and the files included there, a file's root node with the files it includes.
    QHash<const QSSectionNode *, int> sections;
    // The selection's words; -1 when nothing is selected.
    int selection = -1;
};

Q_DECLARE_METATYPE(WordCountResults)
