#pragma once

#include <QString>

// One candidate of the completion popup.
struct CompletionItem
{
    // What the typed text is matched against: "\section", "itemize", "fig:setup".
    QString name;
    // What accepting it puts in, with its ‹placeholders›: "\section{‹title›}"; for an
    // environment, its arguments after \begin{name}: "{‹columns›}".
    QString insertion;
    // Shown beside it: the package, the file and heading of a label, the author,
    // year and title of an entry.
    QString detail;
};
