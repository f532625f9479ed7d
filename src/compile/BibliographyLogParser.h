#pragma once

#include <QList>
#include <QString>

// Reads what the bibliography programs of a latexmk run said: BibTeX's and biber's
// .blg files, and latexmk's own output where it refuses to run one of them. Each
// error or warning names the database file and line when the program gave them,
// and the root file otherwise. Pure functions over text, for any thread.
class BibliographyLogParser
{
public:
    struct Diagnostic
    {
        QString file; // a database file as the program named it; empty for the root file
        int lineNumber = 0;
        QString type; // "error" or "warning"
        QString message;
        bool operator==(const Diagnostic &) const = default;
    };

    // A .blg file that BibTeX or biber wrote.
    static QList<Diagnostic> parseBlg(const QString &text);
    // latexmk's output: the programs it would not run for want of their files.
    static QList<Diagnostic> parseLatexmkOutput(const QString &text);
};
