#pragma once

#include <QString>
#include <QtGlobal>

// One candidate of the completion popup.
struct CompletionItem
{
    // What the typed text is matched against: "\section", "itemize", "fig:setup".
    QString name;
    // What accepting it puts in, with its ‹placeholders›: "\section{‹title›}"; for an
    // environment, its arguments after \begin{name}: "{‹columns›}".
    QString insertion;
    // Shown beside it: the package or the file that defines it, and more about it
    // (the heading a label stands under; an entry's author, year and title). Kept
    // apart, so that a long document's thousands of labels share their file's name.
    QString where;
    QString detail;
    // Among candidates that match alike, the lower comes first: the catalog's
    // frequent entries, then its order; the document's own, by name.
    int order = 0;
};
Q_DECLARE_TYPEINFO(CompletionItem, Q_RELOCATABLE_TYPE);
