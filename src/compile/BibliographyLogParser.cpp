#include "compile/BibliographyLogParser.h"

#include <QRegularExpression>

namespace {

// BibTeX: "I was expecting a `,' or a `}'---line 10 of file refs.bib"; the location
// may also stand on a line of its own after the message.
const QRegularExpression bibtexLocation(QStringLiteral("^(.*)---line (\\d+) of file (.+)$"));
const QRegularExpression bibtexWhileReading(QStringLiteral("^(.*)---while reading file (.+)$"));
// BibTeX: "Warning--I'm ignoring dup's extra "title" field", then "--line 13 of file refs.bib".
const QRegularExpression bibtexWarningLocation(QStringLiteral("^--line (\\d+) of file (.+)$"));
// biber: "[334] Utils.pm:399> ERROR - BibTeX subsystem: /tmp/x.utf8, line 10, syntax error: ..."
const QRegularExpression biberMessage(QStringLiteral("^\\[\\d+\\] \\S+> (ERROR|WARN) - (.*)$"));
const QRegularExpression biberSubsystem(QStringLiteral("^BibTeX subsystem: .*, line (\\d+), (.*)$"));
const QRegularExpression biberSource(QStringLiteral("> INFO - Found BibTeX data source '(.+)'$"));

// A diagnostic at a line of a database; BibTeX names the .aux file, whose lines are
// none of the user's, when it blames the root file itself.
BibliographyLogParser::Diagnostic at(const QString &file, const QString &line, const char *type,
                                     const QString &message)
{
    if (file.endsWith(QStringLiteral(".aux")))
        return {QString(), 0, QString::fromLatin1(type), message};
    return {file, line.toInt(), QString::fromLatin1(type), message};
}

} // namespace

QList<BibliographyLogParser::Diagnostic> BibliographyLogParser::parseBlg(const QString &text)
{
    QList<Diagnostic> diagnostics;
    const QStringList lines = text.split(u'\n');
    QString source; // biber: the database being read
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        const QString next = i + 1 < lines.size() ? lines[i + 1].trimmed() : QString();
        QRegularExpressionMatch match;
        if ((match = biberSource.match(line)).hasMatch()) {
            source = match.captured(1);
        } else if ((match = biberMessage.match(line)).hasMatch()) {
            const QString type = match.captured(1) == u"ERROR" ? QStringLiteral("error")
                                                               : QStringLiteral("warning");
            // biber reads a converted copy of the database; its line is the database's.
            if (const QRegularExpressionMatch in = biberSubsystem.match(match.captured(2));
                in.hasMatch() && !source.isEmpty())
                diagnostics.append({source, in.captured(1).toInt(), type, in.captured(2)});
            else
                diagnostics.append({QString(), 0, type, match.captured(2)});
        } else if ((match = bibtexLocation.match(line)).hasMatch()) {
            diagnostics.append(at(match.captured(3), match.captured(2), "error", match.captured(1)));
        } else if ((match = bibtexWhileReading.match(line)).hasMatch()) {
            diagnostics.append({QString(), 0, QStringLiteral("error"), match.captured(1)});
        } else if (line.startsWith(QStringLiteral("Warning--"))) {
            if ((match = bibtexWarningLocation.match(next)).hasMatch()) {
                diagnostics.append(at(match.captured(2), match.captured(1), "warning", line.mid(9)));
                ++i;
            } else {
                diagnostics.append({QString(), 0, QStringLiteral("warning"), line.mid(9)});
            }
        } else if ((match = bibtexLocation.match(next)).hasMatch() && match.captured(1).isEmpty()
                   && !line.isEmpty() && !line.startsWith(u':')) {
            diagnostics.append(at(match.captured(3), match.captured(2), "error", line));
            ++i;
        }
    }
    return diagnostics;
}

QList<BibliographyLogParser::Diagnostic> BibliographyLogParser::parseLatexmkOutput(const QString &text)
{
    static const QRegularExpression refusal(
        QStringLiteral("^Latexmk: I WON'T RUN '(.+)' because I don't find the following files:"));
    QList<Diagnostic> diagnostics;
    const QStringList lines = text.split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QRegularExpressionMatch match = refusal.match(lines[i].trimmed());
        if (!match.hasMatch())
            continue;
        // The missing files follow, indented.
        for (++i; i < lines.size() && lines[i].startsWith(QStringLiteral("  ")); ++i) {
            const Diagnostic missing{QString(), 0, QStringLiteral("error"),
                                     QStringLiteral("%1 not found: latexmk did not run %2")
                                         .arg(lines[i].trimmed(), match.captured(1))};
            // latexmk says it again at each pass.
            if (!diagnostics.contains(missing))
                diagnostics.append(missing);
        }
        --i;
    }
    return diagnostics;
}
