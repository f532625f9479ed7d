#include "compile/LatexLogParser.h"

#include "compile/ConsoleViewController.h"
#include "compile/LatexCompiler.h"
#include "model/ErrorWarningNode.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "platform/Log.h"
#include "platform/TextDecoder.h"
#include "platform/TextEncoding.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <cstring>

namespace {

const QRegularExpression warningLinePrefix(QStringLiteral(R"((.* line ))"));

bool isWordByte(char byte)
{
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z')
           || (byte >= '0' && byte <= '9') || byte == '_';
}

// The bytes a file name is made of: letters, digits, "_", "/", "-" and ".", and
// every byte above ASCII, for the engine writes a name's UTF-8 bytes as they are.
bool isNameByte(char byte)
{
    return isWordByte(byte) || byte == '/' || byte == '-' || byte == '.' || quint8(byte) >= 0x80;
}

int hexDigit(char byte)
{
    if (byte >= '0' && byte <= '9')
        return byte - '0';
    return byte >= 'a' && byte <= 'f' ? byte - 'a' + 10 : -1;
}

// The byte a "^^" escape at a place stands for, or -1. An engine whose format
// was made without a translation file that makes the bytes above ASCII printable
// writes each of them so, "^^c3^^bc" for a "ü", in file openings and messages
// alike; below 0x80 it writes another form, which no name or message needs.
int escapedByte(QByteArrayView log, qsizetype at)
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
constexpr qsizetype maxPrintLine = 79;

// Whether the line feed at a place ends a line of exactly maxPrintLine bytes, a CR
// before the feed not counted.
bool endsFullLine(QByteArrayView log, qsizetype feed)
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
qsizetype texNameEnd(QByteArrayView log, qsizetype at)
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
bool goesOnAfter(QByteArrayView log, qsizetype feed)
{
    const qsizetype next = feed + 1;
    if (next >= log.size() || log[next] == '\n' || log[next] == '\r')
        return false;
    if (startsWith(log, next, "LaTeX Warning:") || errorNameEnd(log, next) >= 0
        || startsWith(log, next, "(./"))
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

// File openings: "(./", then a name that ends in ".tex".
struct Openings
{
    QList<qsizetype> starts; // of the names
    QStringList names;
    qsizetype searchFrom = 0; // after the last name found, or where the search stopped
};

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

std::shared_ptr<ErrorWarningNode> makeNode(const QString &type, qint32 line, const QString &msg,
                                           const std::shared_ptr<QSFile> &file)
{
    auto node = std::make_shared<ErrorWarningNode>();
    node->type = type;
    node->lineNumber = line;
    node->msg = msg;
    node->file = file;
    return node;
}

} // namespace

// Every window's parser, so that a compile in one window refreshes the error trees
// of the others that show the same files. UI thread only.
QList<LatexLogParser *> &LatexLogParser::allParsers()
{
    static QList<LatexLogParser *> parsers;
    return parsers;
}

LatexLogParser::LatexLogParser(ConsoleViewController *console)
    : QObject(console)
    , _consoleViewController(console)
{
    allParsers().append(this);
}

LatexLogParser::~LatexLogParser()
{
    allParsers().removeOne(this);
}

QList<LatexLogParser::FileDiagnostics>
LatexLogParser::parseLogText(const QString &text, const QString &folder, const FileLookup &lookup)
{
    return parseLogBytes(text.toUtf8(), TextEncoding::UTF8, folder, lookup);
}

// The patterns are ASCII and every encoding a log can be in keeps ASCII as it is,
// so the log is searched as bytes and only the lines that hold a diagnostic are
// decoded: a log of many megabytes is never turned into text as a whole.
QList<LatexLogParser::FileDiagnostics> LatexLogParser::parseLogBytes(QByteArrayView log,
                                                                     int encoding,
                                                                     const QString &folder,
                                                                     const FileLookup &lookup)
{
    // The log is gone through once, in pieces that stay in the cache, for its file
    // openings and for the lines TeX broke at its limit. A log with such lines is
    // then read as one line for each line TeX meant, so that names and messages are
    // whole, and its openings are looked for again.
    Openings openings;
    QList<qsizetype> breaks;
    constexpr qsizetype piece = 64 * 1024;
    for (qsizetype from = 0; from < log.size(); from += piece) {
        const qsizetype to = qMin(from + piece, log.size());
        findBrokenLines(log, from, to, breaks);
        findOpenings(log, to, openings);
    }
    const QByteArray joined = joinedLines(log, breaks);
    if (!joined.isNull()) {
        log = joined;
        openings = {};
        findOpenings(log, log.size(), openings);
    }
    const QList<qsizetype> &starts = openings.starts;
    const QStringList &names = openings.names;

    QList<FileDiagnostics> result;
    QHash<QString, qsizetype> places; // path → place in the result, or -1 when not held
    // Names are relative to the log's folder unless they start at the root; one file
    // named two ways ("./a.tex", "a.tex") is one place.
    auto placeOf = [&](const QString &name) {
        const QString path = QDir::cleanPath(name.startsWith(u'/') ? name : folder + name);
        auto known = places.constFind(path);
        if (known == places.cend()) {
            const std::shared_ptr<QSFile> file = lookup(path);
            known = places.insert(path, file ? result.size() : -1);
            if (file)
                result.append(FileDiagnostics{file, {}});
        }
        return *known;
    };
    TextDecoder decoder(encoding);
    auto decode = [&decoder](QByteArrayView bytes) {
        QString text = decoder.decode(withoutEscapes(bytes));
        return text + decoder.finish();
    };
    const char *const data = log.data();
    const qsizetype size = log.size();
    auto find = [log](QByteArrayView what, qsizetype from, qsizetype to) {
        return findText(log, what, from, to);
    };
    // A match of any pattern lies within one line.
    auto lineAround = [data](qsizetype at, qsizetype from, qsizetype to) {
        qsizetype start = at;
        while (start > from && data[start - 1] != '\n')
            --start;
        const void *feed = memchr(data + at, '\n', size_t(to - at));
        const qsizetype end = feed ? static_cast<const char *>(feed) - data : to;
        return std::pair{start, end};
    };

    for (qsizetype k = 0; k < starts.size(); ++k) {
        const qsizetype segmentPlace = placeOf(names.at(k));
        const qsizetype from = starts.at(k);
        const qsizetype to = k + 1 < starts.size() ? starts.at(k + 1) : size;

        // Errors stand on lines that hold "tex:"; each such line holds one at most:
        // "./name.tex:word: message" from the start of the line.
        for (qsizetype at = find("tex:", from, to); at >= 0;) {
            const auto [lineStart, lineEnd] = lineAround(at, from, to);
            at = find("tex:", lineEnd, to);
            const qsizetype nameEnd = errorNameEnd(log, lineStart);
            if (nameEnd < 0 || nameEnd >= lineEnd)
                continue;
            qsizetype wordEnd = nameEnd + 1;
            while (wordEnd < lineEnd && isWordByte(data[wordEnd]))
                ++wordEnd;
            if (wordEnd == lineEnd || data[wordEnd] != ':')
                continue;
            const QString lineText = QString::fromLatin1(data + nameEnd + 1, wordEnd - nameEnd - 1);
            const QString msg =
                withoutCarriageReturn(decode(log.sliced(wordEnd + 1, lineEnd - wordEnd - 1)))
                + QStringLiteral("(on line: ") + lineText + QStringLiteral(")");
            // An error names its own file: after an included file was read the engine
            // reports the including file's lines, still inside the included file's segment.
            const qsizetype namedPlace =
                placeOf(fileName(log.sliced(lineStart, nameEnd - lineStart)));
            const qsizetype ownerPlace = namedPlace < 0 ? segmentPlace : namedPlace;
            if (ownerPlace < 0)
                continue;
            FileDiagnostics &owner = result[ownerPlace];
            owner.diagnostics.append(
                makeNode(QStringLiteral("error"), leadingNumber(lineText), msg, owner.file));
        }

        if (segmentPlace < 0)
            continue;
        FileDiagnostics &segmentFile = result[segmentPlace];
        static constexpr QByteArrayView warningStart("LaTeX Warning:");
        for (qsizetype at = find(warningStart, from, to); at >= 0;) {
            const qsizetype textStart = at + warningStart.size();
            const qsizetype lineEnd = lineAround(textStart, from, to).second;
            at = find(warningStart, lineEnd, to);
            const QString warning = withoutCarriageReturn(
                decode(QByteArrayView(data + textStart, lineEnd - textStart)));
            qsLog(quillsetCompile, QStringLiteral("found warning"));
            const QRegularExpressionMatch prefix = warningLinePrefix.match(warning);
            if (!prefix.hasMatch())
                continue;
            // The number after " line ": the full stop that ends the sentence stops it,
            // and so does the end of a line that the engine wrapped before the stop.
            segmentFile.diagnostics.append(
                makeNode(QStringLiteral("warning"),
                         leadingNumber(QStringView(warning).mid(prefix.capturedEnd(0))), warning,
                         segmentFile.file));
        }
    }
    return result;
}

void LatexLogParser::parseLog(const QUrl &log, bool engineSucceeded,
                              const std::optional<QString> &latexmkOutput)
{
    const QString path = log.toLocalFile();
    QFile file(path);
    QByteArray read;
    QByteArrayView bytes;
    if (file.open(QIODevice::ReadOnly)) {
        // Mapped, the log is read only where it is searched.
        if (const uchar *mapped = file.size() > 0 ? file.map(0, file.size()) : nullptr) {
            bytes = QByteArrayView(mapped, file.size());
        } else {
            read = file.readAll();
            bytes = read;
        }
    }
    QSFilePool *pool = QSFilePool::sharedFilePool();
    const QString folder = path.left(path.lastIndexOf(u'/') + 1);
    const auto held = [pool](const QString &filePath) -> std::shared_ptr<QSFile> {
        return pool ? pool->fileObjectForPath(QUrl::fromLocalFile(filePath)) : nullptr;
    };
    QList<FileDiagnostics> result = parseLogBytes(
        bytes, UserDefaults::standardUserDefaults().integerForKey(QSFileEncoding), folder, held);
    if (latexmkOutput) {
        const QString base = path.chopped(path.endsWith(QStringLiteral(".log")) ? 4 : 0);
        QList<BibliographyLogParser::Diagnostic> bibliography =
            BibliographyLogParser::parseLatexmkOutput(*latexmkOutput);
        QFile blg(base + QStringLiteral(".blg"));
        if (blg.open(QIODevice::ReadOnly))
            bibliography += BibliographyLogParser::parseBlg(QString::fromUtf8(blg.readAll()));
        addBibliographyDiagnostics(result, bibliography, held(base + QStringLiteral(".tex")),
                                   folder, held);
    }
    const Rerun rerun = rerunNeeded(bytes);
    // The tree reads the files' diagnostics on the UI thread, so the new ones are
    // put in place there, all at once.
    QMetaObject::invokeMethod(
        this,
        [this, result, engineSucceeded, rerun] {
            _lastRerunNeeded = rerun;
            takeResult(result, engineSucceeded);
        },
        Qt::QueuedConnection);
}

void LatexLogParser::addBibliographyDiagnostics(
    QList<FileDiagnostics> &result, const QList<BibliographyLogParser::Diagnostic> &diagnostics,
    const std::shared_ptr<QSFile> &root, const QString &folder, const FileLookup &lookup)
{
    // A database that no window holds is read for its rows alone, once however many
    // rows it has; choosing one opens it.
    QHash<QString, std::shared_ptr<QSFile>> databases;
    const auto database = [&](const QString &name) {
        QString path = QDir(folder).absoluteFilePath(name);
        if (!QFileInfo::exists(path) && QFileInfo::exists(path + QStringLiteral(".bib")))
            path += QStringLiteral(".bib");
        if (!databases.contains(path)) {
            std::shared_ptr<QSFile> file = lookup(path);
            if (!file && QFileInfo::exists(path))
                file = QSFile::initWithFilePath(QUrl::fromLocalFile(path));
            databases.insert(path, file && file->treeRootNode() ? file : nullptr);
        }
        return databases.value(path);
    };
    for (const BibliographyLogParser::Diagnostic &diagnostic : diagnostics) {
        // A database that cannot be read gives its rows to the root file, lineless.
        const std::shared_ptr<QSFile> named =
            diagnostic.file.isEmpty() ? nullptr : database(diagnostic.file);
        const std::shared_ptr<QSFile> file = named ? named : root;
        if (!file)
            continue;
        auto node = std::make_shared<ErrorWarningNode>();
        node->file = file;
        node->type = diagnostic.type;
        node->msg = u' ' + diagnostic.message;
        node->lineNumber = named ? diagnostic.lineNumber : 0;
        const auto entry = std::find_if(result.begin(), result.end(),
                                        [&file](const FileDiagnostics &each) { return each.file == file; });
        if (entry != result.end())
            entry->diagnostics.append(node);
        else
            result.append({file, {node}});
    }
}

LatexLogParser::Rerun LatexLogParser::rerunNeeded(QByteArrayView log)
{
    // LaTeX's own closing words, and those of the packages that track labels.
    if (log.contains("There were undefined references")
        || log.contains("There were undefined citations")
        || log.contains("Please (re)run BibTeX") || log.contains("Please (re)run Biber"))
        return Rerun::UndefinedReferences;
    // "Rerun to get cross-references right", "... citations correct", "... outlines right".
    if (log.contains("Rerun to get") || log.contains("Please rerun LaTeX"))
        return Rerun::LabelsChanged;
    return Rerun::NotNeeded;
}

void LatexLogParser::setFilesWithErrors(const QList<std::shared_ptr<QSFile>> &files)
{
    emit filesWithErrorsWillChange();
    _filesWithErrors = files;
    emit filesWithErrorsDidChange();
}

void LatexLogParser::takeResult(const QList<FileDiagnostics> &result, bool engineSucceeded)
{
    // A newer compile of this window already runs: its own result will come.
    if (_consoleViewController && _consoleViewController->latexCompiler()->isCompiling())
        return;
    QList<LatexLogParser *> showing{this};
    for (LatexLogParser *parser : std::as_const(allParsers())) {
        for (const FileDiagnostics &entry : result) {
            if (parser != this && parser->_filesWithErrors.contains(entry.file)) {
                showing << parser;
                break;
            }
        }
    }
    for (LatexLogParser *parser : std::as_const(showing))
        emit parser->filesWithErrorsWillChange();
    _filesWithErrors.clear();
    for (const FileDiagnostics &entry : result) {
        entry.file->clearCompileAndWarnings();
        for (const std::shared_ptr<ErrorWarningNode> &diagnostic : entry.diagnostics)
            entry.file->addCompileErrorOrWarning(diagnostic);
        if (!entry.diagnostics.isEmpty())
            _filesWithErrors << entry.file;
    }
    for (LatexLogParser *parser : std::as_const(showing))
        emit parser->filesWithErrorsDidChange();
    if (_consoleViewController)
        _consoleViewController->updateErrorWarningOutline(engineSucceeded);
}
