#include "compile/LatexLogParser.h"

#include "compile/CompileProgress.h"
#include "compile/ConsoleViewController.h"
#include "compile/ErrorHints.h"
#include "compile/LatexCompiler.h"
#include "compile/LogBytes.h"
#include "compile/LogContext.h"
#include "compile/LogOutcome.h"
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

using namespace LogBytes;

const QRegularExpression warningLinePrefix(QStringLiteral(R"((.* line ))"));

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

// An error of a segment before it is given to its file.
struct PendingError
{
    qsizetype at;     // where its line starts in the log
    qsizetype place;  // of its file in the result
    QString message;  // as the log has it, from the space after the colon
    QString lineText; // the engine's word between the colons; empty when it gave none
    LogContext context;
};

// Without anyone to answer, a file TeX cannot find ends the run: its "File `x.sty'
// not found" comes without a place, and the "Emergency stop" that follows, with TeX
// asking the terminal for another name, has the place of the \usepackage. The two
// are one error, the first, with the second's place.
void foldTerminalStops(QList<PendingError> &errors)
{
    for (qsizetype i = 1; i < errors.size(); ++i) {
        PendingError &stop = errors[i];
        PendingError &before = errors[i - 1];
        if (!stop.context.readFromTerminal
            || !stop.message.contains(QStringLiteral("Emergency stop"))
            || !before.lineText.isEmpty())
            continue;
        before.lineText = stop.lineText;
        before.place = stop.place;
        before.context.text = stop.context.text;
        errors.removeAt(i--);
    }
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
        // "./name.tex:word: message" from the start of the line. Where no file is
        // being read TeX writes "! message" instead, even with file:line errors on.
        QList<PendingError> errors;
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
            const QString message =
                withoutCarriageReturn(decode(log.sliced(wordEnd + 1, lineEnd - wordEnd - 1)));
            // The engine's fatal end is the outcome of the run, not an error of it.
            if (LogOutcome::isFatalMessage(message))
                continue;
            // An error names its own file: after an included file was read the engine
            // reports the including file's lines, still inside the included file's segment.
            const qsizetype namedPlace =
                placeOf(fileName(log.sliced(lineStart, nameEnd - lineStart)));
            const qsizetype ownerPlace = namedPlace < 0 ? segmentPlace : namedPlace;
            if (ownerPlace < 0)
                continue;
            errors << PendingError{lineStart, ownerPlace, message,
                                   QString::fromLatin1(data + nameEnd + 1, wordEnd - nameEnd - 1),
                                   LogContext::read(log, lineStart, lineEnd, decode)};
        }
        for (qsizetype at = find("\n! ", from - 1, to); segmentPlace >= 0 && at >= 0;) {
            const qsizetype lineStart = at + 1;
            const qsizetype lineEnd = lineAround(lineStart, from, to).second;
            at = find("\n! ", lineEnd, to);
            const QString message =
                withoutCarriageReturn(decode(log.sliced(lineStart + 1, lineEnd - lineStart - 1)));
            if (LogOutcome::isFatalMessage(message))
                continue;
            LogContext context = LogContext::read(log, lineStart, lineEnd, decode);
            const QString lineText =
                context.lineNumber > 0 ? QString::number(context.lineNumber) : QString();
            errors << PendingError{lineStart, segmentPlace, message, lineText, std::move(context)};
        }
        std::sort(errors.begin(), errors.end(),
                  [](const PendingError &a, const PendingError &b) { return a.at < b.at; });
        foldTerminalStops(errors);
        for (const PendingError &error : std::as_const(errors)) {
            FileDiagnostics &owner = result[error.place];
            // A "!" error without a place says no line rather than line 0.
            const QString msg = error.lineText.isEmpty()
                                    ? error.message
                                    : error.message + QStringLiteral("(on line: ") + error.lineText
                                          + QStringLiteral(")");
            // A package that reports one mistake again and again (fontspec does, for
            // a font it cannot find) has made one error.
            const bool repeated = std::any_of(
                owner.diagnostics.cbegin(), owner.diagnostics.cend(), [&](const auto &known) {
                    return known->msg == msg && known->context == error.context.text;
                });
            if (repeated)
                continue;
            auto node =
                makeNode(QStringLiteral("error"), leadingNumber(error.lineText), msg, owner.file);
            node->context = error.context.text;
            owner.diagnostics.append(node);
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
    LogOutcome outcome = LogOutcome::read(bytes);
    if (file.isOpen())
        outcome.written = QFileInfo(path).lastModified();
    const QString base = path.chopped(path.endsWith(QStringLiteral(".log")) ? 4 : 0);
    const std::shared_ptr<QSFile> root = held(base + QStringLiteral(".tex"));
    if (latexmkOutput) {
        QList<BibliographyLogParser::Diagnostic> bibliography =
            BibliographyLogParser::parseLatexmkOutput(*latexmkOutput);
        QFile blg(base + QStringLiteral(".blg"));
        if (blg.open(QIODevice::ReadOnly))
            bibliography += BibliographyLogParser::parseBlg(QString::fromUtf8(blg.readAll()));
        addBibliographyDiagnostics(result, bibliography, root, folder, held);
    }
    ErrorHints::addHints(result, {folder, latexmkOutput.has_value()});
    Rerun rerun = rerunNeeded(bytes);
    // The tree reads the files' diagnostics on the UI thread, so the new ones are
    // put in place there, all at once.
    QMetaObject::invokeMethod(
        this,
        [this, result, engineSucceeded, rerun, outcome, root]() mutable {
            // A log older than the compile is an earlier run's: an engine that could
            // not load its format writes none. Its errors are not this run's.
            const QDateTime started = _consoleViewController
                                          ? _consoleViewController->compileProgress()->startedAt()
                                          : QDateTime();
            if (started.isValid()
                && (!outcome.written.isValid() || outcome.written < started.addMSecs(-50))) {
                result.clear();
                outcome = {};
                rerun = Rerun::NotNeeded;
            }
            _lastRerunNeeded = rerun;
            _lastOutcome = outcome;
            _lastRoot = root;
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
        const auto entry =
            std::find_if(result.begin(), result.end(),
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
        || log.contains("There were undefined citations") || log.contains("Please (re)run BibTeX")
        || log.contains("Please (re)run Biber"))
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

void LatexLogParser::changeDiagnostics(const QList<std::shared_ptr<QSFile>> &files,
                                       const std::function<void()> &change)
{
    QList<LatexLogParser *> showing{this};
    for (LatexLogParser *parser : std::as_const(allParsers())) {
        for (const std::shared_ptr<QSFile> &file : files) {
            if (parser != this && parser->_filesWithErrors.contains(file)) {
                showing << parser;
                break;
            }
        }
    }
    for (LatexLogParser *parser : std::as_const(showing))
        emit parser->filesWithErrorsWillChange();
    change();
    for (LatexLogParser *parser : std::as_const(showing))
        emit parser->filesWithErrorsDidChange();
}

void LatexLogParser::takeResult(const QList<FileDiagnostics> &result, bool engineSucceeded)
{
    // A newer compile of this window already runs: its own result will come.
    if (_consoleViewController && _consoleViewController->latexCompiler()->isCompiling())
        return;
    QList<std::shared_ptr<QSFile>> files;
    for (const FileDiagnostics &entry : result)
        files << entry.file;
    changeDiagnostics(files, [this, &result] {
        _filesWithErrors.clear();
        for (const FileDiagnostics &entry : result) {
            entry.file->clearCompileAndWarnings();
            for (const std::shared_ptr<ErrorWarningNode> &diagnostic : entry.diagnostics)
                entry.file->addCompileErrorOrWarning(diagnostic);
            if (!entry.diagnostics.isEmpty())
                _filesWithErrors << entry.file;
        }
    });
    if (_consoleViewController)
        _consoleViewController->updateErrorWarningOutline(engineSucceeded);
}

bool LatexLogParser::addRunFailure(const QStringList &why)
{
    const std::shared_ptr<QSFile> root = _lastRoot.lock();
    if (!root || why.isEmpty())
        return false;
    auto node = makeNode(QStringLiteral("error"), 0, u' ' + why.first(), root);
    node->context = why.mid(1).join(u'\n');
    node->hint = ErrorHints::plainHintFor(why.first());
    changeDiagnostics({root}, [this, &root, &node] {
        // Errors come before warnings in a file's list.
        const QList<std::shared_ptr<ErrorWarningNode>> before = root->compileErrorsAndWarnings();
        root->clearCompileAndWarnings();
        root->addCompileErrorOrWarning(node);
        for (const std::shared_ptr<ErrorWarningNode> &diagnostic : before)
            root->addCompileErrorOrWarning(diagnostic);
        if (!_filesWithErrors.contains(root))
            _filesWithErrors.prepend(root);
    });
    return true;
}
