#pragma once

#include "compile/LatexLogParser.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class ErrorWarningNode;

// Hints in plain words for the engine's errors and warnings. The words are data, the
// table resources/hints/errorhints.txt; what they name is worked out here: the
// package that defines an unknown command and the known commands spelled nearest to
// it, where TeX looked for a missing file and which Debian package ships it, where
// math mode began before a "Missing $", and what resolves references after a run of
// the engine alone.
class ErrorHints
{
public:
    // What a compile was.
    struct Run
    {
        QString folder; // the root file's folder, ending in "/"
        bool throughLatexmk = false;
    };

    // Once at start, before any compile, from the completion catalog: each command
    // with its backslash ("\includegraphics") and the package that defines it
    // ("graphicx"; "latex" for LaTeX's own). Any thread after.
    static void setKnownCommands(const QHash<QString, QString> &commandToPackage);

    // Compile worker: gives each diagnostic of a parse its hint, with the commands
    // the document's files define. Runs kpsewhich and dpkg, each with a time limit.
    static void addHints(QList<LatexLogParser::FileDiagnostics> &result, const Run &run);
    // The hint for one diagnostic; empty when the table has none. Compile worker.
    static QString hintFor(const ErrorWarningNode &node, const Run &run,
                           const QStringList &ownCommands);
    // The table's words for a message alone, without looking anything up: for a line
    // of the engine's output on the UI thread.
    static QString plainHintFor(const QString &message);

    // The known commands nearest in spelling to one that is not ("\textbff" →
    // "\textbf"), the document's own first where equally near; at most three.
    static QStringList nearestCommands(const QString &command, const QStringList &ownCommands);
    // The Debian package that ships a file of that name, as dpkg knows it; empty
    // when none does.
    static QString debianPackageOf(const QString &fileName);
    // The roots of the folder trees where TeX looks for its input, that exist.
    static QStringList texFolders();
    // The line (1-based) where the math that a paragraph leaves open at a line began
    // in a source text, or 0 when the text shows no math open there.
    static int mathModeBegan(const QString &source, int errorLine);
};
