#include "compile/ErrorHints.h"

#include "model/ErrorWarningNode.h"
#include "model/FileSymbols.h"
#include "model/QSFile.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <algorithm>
#include <map>
#include <mutex>
#include <optional>

static QString hintTableText()
{
    Q_INIT_RESOURCE(errorhints);
    QFile file(QStringLiteral(":/hints/errorhints.txt"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

namespace {

// A program that does not answer in this time is given up: a hint is not worth a
// compile that seems to hang.
constexpr int lookupMilliseconds = 3000;

struct Entry
{
    QRegularExpression pattern;
    std::optional<QRegularExpression> context;
    QString text;
};

const QList<Entry> &table()
{
    static const QList<Entry> entries = [] {
        QList<Entry> read;
        for (const QString &line : hintTableText().split(u'\n')) {
            if (line.startsWith(u'#'))
                continue;
            if (line.startsWith(QStringLiteral("== "))) {
                read.append({QRegularExpression(line.mid(3)), std::nullopt, {}});
            } else if (!read.isEmpty() && read.last().text.isEmpty()
                       && line.startsWith(QStringLiteral("context: "))) {
                read.last().context =
                    QRegularExpression(line.mid(9), QRegularExpression::MultilineOption);
            } else if (!read.isEmpty() && !line.trimmed().isEmpty()) {
                QString &text = read.last().text;
                text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + line.trimmed();
            }
        }
        return read;
    }();
    return entries;
}

std::mutex knownLock;
QHash<QString, QString> known; // guarded by knownLock

QHash<QString, QString> knownCommands()
{
    std::lock_guard lock(knownLock);
    return known;
}

// Runs a program of TeX or of the system and gives what it wrote, or nothing when it
// is not there, fails or takes too long.
QString output(const QString &program, const QStringList &arguments)
{
    const QString folder =
        UserDefaults::standardUserDefaults().stringForKey(QSTexEngineDirectoryPath);
    QString found = QStandardPaths::findExecutable(program, {folder});
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(program);
    if (found.isEmpty())
        return {};
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(found, arguments, QIODevice::ReadOnly);
    if (!process.waitForFinished(lookupMilliseconds)) {
        process.kill();
        process.waitForFinished(lookupMilliseconds);
        return {};
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// Edits (insert, delete, change, swap two neighbours) from one name to another.
int distance(QStringView a, QStringView b)
{
    QList<int> before(b.size() + 1), previous(b.size() + 1), current(b.size() + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        previous[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        current[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int change = a[i - 1] == b[j - 1] ? 0 : 1;
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                current[j] = std::min(current[j], before[j - 2] + 1);
        }
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return previous[b.size()];
}

QString messageOf(const ErrorWarningNode &node)
{
    static const QRegularExpression onLine(QStringLiteral(R"(\(on line: [^)]*\)$)"));
    return node.msg.trimmed().remove(onLine);
}

// The command at the end of the source the engine had read ("l.11 The energy is
// \undefinedcmd"): the one it did not know.
QString commandInContext(const QString &context)
{
    static const QRegularExpression last(QStringLiteral(R"((\\(?:[A-Za-z@]+|.))\s*$)"));
    const QRegularExpressionMatch match = last.match(context.section(u'\n', 0, 0));
    return match.hasMatch() ? match.captured(1) : QString();
}

QString listed(const QStringList &names)
{
    if (names.size() < 2)
        return names.value(0);
    return names.mid(0, names.size() - 1).join(QStringLiteral(", ")) + QObject::tr(" or ")
           + names.last();
}

// The hint of the first entry that matches, with its pieces as a function gives them.
QString fill(const QString &message, const QString &context,
             const std::function<QString(const QString &, const QRegularExpressionMatch &)> &piece)
{
    // Only the pieces' own names: "\\begin{document}" in a hint stays as it is.
    static const QRegularExpression placeholder(QStringLiteral(
        R"(\{(\d|command|package|did-you-mean|installed|searched|math-began|chain)(!?)\})"));
    for (const Entry &entry : table()) {
        const QRegularExpressionMatch match = entry.pattern.match(message);
        if (!match.hasMatch() || (entry.context && !entry.context->match(context).hasMatch()))
            continue;
        QString hint;
        qsizetype copied = 0;
        bool missing = false;
        QRegularExpressionMatchIterator places = placeholder.globalMatch(entry.text);
        while (places.hasNext() && !missing) {
            const QRegularExpressionMatch place = places.next();
            const QString name = place.captured(1);
            const QString value =
                name.front().isDigit() ? match.captured(name.toInt()) : piece(name, match);
            missing = value.isEmpty() && !place.captured(2).isEmpty();
            hint += QStringView(entry.text).mid(copied, place.capturedStart() - copied);
            hint += value;
            copied = place.capturedEnd();
        }
        if (missing)
            continue;
        hint += QStringView(entry.text).mid(copied);
        return hint.simplified();
    }
    return {};
}

} // namespace

void ErrorHints::setKnownCommands(const QHash<QString, QString> &commandToPackage)
{
    std::lock_guard lock(knownLock);
    known = commandToPackage;
}

void ErrorHints::addHints(QList<LatexLogParser::FileDiagnostics> &result, const Run &run)
{
    QStringList own;
    for (const LatexLogParser::FileDiagnostics &entry : std::as_const(result)) {
        for (const Symbol &command : entry.file->symbols()->commands)
            own << command.name;
    }
    for (LatexLogParser::FileDiagnostics &entry : result) {
        for (const std::shared_ptr<ErrorWarningNode> &node : std::as_const(entry.diagnostics))
            node->hint = hintFor(*node, run, own);
    }
}

QString ErrorHints::plainHintFor(const QString &message)
{
    return fill(message.trimmed(), {},
                [](const QString &, const QRegularExpressionMatch &) { return QString(); });
}

QString ErrorHints::hintFor(const ErrorWarningNode &node, const Run &run,
                            const QStringList &ownCommands)
{
    const QString command = commandInContext(node.context);
    return fill(
        messageOf(node), node.context,
        [&](const QString &name, const QRegularExpressionMatch &match) -> QString {
            if (name == u"command")
                return command;
            if (name == u"package") {
                const QString package = knownCommands().value(command);
                if (command.isEmpty() || package.isEmpty() || package == u"latex")
                    return {};
                return QObject::tr("%1 is defined by %2: add \\usepackage{%2} to the preamble.")
                    .arg(command, package);
            }
            if (name == u"did-you-mean") {
                const QStringList nearest =
                    command.isEmpty() ? QStringList() : nearestCommands(command, ownCommands);
                return nearest.isEmpty() ? QString()
                                         : QObject::tr("Did you mean %1?").arg(listed(nearest));
            }
            if (name == u"installed") {
                const QString file = match.captured(1);
                const QString package = debianPackageOf(file);
                return package.isEmpty()
                           ? QObject::tr("%1 is not installed on this system.").arg(file)
                           : QObject::tr("%1 comes with the Debian package %2.").arg(file, package);
            }
            if (name == u"searched") {
                const QStringList folders = texFolders();
                const QString here = QDir::toNativeSeparators(run.folder);
                return folders.isEmpty()
                           ? QObject::tr("TeX looked in the document's folder, %1.").arg(here)
                           : QObject::tr("TeX looked in the document's folder, %1, and in %2.")
                                 .arg(here, folders.join(QStringLiteral(", ")));
            }
            if (name == u"math-began") {
                const std::shared_ptr<QSFile> file = node.file.lock();
                QFile source(file ? file->pathText() : QString());
                if (node.lineNumber < 1 || !source.open(QIODevice::ReadOnly))
                    return {};
                const int line =
                    mathModeBegan(QString::fromUtf8(source.readAll()), node.lineNumber);
                return line > 0 ? QObject::tr("Math mode began at line %1.").arg(line) : QString();
            }
            if (name == u"chain" && !run.throughLatexmk) {
                return QObject::tr(
                    "The engine ran once: compile through the chain (F5 with latexmk, or "
                    "Compile with Bibliography, Ctrl+F5), which runs BibTeX or biber "
                    "and the reruns that resolve references and citations.");
            }
            return {};
        });
}

QStringList ErrorHints::nearestCommands(const QString &command, const QStringList &ownCommands)
{
    // Two edits for a long name, one for a short one: "\it" is no misspelling of "\is".
    const int most = command.size() > 6 ? 2 : 1;
    std::map<std::pair<int, int>, QStringList> near; // (distance, own first) → names
    auto consider = [&](const QString &name, int own) {
        // "\\includegraphics*" is no other spelling of "\\includegraphics".
        const auto unstarred = [](const QString &each) {
            return each.endsWith(u'*') ? each.chopped(1) : each;
        };
        if (unstarred(name) == unstarred(command) || qAbs(name.size() - command.size()) > most)
            return;
        const int edits = distance(command, name);
        if (edits <= most && !near[{edits, own}].contains(name))
            near[{edits, own}] << name;
    };
    for (const QString &name : ownCommands)
        consider(name, 0);
    const QHash<QString, QString> catalog = knownCommands();
    for (auto each = catalog.cbegin(); each != catalog.cend(); ++each)
        consider(each.key(), 1);
    if (near.empty())
        return {};
    const int best = near.begin()->first.first;
    QStringList names;
    for (const auto &[key, list] : near) {
        if (key.first != best)
            break;
        QStringList sorted = list;
        sorted.sort();
        for (const QString &name : std::as_const(sorted))
            if (!names.contains(name))
                names << name;
    }
    return names.mid(0, 3);
}

QString ErrorHints::debianPackageOf(const QString &fileName)
{
    static std::mutex lock;
    static QHash<QString, QString> found; // guarded by lock
    {
        std::lock_guard guard(lock);
        if (found.contains(fileName))
            return found.value(fileName);
    }
    // "texlive-latex-base: /usr/share/texlive/texmf-dist/tex/latex/graphics/graphicx.sty";
    // a copy among the development versions of LaTeX comes last.
    QString package, developmentPackage;
    for (const QString &line :
         output(QStringLiteral("dpkg"), {QStringLiteral("-S"), QStringLiteral("*/") + fileName})
             .split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(QStringLiteral(": /"));
        if (colon < 0 || QFileInfo(line.mid(colon + 2)).fileName() != fileName)
            continue;
        QString &slot =
            line.mid(colon).contains(QStringLiteral("-dev/")) ? developmentPackage : package;
        if (slot.isEmpty())
            slot = line.left(colon).section(u',', 0, 0).section(u':', 0, 0).trimmed();
    }
    if (package.isEmpty())
        package = developmentPackage;
    std::lock_guard guard(lock);
    found.insert(fileName, package);
    return package;
}

QStringList ErrorHints::texFolders()
{
    static std::once_flag asked;
    static QStringList folders;
    std::call_once(asked, [] {
        // "!!/usr/share/texlive/texmf-dist/tex/latex//": the roots of the trees, once each.
        for (QString path : output(QStringLiteral("kpsewhich"), {QStringLiteral("-show-path=tex")})
                                .trimmed()
                                .split(u':', Qt::SkipEmptyParts)) {
            if (path.startsWith(QStringLiteral("!!")))
                path.remove(0, 2);
            const qsizetype tex = path.indexOf(QStringLiteral("/tex/"));
            if (tex > 0)
                path.truncate(tex);
            while (path.endsWith(u'/'))
                path.chop(1);
            if (path.startsWith(u'/') && !folders.contains(path) && QFileInfo(path).isDir())
                folders << path;
        }
    });
    return folders;
}

int ErrorHints::mathModeBegan(const QString &source, int errorLine)
{
    const QStringList lines = source.split(u'\n');
    if (errorLine < 1 || errorLine > lines.size())
        return 0;
    // Math never goes on past a blank line: the paragraph of the error is enough.
    int first = errorLine - 1;
    while (first > 0 && !lines.at(first - 1).trimmed().isEmpty())
        --first;
    static const QRegularExpression mathEnvironment(QStringLiteral(
        R"(^\{(equation|align|gather|multline|flalign|alignat|eqnarray|math|displaymath)\*?\})"));
    int began = 0; // 1-based, 0 while no math is open
    for (int number = first; number < errorLine; ++number) {
        const QString &line = lines.at(number);
        for (qsizetype at = 0; at < line.size(); ++at) {
            const QChar c = line.at(at);
            if (c == u'%')
                break;
            if (c == u'$') {
                if (at + 1 < line.size() && line.at(at + 1) == u'$')
                    ++at;
                began = began ? 0 : number + 1;
            } else if (c == u'\\' && at + 1 < line.size()) {
                const QChar next = line.at(at + 1);
                const QStringView rest = QStringView(line).mid(at + 1);
                if (next == u'(' || next == u'[') {
                    began = began ? began : number + 1;
                } else if (next == u')' || next == u']') {
                    began = 0;
                } else if (rest.startsWith(u"begin{")
                           && mathEnvironment.match(rest.mid(5)).hasMatch()) {
                    began = began ? began : number + 1;
                } else if (rest.startsWith(u"end{")
                           && mathEnvironment.match(rest.mid(3)).hasMatch()) {
                    began = 0;
                }
                ++at; // the escaped character, or the command's first letter
            }
        }
    }
    return began;
}
