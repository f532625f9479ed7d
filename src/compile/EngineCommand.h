#pragma once

#include <QString>
#include <QStringList>

// What one compile runs in the root file's folder: latexmk driving the engine
// through BibTeX or biber, makeindex and the reruns until references settle, or
// the engine once with the arguments it has always had. The file's name follows
// the arguments.
class EngineCommand
{
public:
    QString program;       // a full path: the folder of the defaults and the program
    QStringList arguments; // before the file's name
    QString engine;        // "pdflatex", "xelatex" or "lualatex", whichever runs it
    bool throughLatexmk = false;
    // Why the command is not the one the defaults ask for, for the console; empty
    // when it is.
    QString note;

    // The command for an engine as the defaults have it now: through latexmk,
    // unless they ask for one run of the engine (or the chain is asked for here,
    // whatever they say); one run when latexmk is not installed.
    static EngineCommand forEngine(const QString &engine, bool chainAsked);
    // latexmk's option that selects the engine: -pdf, -pdfxe or -pdflua.
    static QString latexmkEngineOption(const QString &engine);
    // The engine's name as users know it: "pdfLaTeX", "XeLaTeX", "LuaLaTeX".
    static QString displayName(const QString &engine);
    // What the console says when the program is not there.
    QString notFoundMessage() const;
};
