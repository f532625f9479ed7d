#include "compile/LogOutcome.h"

#include "compile/LogBytes.h"

#include <QRegularExpression>
#include <cstring>

namespace {

constexpr QByteArrayView fatalWords("==> Fatal error occurred, no output PDF file produced!");

// "./main.tex:12: ", "/usr/share/texmf/tex/latex/x/x.sty:40: ": an error line of any
// file, the line number the length of the match leaves off at.
qsizetype errorLineMessage(QByteArrayView line)
{
    if (line.startsWith("! "))
        return 2;
    if (!line.startsWith("./") && !line.startsWith("../") && !line.startsWith("/"))
        return -1;
    for (qsizetype colon = line.indexOf(':'); colon > 0; colon = line.indexOf(':', colon + 1)) {
        qsizetype digits = colon + 1;
        while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9')
            ++digits;
        if (digits > colon + 1 && line.sliced(digits).startsWith(": "))
            return digits + 2;
    }
    return -1;
}

// Words of a log or an output that tell why a run failed, when no error line does.
const QRegularExpression &failureWords()
{
    static const QRegularExpression words(
        QStringLiteral("No pages of output|Emergency stop|job aborted|fatal|can't find the "
                       "format|not found|driver return code|cannot|could not|crashed"),
        QRegularExpression::CaseInsensitiveOption);
    return words;
}

QString text(QByteArrayView bytes)
{
    QString line = QString::fromUtf8(LogBytes::withoutEscapes(bytes)).trimmed();
    return line;
}

} // namespace

bool LogOutcome::isFatalMessage(QStringView message)
{
    return message.trimmed() == QLatin1StringView(fatalWords.data(), fatalWords.size());
}

LogOutcome LogOutcome::read(QByteArrayView log)
{
    LogOutcome outcome;
    outcome.fatal = LogBytes::findText(log, fatalWords, 0, log.size()) >= 0;
    // pdfTeX and XeTeX: "No pages of output."; LuaTeX: "warning  (pdf backend): no pages of
    // output."
    outcome.noPages = LogBytes::findText(log, "No pages of output.", 0, log.size()) >= 0
                      || LogBytes::findText(log, "no pages of output.", 0, log.size()) >= 0;
    QStringList failureLine;
    for (qsizetype start = 0; start < log.size();) {
        const void *feed = memchr(log.data() + start, '\n', size_t(log.size() - start));
        const qsizetype end = feed ? static_cast<const char *>(feed) - log.data() : log.size();
        const QByteArrayView line = log.sliced(start, end - start);
        const qsizetype message = errorLineMessage(line);
        if (message >= 0 && !line.contains(fatalWords)) {
            outcome.reason << text(line.sliced(message));
            // The place, as TeX gives it on the lines after: the first of them that
            // names a source line, or else the file and line of the error line.
            qsizetype at = end + 1;
            for (int lines = 0; lines < 12 && at < log.size(); ++lines) {
                const void *next = memchr(log.data() + at, '\n', size_t(log.size() - at));
                const qsizetype lineEnd =
                    next ? static_cast<const char *>(next) - log.data() : log.size();
                const QByteArrayView after = log.sliced(at, lineEnd - at);
                if (after.startsWith("l.") || after.startsWith("<*>")) {
                    outcome.reason << text(after);
                    break;
                }
                at = lineEnd + 1;
            }
            if (outcome.reason.size() == 1 && message > 2)
                outcome.reason << text(line.first(message - 2));
            return outcome;
        }
        if (failureLine.isEmpty() && !line.startsWith("LaTeX Font")
            && failureWords().match(QString::fromLatin1(line)).hasMatch()
            && !line.startsWith("No file ") && !line.contains("Warning"))
            failureLine << text(line);
        start = end + 1;
    }
    outcome.reason = failureLine;
    return outcome;
}

QStringList LogOutcome::reasonInOutput(QStringView output)
{
    const QList<QStringView> lines = output.split(u'\n', Qt::SkipEmptyParts);
    for (const QStringView line : lines) {
        if (failureWords().match(line).hasMatch())
            return {line.trimmed().toString()};
    }
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        if (!line->trimmed().isEmpty())
            return {line->trimmed().toString()};
    }
    return {};
}
