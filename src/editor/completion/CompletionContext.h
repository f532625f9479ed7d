#pragma once

#include <QString>
#include <QStringView>

// What the text left of the caret asks to be completed, read from its line alone:
// a command name being typed (\sec), or the argument of \begin{, of a reference
// command (\ref{, \eqref{, \autoref{, \cref{, \pageref{, ...) or of a citation
// command (\cite{, \citep{, \parencite{, ... with optional arguments and keys
// before a comma).
struct CompletionContext
{
    enum class Kind { None, Command, Environment, Label, Citation };
    Kind kind = Kind::None;
    // What has been typed of the name: "\sec" for a command (with its backslash),
    // "ite" in \begin{ite, "fig:" in \ref{fig:, "smi" in \cite{doe,smi.
    QString prefix;
    // Where that typed text starts in the line.
    qsizetype start = 0;

    // The context at a column of a line.
    static CompletionContext at(QStringView line, qsizetype column);
};
