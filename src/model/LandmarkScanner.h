#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// A place in LaTeX source that the outline lists or that references are checked
// against: a label, a reference to one, a citation key, a bibliography entry, the
// start and end of a figure or table, its caption, and where a bibliography is
// printed.
struct Landmark
{
    enum class Kind {
        Label,         // key: the label, as \label{...} or \zlabel{...} names it
        Reference,     // key: one label that \ref and its kin name
        Citation,      // key: one citation key of a \cite-family command
        BibItem,       // key: the key of \bibitem
        FloatBegin,    // key: the environment (figure, table*, wrapfigure, ...)
        FloatEnd,      // key: the environment
        Caption,       // key: the caption's text, its spaces collapsed
        Bibliography,  // key: the command (bibliography, printbibliography, thebibliography)
        ExternalLabels // key: the prefix of \externaldocument[prefix]{...}, maybe empty
    };
    Kind kind = Kind::Label;
    QString key;
    // Where the key stands in the text scanned (for floats, captions and the
    // bibliography: where the command's backslash stands), and its length there.
    qint32 offset = 0;
    qint32 length = 0;

    bool operator==(const Landmark &) const = default;
};

// Finds the landmarks of a piece of LaTeX source in document order. Comments,
// \verb, the characters \MakeShortVerb declares (|text|, from the declaration on)
// and the verbatim-like environments (verbatim, Verbatim, lstlisting, minted,
// comment) are skipped. The lists of citation commands and of \cref and
// its kin are split at commas, each key trimmed, as TeX reads them: \cref{a, b}
// names a and b; \label and \ref take their argument whole. Optional arguments and stars
// before the braces are read past (\cite[p.~4]{k}, \citep*[see][]{k},
// \label[type]{x}, \hyperref[key]{text}); \cites-style commands give every group.
// A key is reported as written, even when it holds a macro argument (#1): the
// reader decides what it can check. A group that holds a command is no key,
// nor is one that runs into the next paragraph (a brace not typed yet).
namespace LandmarkScanner {
// What the scan passes over, in order: each comment (after its %, to the line's
// end) and each stretch read verbatim; [start, end) in the text.
struct Skipped
{
    qsizetype start = 0;
    qsizetype end = 0;
    bool comment = false; // else verbatim
};
// The landmarks, and what was passed over when asked for.
QList<Landmark> scan(QStringView text, QList<Skipped> *skipped = nullptr);
// Whether the environment's text is read verbatim (verbatim, Verbatim, BVerbatim,
// LVerbatim, lstlisting, minted, comment; starred where they have a star).
bool isVerbatim(QStringView environment);
} // namespace LandmarkScanner
