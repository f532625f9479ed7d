#pragma once

#include <QString>
#include <QStringView>

// How the spelling scanner reads what follows a LaTeX command or the name of an
// environment: one letter for each argument, in order.
//   *  an optional star
//   o  an optional [argument] that is not text (options, keys, positions)
//   O  an optional [argument] that is text
//   m  a {braced argument} that is not text (a key, a file, a length, code)
//   M  a {braced argument} that is text
//   u  a {URL}, in which % and \ are plain characters
//   c  a command, written bare or in braces (\newcommand{\name})
//   f  a file name, in braces or bare (\input chapter)
//   v  verbatim text between two equal characters or in braces (\verb|x|)
//   p  an optional (parenthesised argument) that is not text
//   V  the environment's body is verbatim up to its \end
//   D  any braces or brackets right after it, read as text unless they hold
//      a key=value list (the arguments of a command this table does not know)
class ArgumentSignatures
{
public:
    // The arguments of a command, named without its backslash; D for one not known.
    static QString command(QStringView name);
    // The arguments that follow \begin{name}; D for an environment not known.
    static QString environment(QStringView name);
    // Whether the environment's body is math (equation, align*, ...).
    static bool isMathEnvironment(QStringView name);
};
