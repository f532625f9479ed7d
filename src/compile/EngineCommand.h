#pragma once

#include <QString>
#include <QStringList>

// What one compile runs in the root file's folder: the engine the defaults name
// with the three arguments it has always had, or latexmk driving that engine
// through BibTeX or biber, makeindex and the reruns until references settle. The
// file's name follows the arguments.
class EngineCommand
{
public:
    QString program;       // a full path: the folder of the defaults and the program
    QStringList arguments; // before the file's name
    bool throughLatexmk = false;

    // The command as the defaults have it now; through latexmk when asked for here
    // or when the defaults turn the chain on.
    static EngineCommand fromDefaults(bool withBibliography);
    // latexmk's option that selects the engine: -pdf, -pdfxe or -pdflua.
    static QString latexmkEngineOption(const QString &engine);
    // What the console says when the program is not there.
    QString notFoundMessage() const;
};
