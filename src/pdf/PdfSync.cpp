#include "pdf/PdfSync.h"

#include <QHash>
#include <QList>
#include <QRegularExpression>
#include <QStringView>
#include <cmath>

namespace {

// Positions are in TeX's scaled points: 65536 to the TeX point, 72.27 of those to
// the inch, against 72 PDF points.
constexpr double scaledPointsPerPdfPoint = 65536.0 * 72.27 / 72.0;

// The leading decimal digits of a text, or 0.
int leadingNumber(QStringView text)
{
    qint64 number = 0;
    for (const QChar character : text) {
        if (character < u'0' || character > u'9')
            break;
        number = qMin<qint64>(number * 10 + (character.unicode() - u'0'), INT_MAX);
    }
    return int(number);
}

// A record for the line: its number must end where the record's does, or the
// record of line 15 would answer for line 1 and turn to its page.
QRegularExpression recordPattern(int line)
{
    return QRegularExpression(QStringLiteral(R"(l(\s(\w+)\s)(%1)(?!\d))").arg(line));
}

// Where a record was typeset: its first position record and the last page line
// before it, or none when it has no position on a page.
std::optional<PdfSync::PagePosition> positionOfRecord(const QString &sync, QStringView record)
{
    const qsizetype position = sync.indexOf(QStringLiteral("p %1 ").arg(leadingNumber(record)));
    if (position < 2)
        return std::nullopt;
    const qsizetype pageLine = sync.lastIndexOf(QStringLiteral("s "), position - 2);
    if (pageLine < 0)
        return std::nullopt;
    static const QRegularExpression pageRecord(QStringLiteral(R"((s (\w+)))"));
    const QRegularExpressionMatch page = pageRecord.match(sync, pageLine);
    if (!page.hasMatch())
        return std::nullopt;
    const qsizetype lineEnd = sync.indexOf(u'\n', position);
    const QList<QStringView> fields = QStringView(sync)
                                          .mid(position, lineEnd < 0 ? -1 : lineEnd - position)
                                          .split(u' ', Qt::SkipEmptyParts);
    return PdfSync::PagePosition{
        leadingNumber(page.capturedView(2)),
        fields.size() > 2 ? fields.at(2).toDouble() / scaledPointsPerPdfPoint : 0.0,
        fields.size() > 3 ? fields.at(3).toDouble() / scaledPointsPerPdfPoint : 0.0};
}

// Where the first record for the line in a text that has a position on a page was
// typeset. The engine writes several records for some lines, a heading's among
// them, and the first of those is often placed nowhere.
std::optional<PdfSync::PagePosition> firstPositionForLine(const QString &sync, const QString &text,
                                                          int line)
{
    for (QRegularExpressionMatchIterator records = recordPattern(line).globalMatch(text);
         records.hasNext();) {
        if (const auto position = positionOfRecord(sync, records.next().capturedView(2)))
            return position;
    }
    return std::nullopt;
}

// The same for the records that stand outside every file block. The blocks of
// included files come before the root file's later lines and hold records for
// the same line numbers, so the first record in the text is often not the root's.
std::optional<PdfSync::PagePosition> rootPositionForLine(const QString &sync, int line)
{
    int depth = 0;
    qsizetype lineStart = 0; // of the first line not yet counted
    for (QRegularExpressionMatchIterator records = recordPattern(line).globalMatch(sync);
         records.hasNext();) {
        const QRegularExpressionMatch record = records.next();
        while (lineStart <= record.capturedStart(0)) {
            if (sync.at(lineStart) == u'(')
                ++depth;
            else if (sync.at(lineStart) == u')')
                depth = qMax(0, depth - 1);
            const qsizetype feed = sync.indexOf(u'\n', lineStart);
            lineStart = feed < 0 ? sync.size() + 1 : feed + 1;
        }
        if (depth > 0)
            continue;
        if (const auto position = positionOfRecord(sync, record.capturedView(2)))
            return position;
    }
    return std::nullopt;
}

QString withoutTexEnding(QString name)
{
    if (name.endsWith(QStringLiteral(".tex")))
        name.chop(4);
    return name;
}

// Where the block of an included file starts: one of its include paths on a line
// of its own, as the engine writes the name it was given, else its name alone on
// a line with a ")" somewhere after it. The paths come first: "(one" may be the
// block of a one.tex beside the root when the file shown is ch/one.tex.
qsizetype blockStart(const QString &sync, const PdfSync::ShownFile &shown)
{
    for (const QString &path : shown.relativeIncludePaths) {
        const QString stem = withoutTexEnding(path);
        for (const QString &line : {u'(' + stem + u'\n', u'(' + stem + QStringLiteral(".tex\n")}) {
            if (const qsizetype found = sync.indexOf(line); found >= 0)
                return found;
        }
    }
    // The whole name: "(introduction" is no block of intro.tex.
    const QRegularExpression opening(QStringLiteral(R"(\()")
                                         + QRegularExpression::escape(withoutTexEnding(shown.name))
                                         + QStringLiteral(R"((\.tex)?$)"),
                                     QRegularExpression::MultilineOption);
    const qsizetype lastClose = sync.lastIndexOf(u')');
    if (lastClose >= 0) {
        const QRegularExpressionMatch match = opening.match(sync);
        if (match.hasMatch() && match.capturedEnd(0) <= lastClose)
            return match.capturedStart(0);
    }
    return -1;
}

// The records of the shown file's own block: from the line after its opening to
// the end of the last whole line, with the blocks of files it includes cut out.
std::optional<QString> ownRecords(const QString &sync, qsizetype start)
{
    QString block = sync.mid(start);
    const qsizetype firstBreak = block.indexOf(u'\n');
    if (firstBreak < 0)
        return std::nullopt;
    block.remove(0, firstBreak + 1);
    const qsizetype lastBreak = block.lastIndexOf(u'\n');
    if (lastBreak < 0)
        return std::nullopt;
    block.truncate(lastBreak + 1);

    QList<std::pair<qsizetype, qsizetype>> nested;
    int depth = 0;
    qsizetype nestedStart = 0;
    for (qsizetype i = 0; i < block.size(); ++i) {
        if (block.at(i) == u'(') {
            if (++depth == 1)
                nestedStart = i;
        } else if (block.at(i) == u')') {
            if (--depth == 0)
                nested.append({nestedStart, i});
        }
    }
    for (auto range = nested.crbegin(); range != nested.crend(); ++range)
        block.remove(range->first, range->second - range->first);
    return block;
}

} // namespace

std::optional<PdfSync::PagePosition> PdfSync::positionForLine(const QString &sync,
                                                              const ShownFile &shown, int line)
{
    if (shown.isRoot)
        return rootPositionForLine(sync, line);
    const qsizetype start = blockStart(sync, shown);
    if (start < 0)
        return std::nullopt;
    const std::optional<QString> block = ownRecords(sync, start);
    if (!block)
        return std::nullopt;
    return firstPositionForLine(sync, *block, line);
}

std::optional<PdfSync::SourceLine> PdfSync::sourceForPoint(const QString &sync, int page, double x,
                                                           double y)
{
    QStringList files; // the blocks open at the current line, innermost last
    QHash<QString, SourceLine> records;
    int currentPage = 0;
    QString nearest;
    double nearestDistance = 0;
    for (QStringView line : QStringView(sync).split(u'\n')) {
        if (line.startsWith(u'(')) {
            files.append(line.mid(1).toString());
        } else if (line.startsWith(u')')) {
            if (!files.isEmpty())
                files.removeLast();
        } else if (line.startsWith(QStringLiteral("l "))) {
            const QList<QStringView> fields = line.split(u' ', Qt::SkipEmptyParts);
            if (fields.size() >= 3)
                records.insert(fields.at(1).toString(),
                               SourceLine{files.isEmpty() ? QString() : files.last(),
                                          leadingNumber(fields.at(2))});
        } else if (line.startsWith(QStringLiteral("s "))) {
            currentPage = leadingNumber(line.mid(2));
        } else if (currentPage == page && line.startsWith(QStringLiteral("p "))) {
            const QList<QStringView> fields = line.split(u' ', Qt::SkipEmptyParts);
            if (fields.size() < 4)
                continue;
            // A line of text is what a click points at: the height counts four times
            // as much as the distance along the line.
            const double dx = fields.at(2).toDouble() / scaledPointsPerPdfPoint - x;
            const double dy = fields.at(3).toDouble() / scaledPointsPerPdfPoint - y;
            const double distance = std::sqrt(dx * dx + 16 * dy * dy);
            if (nearest.isEmpty() || distance < nearestDistance) {
                nearest = fields.at(1).toString();
                nearestDistance = distance;
            }
        }
    }
    if (nearest.isEmpty() || !records.contains(nearest))
        return std::nullopt;
    return records.value(nearest);
}

int PdfSync::lineNumberAt(const QString &text, qsizetype position)
{
    int line = 1;
    const qsizetype end = qMin(position, text.size());
    for (qsizetype i = 0; i < end; ++i) {
        switch (text.at(i).unicode()) {
        case u'\r':
            if (i + 1 < text.size() && text.at(i + 1) == u'\n') {
                if (i + 1 == end)
                    return line; // between CR and LF: still the line they end
                ++i;
            }
            ++line;
            break;
        case u'\n':
        case 0x0085:
        case 0x2028:
        case 0x2029:
            ++line;
            break;
        default:
            break;
        }
    }
    return line;
}
