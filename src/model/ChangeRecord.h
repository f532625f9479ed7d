#pragma once

#include "model/QSRange.h"

#include <QString>
#include <memory>

class QSSectionNode;

// One edit of a file's text, made on the UI thread and applied to the file's tree
// by the edit worker.
struct ChangeRecord
{
    // "add", "replace" or "remove".
    QString action;
    // Where the edit starts in the file's text, and how many characters of the old
    // text it covers (for "add": how many it inserts).
    QSRange range;
    // The new text; empty for "remove".
    QString whatChanged;
    // The root node of the edited file's tree at the time of the edit.
    std::shared_ptr<QSSectionNode> objectToChange;
};
