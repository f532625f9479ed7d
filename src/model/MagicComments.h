#pragma once

#include <QString>
#include <QStringView>

// What a document says about how it is built, in the "% !TeX key = value" lines at
// its top. Only the leading lines that are comments or blank count, so that a line
// quoted further down (in a verbatim block, say) never changes the build.
struct MagicComments
{
    QString program;    // "% !TeX program = xelatex", also spelled "TS-program"
    QString root;       // "% !TeX root = ../thesis.tex", as written, relative to the file
    QString spellcheck; // "% !TeX spellcheck = de_DE"
    QString encoding;   // "% !TeX encoding = ISO-8859-1"

    // The values found in a file's text; a key that is absent leaves its value empty.
    // "TeX" and the keys ignore case, the first line naming a key wins, and only the
    // head of the text is looked at (a hundred lines, 8 KB).
    static MagicComments read(QStringView text);

    // The same, from the head of a file on disk, without reading the rest of it: for
    // a root named by another file. A file that cannot be read gives empty values.
    static MagicComments readFile(const QString &path);

    // The leading lines end before this many characters or lines.
    static constexpr qsizetype headCharacters = 8192;
    static constexpr int headLines = 100;
};
