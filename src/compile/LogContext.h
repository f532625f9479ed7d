#pragma once

#include <QByteArrayView>
#include <QString>
#include <functional>

// What the engine's log shows around one error: the lines TeX writes after it to
// say where it was ("l.11 The energy is \undefinedcmd" and the rest of that source
// line under it), the text of a runaway argument before it, and the line number
// those give. Pure, for any thread.
class LogContext
{
public:
    using Decode = std::function<QString(QByteArrayView)>;

    // The lines that name the culprit, apart by "\n", right ends trimmed; empty when
    // the log gives none.
    QString text;
    // The "l.N" of the context, or 0.
    qint32 lineNumber = 0;
    // TeX wanted an answer from the user ("<read *>"): the error is what a file
    // error ends in without one, not a mistake of its own.
    bool readFromTerminal = false;

    // The context of the error whose line runs from lineStart to lineEnd (its line
    // feed or the end of the log).
    static LogContext read(QByteArrayView log, qsizetype lineStart, qsizetype lineEnd,
                           const Decode &decode);
};
