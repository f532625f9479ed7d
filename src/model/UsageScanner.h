#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

// A name that the document gives something, which the user can find the uses of
// and rename everywhere.
struct UsageName
{
    enum class Kind {
        Label,       // \label{name} and what \ref and its kin name
        CitationKey, // a key of \cite and its kin, \bibitem and a bibliography entry
        Command,     // \name, defined by \newcommand and its kin (name without "\")
        Environment, // \begin{name} and \end{name}, defined by \newenvironment
        File         // a file of the document, by its path from the root's folder;
                     // named by include commands, which a text alone cannot resolve
    };
    Kind kind = Kind::Label;
    QString name;

    bool operator==(const UsageName &) const = default;
};

// One place a name stands: the name's own characters (no backslash, no braces).
struct Usage
{
    qint32 offset = 0;
    qint32 length = 0;
    bool inComment = false; // after a % on its line: listed, not meant to be renamed

    bool operator==(const Usage &) const = default;
};

// Finds where a name stands in one file's text, exactly as TeX reads it: a whole
// key of a reference or citation command (each key of a comma-separated list,
// past optional arguments and stars), a whole command name (\fig never matches in
// \figure or in \\fig, a line break followed by "fig"), a whole environment name.
// Text that TeX reads verbatim (\verb, the verbatim-like environments) holds no
// names; text after a comment's % is looked through too, and marked.
namespace UsageScanner {
// The name that the position stands on or just after, in a LaTeX text; none
// where it stands on no name of these kinds.
std::optional<UsageName> nameAt(QStringView text, qsizetype position);
// The key of the bibliography entry ("@article{key,") that the position stands
// on or just after, in the text of a .bib file.
std::optional<UsageName> nameAtInBib(QStringView text, qsizetype position);
// Every entry of a .bib text whose key is the key, exactly, in order: the key's span.
QList<Usage> inBib(QStringView text, const QString &key);
// Every place the name stands in a LaTeX text, in order.
QList<Usage> inText(QStringView text, const UsageName &name);
} // namespace UsageScanner
