#pragma once

#include <QIcon>
#include <QString>

// How the rows of every outline (the document's, the error tree, the search
// results) show what they stand for: the icon of a kind of row, and a long name
// shortened.
class OutlineAppearance
{
public:
    // The icon of a row type ("part" to "subsubsection", "error", "warning", and
    // "quillsetFile" for a file); a null icon for other types, and before the
    // program's resources are loaded.
    static QIcon iconForType(const QString &type);
    // 26 characters or more become the first 15, "..." and the last 7.
    static QString shownName(const QString &name);
};
