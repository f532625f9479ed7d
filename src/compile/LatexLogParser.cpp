#include "compile/LatexLogParser.h"

#include "compile/ConsoleViewController.h"
#include "compile/ErrorWarningNode.h"
#include "compile/LatexCompiler.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"
#include "platform/Log.h"
#include "platform/TextDecoder.h"
#include "platform/UserDefaults.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QUrl>

namespace {

// The engine names files relative to the compiled file's folder, in subfolders too.
// Names with hyphens ("chapter-1.tex") are as common as the others.
const QRegularExpression fileOpening(QStringLiteral(R"(\(\./((\w|\s|/|-)*\.tex))"));
const QRegularExpression errorLine(QStringLiteral(R"((./((\w|/|-)*.tex):((\w)*):(.*)))"));
const QRegularExpression errorFile(QStringLiteral(R"(./((\w|/|-)*.tex):)"));
const QRegularExpression errorLineWord(QStringLiteral(R"(:(\w)*:)"));
const QRegularExpression warningLine(QStringLiteral(R"(LaTeX Warning:((.)*))"));
const QRegularExpression warningLinePrefix(QStringLiteral(R"((.* line ))"));

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
    QList<FileDiagnostics> result;
    QHash<QString, qsizetype> places; // path → place in the result, or -1 when not held
    auto placeOf = [&](const QString &name) {
        const QString path = folder + name;
        auto known = places.constFind(path);
        if (known == places.cend()) {
            const std::shared_ptr<QSFile> file = lookup(path);
            known = places.insert(path, file ? result.size() : -1);
            if (file)
                result.append(FileDiagnostics{file, {}});
        }
        return *known;
    };

    QList<qsizetype> starts;
    QStringList names;
    for (QRegularExpressionMatchIterator it = fileOpening.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch opening = it.next();
        starts << opening.capturedStart(1);
        names << opening.captured(1);
    }
    for (qsizetype k = 0; k < starts.size(); ++k) {
        const qsizetype segmentPlace = placeOf(names.at(k));
        const qsizetype end = k + 1 < starts.size() ? starts.at(k + 1) : text.size();
        const QStringView segment = QStringView(text).mid(starts.at(k), end - starts.at(k));

        for (QRegularExpressionMatchIterator it = errorLine.globalMatch(segment); it.hasNext();) {
            const QString line = withoutCarriageReturn(it.next().captured(1));
            const QRegularExpressionMatch named = errorFile.match(line);
            const QRegularExpressionMatch word = errorLineWord.match(line);
            if (!named.hasMatch() || !word.hasMatch())
                continue;
            const QString lineText = word.captured(0).mid(1, word.capturedLength(0) - 2);
            const QString msg = line.mid(word.capturedEnd(0)) + QStringLiteral("(on line: ")
                                + lineText + QStringLiteral(")");
            // An error names its own file: after an included file was read the engine
            // reports the including file's lines, still inside the included file's segment.
            const qsizetype namedPlace = placeOf(named.captured(1));
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
        for (QRegularExpressionMatchIterator it = warningLine.globalMatch(segment); it.hasNext();) {
            const QString warning = withoutCarriageReturn(it.next().captured(1));
            qsLog("found warning");
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

void LatexLogParser::parseLog(const QUrl &log, bool engineSucceeded)
{
    const QString path = log.toLocalFile();
    QString text;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        // The engine wraps its log lines by bytes, which can split a character;
        // such a line still shows, with a replacement character.
        TextDecoder decoder(UserDefaults::standardUserDefaults().integerForKey(QSFileEncoding));
        text = decoder.decode(file.readAll());
        text += decoder.finish();
    }
    QSFilePool *pool = QSFilePool::sharedFilePool();
    const QString folder = path.left(path.lastIndexOf(u'/') + 1);
    const QList<FileDiagnostics> result =
        parseLogText(text, folder, [pool](const QString &filePath) -> std::shared_ptr<QSFile> {
            return pool ? pool->fileObjectForPath(QUrl::fromLocalFile(filePath)) : nullptr;
        });
    // The tree reads the files' diagnostics on the UI thread, so the new ones are
    // put in place there, all at once.
    QMetaObject::invokeMethod(
        this, [this, result, engineSucceeded] { takeResult(result, engineSucceeded); },
        Qt::QueuedConnection);
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
