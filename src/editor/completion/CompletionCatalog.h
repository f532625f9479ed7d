#pragma once

#include "editor/completion/CompletionItem.h"

#include <QList>

// The commands and environments of LaTeX and its common packages that completion
// offers in every document, read once from the catalog shipped with the program.
class CompletionCatalog
{
public:
    static const CompletionCatalog &shared();

    // In the catalog's order, each with its order set: the entries named in the list
    // of frequent ones first, as that list ranks them, then the others.
    const QList<CompletionItem> &commands() const { return _commands; }
    const QList<CompletionItem> &environments() const { return _environments; }

    // Reads a catalog's text: "## package" lines name the package of the entries
    // after them, "# " lines are comments, every other line that starts with a
    // backslash is one entry; an entry that starts with \begin{name} is an
    // environment. The frequent list has a command ("\section") or an environment
    // ("\begin{itemize}") a line, most used first, and "# " comments.
    explicit CompletionCatalog(const QString &text, const QString &frequent = {});

    // The names of the frequent list that the catalog lacks, as written there.
    const QStringList &unknownFrequentNames() const { return _unknownFrequentNames; }

private:
    QList<CompletionItem> _commands;
    QList<CompletionItem> _environments;
    QStringList _unknownFrequentNames;
};
