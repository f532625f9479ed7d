#include "find/DocumentMatches.h"

#include "model/QSFile.h"
#include "model/QSFilePool.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringView>

QList<DocumentMatches::Source> DocumentMatches::sourcesOf(const std::shared_ptr<QSFile> &root)
{
    QList<Source> sources;
    if (!root)
        return sources;
    // Two files of one name in two folders ("introduction.tex" of two parts) are
    // told apart by their folders.
    const QDir folder(root->isUntitled() ? QString() : root->directory());
    for (const std::shared_ptr<QSFile> &file : QSFilePool::fileList(root.get())) {
        const QString name =
            file->isUntitled() || root->isUntitled()
                ? file->name()
                : QDir::fromNativeSeparators(folder.relativeFilePath(file->pathText()));
        sources.append(Source{file, name, file->content()});
    }
    return sources;
}

qsizetype DocumentMatches::lengthOf(const QList<Source> &sources)
{
    qsizetype length = 0;
    for (const Source &source : sources)
        length += source.text.size();
    return length;
}

DocumentMatches DocumentMatches::search(const QList<Source> &sources, const SearchPattern &pattern,
                                        const std::atomic<bool> *stop)
{
    DocumentMatches found;
    found._pattern = pattern;
    if (pattern.isEmpty() || !pattern.isValid())
        return found;
    for (const Source &source : sources) {
        if (stop && stop->load(std::memory_order_relaxed))
            return DocumentMatches{};
        const QList<QSRange> ranges = pattern.findAll(source.text);
        if (ranges.isEmpty())
            continue;
        File file{source.file, source.name, ranges.size(), ranges.first(), {}};
        const QStringView text(source.text);
        // Lines are counted once through the file, from one match to the next.
        qsizetype countedUpTo = 0;
        int line = 1;
        qsizetype lineStart = 0;
        for (const QSRange range : ranges) {
            if (found._listedCount == listLimit)
                break;
            const qsizetype at = range.location;
            const int newLines = int(text.mid(countedUpTo, at - countedUpTo).count(u'\n'));
            if (newLines > 0) {
                line += newLines;
                lineStart = text.lastIndexOf(u'\n', at - 1) + 1;
            }
            countedUpTo = at;
            file.matches.append(matchOnLine(source.text, range, lineStart, line));
            ++found._listedCount;
        }
        found._matchCount += ranges.size();
        found._files.append(std::move(file));
    }
    return found;
}

DocumentMatches::Match DocumentMatches::matchOnLine(const QString &text, QSRange range,
                                                    qsizetype lineStart, int line)
{
    qsizetype lineEnd = text.indexOf(u'\n', range.location);
    if (lineEnd < 0)
        lineEnd = text.size();
    if (lineEnd > lineStart && text.at(lineEnd - 1) == u'\r')
        --lineEnd;
    qsizetype start = lineStart;
    while (start < qsizetype(range.location) && (text.at(start) == u' ' || text.at(start) == u'\t'))
        ++start;
    qsizetype end = lineEnd;
    // A long line (a paragraph on one line) is shown around its match, with some
    // text before it for context.
    const bool cutBefore = end - start > lineTextLength && range.location - start > 40;
    if (cutBefore)
        start = range.location - 40;
    const bool cutAfter = end - start > lineTextLength;
    if (cutAfter)
        end = start + lineTextLength;
    Match match;
    match.range = range;
    match.line = line;
    match.lineText = text.mid(start, end - start);
    match.lineText.replace(u'\t', u' ');
    match.markStart = range.location - start;
    // A match that goes on to the next lines is marked to the end of its first.
    match.markLength = qMin<qsizetype>(range.length, end - qsizetype(range.location));
    if (cutBefore) {
        match.lineText.prepend(u'\u2026');
        ++match.markStart;
    }
    if (cutAfter)
        match.lineText.append(u'\u2026');
    return match;
}

QString DocumentMatches::summary() const
{
    if (_pattern.isEmpty())
        return QString();
    if (_matchCount == 0)
        return QCoreApplication::translate("DocumentMatches", "Not found");
    const QString matches =
        _matchCount == 1
            ? QCoreApplication::translate("DocumentMatches", "1 match")
            : QCoreApplication::translate("DocumentMatches", "%1 matches").arg(_matchCount);
    const QString files =
        _files.size() == 1
            ? QCoreApplication::translate("DocumentMatches", "1 file")
            : QCoreApplication::translate("DocumentMatches", "%1 files").arg(_files.size());
    QString summary =
        QCoreApplication::translate("DocumentMatches", "%1 in %2").arg(matches, files);
    if (_listedCount < _matchCount)
        summary += QCoreApplication::translate("DocumentMatches", " (the first %1 listed)")
                       .arg(_listedCount);
    return summary;
}
