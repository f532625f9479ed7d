#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>

// How a run ended, as its log or the engine's own output tells it, apart from the
// errors it lists: whether the engine gave up ("==> Fatal error occurred, no output
// PDF file produced!"), whether it wrote no page, and the lines that say why a run
// failed when no error of it belongs to a file of the document (an error in a
// package, a font the engine cannot load, a format it cannot find). Pure, for any
// thread.
class LogOutcome
{
public:
    // The engine wrote its fatal end: no PDF came of the run.
    bool fatal = false;
    // "No pages of output.": the run made no PDF either.
    bool noPages = false;
    // The log's first error in any file, else its first line that tells of a
    // failure, with the place the engine gives for it; empty when it tells none.
    QStringList reason;
    // When the log was last written; invalid when it could not be read.
    QDateTime written;

    bool noPdf() const { return fatal || noPages; }

    // Reads a whole log.
    static LogOutcome read(QByteArrayView log);
    // The lines of an engine's terminal output that say why it failed ("I can't
    // find the format file `pdflatex.fmt'!"), or its last line with text; empty for
    // an output without text.
    static QStringList reasonInOutput(QStringView output);
    // The engine's closing words for a run it gave up, in whatever form it wrote them.
    static bool isFatalMessage(QStringView message);
};
