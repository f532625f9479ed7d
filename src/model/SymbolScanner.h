#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// What a piece of LaTeX source defines or names that completion offers elsewhere:
// a label, a command or environment it defines, a bibliography database it names.
struct Symbol
{
    enum class Kind { Label, Command, Environment, Bibliography };
    Kind kind = Kind::Label;
    // The label; the command with its backslash; the environment; the database's
    // file name as written, with ".bib" added when it has no extension.
    QString name;
    // How many arguments a defined command or environment takes.
    int arguments = 0;

    bool operator==(const Symbol &) const = default;
};

// Finds, in document order, \label{...}; \newcommand, \renewcommand,
// \providecommand, \DeclareMathOperator and \def definitions; \newenvironment and
// \renewenvironment; and the databases of \bibliography{a,b} and
// \addbibresource[...]{x.bib}. Comments are skipped; a backslash escapes the
// character after it.
namespace SymbolScanner {
QList<Symbol> scan(QStringView text);
}
