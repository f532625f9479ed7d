#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// The entries of a BibTeX or biblatex database as completion shows them.
struct BibEntry
{
    QString key;
    // The surnames of "author", else of "editor": "Doe", "Doe and Roe", "Doe et al.".
    QString author;
    QString year;   // "year", else the year of "date"
    QString title;
};

// Reads the entries of a .bib file's text: @type{key, field = {value} or "value" or
// a number or a string's name, ...} with ( ) allowed for the outer braces. Text
// outside entries, @comment, @string and @preamble are skipped; a damaged entry is
// left out and reading goes on at the next @.
namespace BibFileReader {
QList<BibEntry> read(QStringView text);
}
