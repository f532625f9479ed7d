#pragma once

#include "editor/references/ReferenceProblem.h"
#include "model/LandmarkScanner.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>

class QSFile;
class ReferenceIndex;

// Which references, citation keys and labels of a document go unresolved, from what
// its files define and name. No false alarms is the rule: whatever the document
// could resolve in a way that cannot be read without TeX is let be.
namespace ReferenceRules {

// A label, reference, citation key, \bibitem key, xr prefix or bibliography command
// of a file (the landmark's kind and key), where it stands.
struct Occurrence
{
    Landmark::Kind kind = Landmark::Kind::Label;
    QString key;
    // The key as keys are matched: a label's and a reference's without spaces and
    // line ends (which an argument written over lines, or in expl3's syntax, holds
    // where TeX reads none), a citation's and a \bibitem's in lower case (BibTeX
    // finds a key whatever its case).
    QString matched;
    qint32 offset = 0; // in the file's text
    qint32 length = 0;
    int line = 0; // 1-based
    // Read where it may not be what it seems: a "label=" option (of a listing, a box,
    // a theorem, or a TikZ node), or text that TeX passes over (\iffalse ... \fi). It
    // resolves references, but is never flagged, nor makes another label a duplicate.
    bool quiet = false;
    // The commands whose braced arguments hold it, innermost first: an argument that
    // a literal command of the document typesets as text holds no reference.
    QStringList enclosing;
};

struct File
{
    std::weak_ptr<QSFile> file;
    QString name;                  // as messages name it
    QList<Occurrence> occurrences; // in document order
};

struct Document
{
    QList<File> files; // the root first
    // What the files define, counted as they were read.
    const ReferenceIndex *index = nullptr;
    // Every file of the document was read: the root is a whole document (it has a
    // \documentclass) and every file it pulls in is among the files. Else no label
    // or key can be said to be missing, and only duplicate labels are looked for.
    bool whole = false;
    // The databases the document names (as written, with ".bib"), whether every
    // one of them was found and read, and their keys in lower case.
    QStringList databases;
    bool databasesRead = false;
    QSet<QString> databaseKeys;
    // The commands the document defines to typeset their argument as it is written
    // (through \detokenize and its kin), without the backslash.
    QSet<QString> literalCommands;
};

// The problems in the order of the files, each file's in the order of the text:
// - a reference whose key no label defines, unless a label written with a macro
//   parameter or a command (\label{ch:#1}) may make it (its text up to the first # or
//   \ starts the key), or an \externaldocument prefix starts it (an empty one: any);
// - a citation key in none of the databases nor any \bibitem, when the databases
//   were all read, or when none is named and the document has \bibitem entries; a
//   document that prints a bibliography from databases it does not name, or names
//   none and has no \bibitem, gets none; * (\nocite{*}) is never one;
// - each definition of a label that is defined more than once.
// Keys that hold # or a backslash are never flagged, nor what stands in an argument
// of a literal command.
QList<ReferenceProblem> check(const Document &document);

// Whether a key is made by TeX from a macro's parameter or a command (# or \ in it).
bool isMade(const QString &key);
// The key of an occurrence as occurrences are matched.
QString matchedKey(Landmark::Kind kind, const QString &key);

} // namespace ReferenceRules
