#pragma once

#include <QString>
#include <QStringList>

// Which engine compiles a document: the one its root file names in a magic comment
// ("% !TeX program = xelatex"), else the one chosen for the document in the
// Typeset menu, else the preferences'. A value that names no engine is passed over
// for the next, and said.
class EngineChoice
{
public:
    enum class Source { MagicComment, Document, Preferences };

    QString engine; // "pdflatex", "xelatex" or "lualatex"
    Source source = Source::Preferences;
    // A value passed over on the way, in words for the console and the status bar;
    // empty when none was.
    QString problem;

    // magicProgram is the value of the root file's magic comment, empty when it has
    // none; documentPath the root file's path.
    static EngineChoice choose(const QString &magicProgram, const QString &documentPath);
    // The engines a document can be given, in the order the menu offers them.
    static const QStringList &engines();
    // The engine a name stands for, as authors write it ("XeLaTeX", "xelatexmk",
    // "pdftex"); empty when it stands for none.
    static QString engineNamed(const QString &name);
    // The engine chosen for a document in the menu; empty when none was.
    static QString documentEngine(const QString &documentPath);
    // Remembers the engine for the document; an empty one forgets it.
    static void setDocumentEngine(const QString &documentPath, const QString &engine);
};
