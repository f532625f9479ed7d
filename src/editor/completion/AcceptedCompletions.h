#pragma once

#include "editor/completion/CompletionContext.h"
#include "editor/completion/CompletionItem.h"

#include <QHash>
#include <QString>

// The completion entries the user accepted, newest first, kept in the user
// defaults (QSCompletionAccepted): they rank above the others of their kind in this
// session and the next ones. The list is short; the oldest entries fall off.
class AcceptedCompletions
{
public:
    static constexpr int kept = 60;

    // Puts the entry at the head of the list.
    static void remember(CompletionContext::Kind kind, const CompletionItem &item);
    // The entries of a kind on the list, by key, each with its place among them
    // (0 for the newest).
    static QHash<QString, int> ranks(CompletionContext::Kind kind);
    // What tells an entry apart from the others of its kind: its name and what it puts
    // in, so that of \section{‹title›} and \section[‹short›]{‹title›} only the one
    // chosen rises.
    static QString key(const CompletionItem &item);
};
