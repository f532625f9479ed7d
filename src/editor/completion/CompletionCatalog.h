#pragma once

#include "editor/completion/CompletionItem.h"

#include <QList>

// The commands and environments of LaTeX and its common packages that completion
// offers in every document, read once from the catalog shipped with the program.
class CompletionCatalog
{
public:
    static const CompletionCatalog &shared();

    const QList<CompletionItem> &commands() const { return _commands; }
    const QList<CompletionItem> &environments() const { return _environments; }

    // Reads a catalog's text: "## package" lines name the package of the entries
    // after them, "# " lines are comments, every other line that starts with a
    // backslash is one entry; an entry that starts with \begin{name} is an
    // environment.
    explicit CompletionCatalog(const QString &text);

private:
    QList<CompletionItem> _commands;
    QList<CompletionItem> _environments;
};
