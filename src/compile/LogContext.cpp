#include "compile/LogContext.h"

#include "compile/LogBytes.h"

#include <QList>

namespace {

// TeX's context and its help take a dozen lines; no error needs more.
constexpr int linesLookedAt = 16;

struct Line
{
    qsizetype start, end;
};

Line lineAt(QByteArrayView log, qsizetype start)
{
    qsizetype end = start;
    while (end < log.size() && log[end] != '\n')
        ++end;
    const qsizetype cut = end > start && log[end - 1] == '\r' ? end - 1 : end;
    return {start, cut};
}

bool isBlank(QByteArrayView line)
{
    return line.trimmed().isEmpty();
}

// A line that starts what comes after the error rather than telling of it.
bool startsAnother(QByteArrayView log, const Line &line)
{
    return LogBytes::startsWith(log, line.start, "! ")
           || LogBytes::errorNameEnd(log, line.start) >= 0
           || LogBytes::startsWith(log, line.start, "LaTeX Warning:")
           || LogBytes::startsWith(log, line.start, "Here is how much");
}

// "l.12 " and the digits: the line of the source TeX was reading.
qint32 sourceLine(QByteArrayView line)
{
    if (!line.startsWith("l.") || line.size() < 3 || line[2] < '0' || line[2] > '9')
        return 0;
    return LogBytes::leadingNumber(QString::fromLatin1(line.sliced(2)));
}

// Where the line before the one that starts at a place starts, or -1.
qsizetype lineBefore(QByteArrayView log, qsizetype start)
{
    if (start <= 0)
        return -1;
    qsizetype at = start - 1;
    while (at > 0 && log[at - 1] != '\n')
        --at;
    return at;
}

// The line without the spaces after it, and without the "^^M" with which TeX shows
// the end of a source line it had read to.
QString rightTrimmed(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    if (QStringView(text).left(end).endsWith(u"^^M"))
        end -= 3;
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return text.left(end);
}

} // namespace

LogContext LogContext::read(QByteArrayView log, qsizetype lineStart, qsizetype lineEnd,
                            const Decode &decode)
{
    LogContext context;
    QList<Line> after;
    for (qsizetype at = lineEnd + 1; at < log.size() && after.size() < linesLookedAt;) {
        const Line line = lineAt(log, at);
        if (startsAnother(log, line))
            break;
        after << line;
        at = line.end + 1;
        while (at < log.size() && log[at - 1] != '\n')
            ++at;
    }
    auto bytes = [log](const Line &line) { return log.sliced(line.start, line.end - line.start); };
    // A pair of lines: what TeX had read, and under it, indented to where the first
    // ends, what it had not; the second is left out when nothing was left. The
    // indent is counted again in characters, for TeX counts a UTF-8 byte as one.
    QStringList lines;
    auto takePair = [&](qsizetype first) {
        const QString top = decode(bytes(after.at(first)));
        lines << rightTrimmed(top);
        if (first + 1 < after.size() && !isBlank(bytes(after.at(first + 1))))
            lines << QString(top.size(), u' ')
                         + rightTrimmed(decode(bytes(after.at(first + 1)))).trimmed();
    };
    qsizetype source = -1, other = -1;
    for (qsizetype i = 0; i < after.size(); ++i) {
        const QByteArrayView line = bytes(after.at(i));
        if (line.startsWith("<read "))
            context.readFromTerminal = true;
        if (source < 0 && sourceLine(line) > 0) {
            source = i;
            context.lineNumber = sourceLine(line);
        }
        // Levels of input from the innermost out: the last is the file's.
        if (line.startsWith("<"))
            other = i;
    }
    // A runaway argument shows, in the two lines before the error, the text TeX
    // took for it: "Runaway argument?", then the text.
    const qsizetype previous = lineBefore(log, lineStart);
    const qsizetype twoBefore = previous >= 0 ? lineBefore(log, previous) : -1;
    if (twoBefore >= 0) {
        const QByteArrayView runaway = bytes(lineAt(log, twoBefore));
        if (runaway.startsWith("Runaway ") && runaway.endsWith("?"))
            lines << decode(runaway.chopped(1)) + QStringLiteral(": ")
                         + decode(bytes(lineAt(log, previous))).trimmed();
    }
    if (source >= 0) {
        takePair(source);
    } else if (other >= 0 && !context.readFromTerminal) {
        takePair(other);
    }
    for (const Line &line : std::as_const(after)) {
        if (bytes(line).startsWith("*** ("))
            lines << decode(bytes(line)).trimmed();
    }
    context.text = lines.join(u'\n');
    return context;
}
