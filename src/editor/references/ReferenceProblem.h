#pragma once

#include <QList>
#include <QString>
#include <memory>

class QSFile;

// A reference, citation key or label that the document does not resolve, where it
// stands in one of the document's files.
struct ReferenceProblem
{
    enum class Kind {
        MissingLabel,    // a \ref-family key that no \label of the document defines
        UnknownCitation, // a \cite-family key in none of the document's databases
        DuplicateLabel   // a \label whose key another \label defines too
    };
    Kind kind = Kind::MissingLabel;
    std::weak_ptr<QSFile> file;
    QString key;
    qint32 offset = 0; // where the key stands in the file's text
    qint32 length = 0;
    int line = 0; // 1-based
    // What the tooltip and the error tree say, in one line: "No \label{fig:x} in this
    // document", "No entry "knuth84" in refs.bib", "\label{sec:a} is also defined in
    // intro.tex, line 12".
    QString message;

    bool operator==(const ReferenceProblem &other) const
    {
        return kind == other.kind && !file.owner_before(other.file)
               && !other.file.owner_before(file) && key == other.key && offset == other.offset
               && length == other.length && line == other.line && message == other.message;
    }
};
