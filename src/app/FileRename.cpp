#include "app/FileRename.h"

#include "model/LandmarkScanner.h"
#include "model/QSFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("FileRename", text);
}

const QLatin1String tex(".tex");

// The path a name stands for from each folder in turn, and the folder it was
// found from; nothing when no file is there.
std::optional<std::pair<QString, QString>> found(QStringView name, const QStringList &folders)
{
    QString file = name.trimmed().toString();
    if (!(file.size() > 4 && file.endsWith(tex)))
        file += tex;
    for (const QString &folder : folders) {
        const QString path = QDir::cleanPath(QDir(folder).filePath(file));
        if (QFileInfo(path).isFile())
            return std::pair{path, folder};
    }
    return std::nullopt;
}

// What the scan passed over at the place: a comment or verbatim text; none in code.
const LandmarkScanner::Skipped *skippedAt(const QList<LandmarkScanner::Skipped> &skipped,
                                          qsizetype at)
{
    const auto after = std::upper_bound(
        skipped.cbegin(), skipped.cend(), at,
        [](qsizetype place, const LandmarkScanner::Skipped &s) { return place < s.start; });
    if (after == skipped.cbegin() || at >= (after - 1)->end)
        return nullptr;
    return &*(after - 1);
}

} // namespace

QList<FileRename::Include> FileRename::includesIn(QStringView text)
{
    QList<Include> includes;
    static const QRegularExpression command(
        QStringLiteral("\\\\(input|include|includeonly)(?![A-Za-z@])\\s*\\{([^{}]*)\\}"));
    if (!text.contains(QLatin1String("\\input")) && !text.contains(QLatin1String("\\include")))
        return includes;
    QList<LandmarkScanner::Skipped> skipped;
    LandmarkScanner::scan(text, &skipped);
    QRegularExpressionMatchIterator it = command.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const qsizetype start = match.capturedStart();
        // "\\input" is a line break followed by a word.
        qsizetype slashes = 0;
        while (start - slashes > 0 && text[start - slashes - 1] == u'\\')
            ++slashes;
        const LandmarkScanner::Skipped *passed = skippedAt(skipped, start);
        if (slashes % 2 == 1 || (passed && !passed->comment))
            continue;
        const bool only = match.capturedView(1) == u"includeonly";
        const bool without = match.capturedView(1) != u"input";
        // Each item of \includeonly's list; the others' whole argument.
        qsizetype at = match.capturedStart(2);
        const QStringView argument = match.capturedView(2);
        const QList<QStringView> items = only ? argument.split(u',') : QList{argument};
        for (const QStringView item : items) {
            const QStringView name = item.trimmed();
            if (!name.isEmpty()) {
                const qsizetype nameStart = at + (name.data() - item.data());
                includes.append({nameStart, name.size(), without, passed != nullptr});
            }
            at += item.size() + 1;
        }
    }
    return includes;
}

std::optional<FileRename::Include> FileRename::includeAt(QStringView text, qsizetype position)
{
    for (const Include &include : includesIn(text))
        if (position >= include.start && position <= include.start + include.length)
            return include;
    return std::nullopt;
}

QString FileRename::pathOf(QStringView name, const QString &fileFolder, const QString &rootFolder)
{
    const auto path = found(name, {fileFolder, rootFolder});
    return path ? path->first : QString();
}

QList<FileRename::Place> FileRename::placesOf(const QString &path,
                                              const QList<DocumentMatches::Source> &sources)
{
    QList<Place> places;
    if (sources.isEmpty() || sources.first().file->isUntitled())
        return places;
    const QString rootFolder = sources.first().file->directory();
    const QString target = QDir::cleanPath(path);
    for (const DocumentMatches::Source &source : sources) {
        if (source.file->isUntitled())
            continue;
        const QStringList folders{source.file->directory(), rootFolder};
        for (const Include &include : includesIn(source.text)) {
            const auto named =
                found(QStringView(source.text).mid(include.start, include.length), folders);
            if (named && named->first == target)
                places.append({source.file, include, named->second});
        }
    }
    return places;
}

QString FileRename::newName(const Place &place, const QString &text, const QString &newPath)
{
    QString name = QDir::fromNativeSeparators(QDir(place.folder).relativeFilePath(newPath));
    const QStringView written = QStringView(text).mid(place.include.start, place.include.length);
    if ((place.include.withoutExtension || !written.endsWith(tex)) && name.endsWith(tex))
        name.chop(tex.size());
    return name;
}

QString FileRename::refusal(const QString &rootFolder, const QString &name, const QString &newName)
{
    const QString path = QDir::cleanPath(QDir(rootFolder).filePath(name));
    const QString newPath = QDir::cleanPath(QDir(rootFolder).filePath(newName));
    if (path == newPath)
        return tr("That is the name it has.");
    if (!newName.endsWith(tex) || QFileInfo(newName).fileName().size() == tex.size())
        return tr("A file of the document is named with .tex at its end.");
    // What TeX would not read back in an \input: spaces and its special characters.
    static const QRegularExpression unreadable(QStringLiteral("[\\s{}\\\\%#$&^~\"]"));
    if (newName.contains(unreadable))
        return tr("A file's name for LaTeX holds no spaces, braces, backslashes, quotes, nor "
                  "any of % # $ & ^ ~.");
    if (QFileInfo::exists(newPath))
        return tr("%1 already exists.").arg(QDir::toNativeSeparators(newName));
    return QString();
}

QString FileRename::move(const QString &from, const QString &to)
{
    if (!QFileInfo(from).isFile())
        return tr("%1 is gone from disk.").arg(QFileInfo(from).fileName());
    if (QFileInfo::exists(to))
        return tr("%1 already exists.").arg(QDir::toNativeSeparators(to));
    const QString folder = QFileInfo(to).absolutePath();
    if (!QDir().mkpath(folder))
        return tr("The folder %1 could not be made.").arg(QDir::toNativeSeparators(folder));
    QFile file(from);
    if (!file.rename(to))
        return tr("%1 could not be moved: %2").arg(QFileInfo(from).fileName(), file.errorString());
    return QString();
}
