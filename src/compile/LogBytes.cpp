#include "compile/LogBytes.h"

#include <QFile>
#include <cstring>
#include <limits>

namespace LogBytes {

bool isWordByte(char byte)
{
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z')
           || (byte >= '0' && byte <= '9') || byte == '_';
}

// The bytes a file name is made of: letters, digits, "_", "/", "-" and ".", and
// every byte above ASCII, for the engine writes a name's UTF-8 bytes as they are.
static bool isNameByte(char byte)
{
    return isWordByte(byte) || byte == '/' || byte == '-' || byte == '.' || quint8(byte) >= 0x80;
}

static int hexDigit(char byte)
{
    if (byte >= '0' && byte <= '9')
        return byte - '0';
    return byte >= 'a' && byte <= 'f' ? byte - 'a' + 10 : -1;
}

// The byte a "^^" escape at a place stands for, or -1. An engine whose format
// was made without a translation file that makes the bytes above ASCII printable
// writes each of them so, "^^c3^^bc" for a "ü", in file openings and messages
// alike; below 0x80 it writes another form, which no name or message needs.
static int escapedByte(QByteArrayView log, qsizetype at)
{
    if (at + 4 > log.size() || log[at] != '^' || log[at + 1] != '^')
        return -1;
    const int high = hexDigit(log[at + 2]);
    const int low = hexDigit(log[at + 3]);
    return high >= 8 && low >= 0 ? high * 16 + low : -1;
}

// The bytes with their "^^" escapes turned back into the bytes they stand for.
QByteArray withoutEscapes(QByteArrayView bytes)
{
    QByteArray plain = bytes.toByteArray();
    if (!bytes.contains("^^"))
        return plain;
    qsizetype kept = 0;
    for (qsizetype at = 0; at < bytes.size(); ++at) {
        const int byte = escapedByte(bytes, at);
        plain[kept++] = byte < 0 ? bytes[at] : char(byte);
        if (byte >= 0)
            at += 3;
    }
    plain.truncate(kept);
    return plain;
}

// A file name as the log gives it, as the file system's bytes: these are what
// the engine was given, whatever encoding the text of the log is read in.
QString fileName(QByteArrayView bytes)
{
    return QFile::decodeName(withoutEscapes(bytes));
}

bool startsWith(QByteArrayView log, qsizetype at, QByteArrayView text)
{
    return log.sliced(at).startsWith(text);
}

// TeX ends a log line after this many bytes wherever that falls: inside a file
// name, an error line or a multi-byte character. It can be raised when the engine
// runs; logs made elsewhere keep it.
static constexpr qsizetype maxPrintLine = 79;

// Whether the line feed at a place ends a line of exactly maxPrintLine bytes, a CR
// before the feed not counted.
static bool endsFullLine(QByteArrayView log, qsizetype feed)
{
    const qsizetype end = feed > 0 && log[feed - 1] == '\r' ? feed - 1 : feed;
    const qsizetype start = end - maxPrintLine;
    return start >= 0 && (start == 0 || log[start - 1] == '\n')
           && !memchr(log.data() + start, '\n', size_t(maxPrintLine));
}

// Where a file name that starts at a place ends: after the first ".tex" in a run
// of name bytes, "^^" escapes and spaces that is not followed by more of them
// ("v2.tex.d/notes.tex"), so that a space, a line end, a ")" or a ":" ends it;
// -1 when the run holds no such ".tex". Folders and names with dots are common
// ("ch.1/intro.tex", "my.thesis.tex"), while the names of the other files the
// engine opens, "(./main.aux)", "(./main.out)", run into no ".tex" before a byte
// that cannot be in a name. A name never holds a line break: the engine writes a
// tab or a line end in it escaped, and a name it broke at its line limit is
// joined before the search.
static qsizetype texNameEnd(QByteArrayView log, qsizetype at)
{
    auto goesOn = [log](qsizetype place) {
        return place < log.size()
               && (isNameByte(log[place]) || log[place] == ' ' || escapedByte(log, place) >= 0);
    };
    while (goesOn(at)) {
        const qsizetype after = at + 4;
        if (log[at] == '.' && startsWith(log, at, ".tex") && (!goesOn(after) || log[after] == ' '))
            return after;
        at += escapedByte(log, at) >= 0 ? 4 : 1;
    }
    return -1;
}

// An error line starts with the file's name as the engine opened it, then ":",
// at the start of a line: "./name.tex:" for a name from the folder it runs in,
// "../shared/name.tex:" or "/home/.../name.tex:" for one outside it. The place of
// the ":" after the name, or -1.
qsizetype errorNameEnd(QByteArrayView log, qsizetype at)
{
    qsizetype name = -1;
    for (QByteArrayView prefix :
         {QByteArrayView("./"), QByteArrayView("../"), QByteArrayView("/")}) {
        if (startsWith(log, at, prefix)) {
            name = at + prefix.size();
            break;
        }
    }
    if (name < 0)
        return -1;
    const qsizetype end = texNameEnd(log, name);
    return end >= 0 && startsWith(log, end, ":") ? end : -1;
}

// A line that TeX filled exactly may also be whole, and then the line after it
// starts afresh. Which one it is shows in what follows: a line written with a line
// end of its own is followed by an empty line, an error message by the place of
// the error ("l.12 \foo", "<argument> ...") after its closing full stop, and a
// diagnostic never goes on with another one. Nor is a file opening ever glued to
// what comes before it: TeX writes a space or a line end first, so a line that
// begins with one is left alone.
static bool goesOnAfter(QByteArrayView log, qsizetype feed)
{
    const qsizetype next = feed + 1;
    if (next >= log.size() || log[next] == '\n' || log[next] == '\r')
        return false;
    if (startsWith(log, next, "LaTeX Warning:") || errorNameEnd(log, next) >= 0
        || startsWith(log, next, "(./") || startsWith(log, next, "! "))
        return false;
    const qsizetype last = log[feed - 1] == '\r' ? feed - 2 : feed - 1;
    const bool placeOfError = log[next] == '<'
                              || (startsWith(log, next, "l.") && next + 2 < log.size()
                                  && log[next + 2] >= '0' && log[next + 2] <= '9');
    return !(log[last] == '.' && placeOfError);
}

// The first place of a text in the log between two places, or -1.
qsizetype findText(QByteArrayView log, QByteArrayView what, qsizetype from, qsizetype to)
{
    if (from >= to)
        return -1;
    const void *at = memmem(log.data() + from, size_t(to - from), what.data(), size_t(what.size()));
    return at ? static_cast<const char *>(at) - log.data() : -1;
}

// The line feeds between two places that end a full line that goes on.
void findBrokenLines(QByteArrayView log, qsizetype from, qsizetype to, QList<qsizetype> &breaks)
{
    const char *const data = log.data();
    auto consider = [&](qsizetype at) {
        if (data[at] == '\n' && endsFullLine(log, at) && goesOnAfter(log, at))
            breaks << at;
    };
    // A full line ends in a feed 80 bytes after the one before it (81 with a CR).
    // Compared sixteen bytes at a time, with the compiler's vectors, the log is
    // looked through in about half the time a search for each of its line feeds
    // takes; only the rare block with a candidate is looked at byte by byte.
    using Bytes = char __attribute__((vector_size(16)));
    constexpr qsizetype width = sizeof(Bytes);
    constexpr qsizetype reach = maxPrintLine + 2;
    qsizetype at = from;
    for (; at < qMin(reach, to); ++at)
        consider(at);
    for (; at + width <= to; at += width) {
        Bytes here, before, beforeCr;
        memcpy(&here, data + at, width);
        memcpy(&before, data + at - reach + 1, width);
        memcpy(&beforeCr, data + at - reach, width);
        const auto candidates = (here == '\n') & ((before == '\n') | (beforeCr == '\n'));
        quint64 halves[2];
        memcpy(halves, &candidates, width);
        if (halves[0] | halves[1]) {
            for (qsizetype candidate = at; candidate < at + width; ++candidate)
                consider(candidate);
        }
    }
    for (; at < to; ++at)
        consider(at);
}

// The log without the line breaks found, or a null array when none needs to go.
// Only a run of full lines that can hold a file opening or a diagnostic, that is
// one with a "(" or a ":" in it or in the line that ends it, is joined: a log whose
// only full lines list fonts is read as it is, without a copy.
QByteArray joinedLines(QByteArrayView log, const QList<qsizetype> &breaks)
{
    const char *const data = log.data();
    const qsizetype size = log.size();
    auto lineStart = [data](qsizetype feed) {
        return feed - maxPrintLine - (data[feed - 1] == '\r');
    };
    QList<qsizetype> joins;
    for (qsizetype first = 0; first < breaks.size();) {
        qsizetype last = first;
        while (last + 1 < breaks.size() && lineStart(breaks.at(last + 1)) == breaks.at(last) + 1)
            ++last;
        const qsizetype runStart = lineStart(breaks.at(first));
        const void *end =
            memchr(data + breaks.at(last) + 1, '\n', size_t(size - breaks.at(last) - 1));
        const size_t length =
            size_t((end ? static_cast<const char *>(end) - data : size) - runStart);
        if (memchr(data + runStart, '(', length) || memchr(data + runStart, ':', length))
            joins.append(breaks.mid(first, last - first + 1));
        first = last + 1;
    }
    if (joins.isEmpty())
        return {};

    QByteArray joined;
    joined.reserve(size);
    qsizetype kept = 0;
    for (const qsizetype feed : std::as_const(joins)) {
        joined.append(data + kept, feed - (data[feed - 1] == '\r') - kept);
        kept = feed + 1;
    }
    joined.append(data + kept, size - kept);
    return joined;
}

// The openings that begin before a place, from where the search stood.
void findOpenings(QByteArrayView log, qsizetype to, Openings &openings)
{
    const qsizetype size = log.size();
    for (qsizetype at; (at = findText(log, "(./", openings.searchFrom, qMin(to + 2, size))) >= 0;) {
        const qsizetype end = texNameEnd(log, at + 3);
        if (end >= 0) {
            openings.starts << at + 3;
            openings.names << fileName(log.sliced(at + 3, end - (at + 3)));
            openings.searchFrom = end;
        } else {
            openings.searchFrom = at + 1;
        }
    }
    openings.searchFrom = qMax(openings.searchFrom, to);
}

// The leading decimal digits of a text, or 0.
qint32 leadingNumber(QStringView text)
{
    qint64 number = 0;
    for (const QChar character : text) {
        if (character < u'0' || character > u'9')
            break;
        number = qMin<qint64>(number * 10 + (character.unicode() - u'0'),
                              std::numeric_limits<qint32>::max());
    }
    return qint32(number);
}

// A log written with CR LF line ends keeps no CR in the messages.
QString withoutCarriageReturn(QString line)
{
    if (line.endsWith(u'\r'))
        line.chop(1);
    return line;
}

} // namespace LogBytes
