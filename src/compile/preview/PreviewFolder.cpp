#include "compile/preview/PreviewFolder.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <cstdio>
#include <optional>

namespace {

// The root's folder is looked through this deep, and for this many folders at
// most, for the folders an \include'd file's .aux is written to: a document
// kept in the home folder must not make every preview walk the home folder.
constexpr int mirroredDepth = 3;
constexpr int mirroredFolders = 256;

QString tr(const char *text)
{
    return QCoreApplication::translate("PreviewFolder", text);
}

QString absoluteClean(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool isInside(const QString &path, const QString &folder)
{
    return path.size() > folder.size() + 1 && path.startsWith(folder)
           && path.at(folder.size()) == u'/';
}

// The line put first in the root's .aux for a run that typesets one \include'd
// file. LaTeX reads that .aux in a group at \begin{document}, where \includeonly is
// still allowed; the list it makes is made global to outlast the group. The run
// writes the .aux anew, without the line.
const QByteArray onlyStart("\\includeonly{");
const QByteArray
    onlyEnd("}\\global\\let\\if@partsw\\if@partsw\\global\\let\\@partlist\\@partlist\n");

std::optional<QByteArray> readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

// The .aux files (relative paths) that the root's .aux has LaTeX read: those of the
// files the root \include's. One outside the root's folder, which the engine may not
// write, is left out.
QStringList includedAux(const QByteArray &aux)
{
    static const QRegularExpression input(QStringLiteral("^\\\\@input\\{([^{}]+)\\}\\s*$"),
                                          QRegularExpression::MultilineOption);
    QStringList names;
    for (const QRegularExpressionMatch &match : input.globalMatch(QFile::decodeName(aux))) {
        // LaTeX quotes a name with spaces.
        const QString name = match.captured(1).remove(u'"');
        const QString clean = QDir::cleanPath(name);
        if (!QDir::isAbsolutePath(clean) && clean != QStringLiteral("..")
            && !clean.startsWith(QStringLiteral("../")))
            names << name;
    }
    return names;
}

// Copies what is at `from` to `to`; false when there is nothing at `from`.
bool copyFile(const QString &from, const QString &to)
{
    const std::optional<QByteArray> bytes = readAll(from);
    return bytes && QDir().mkpath(QFileInfo(to).path()) && writeAll(to, *bytes);
}

} // namespace

PreviewFolder::PreviewFolder(const QString &rootPath)
    : _rootPath(absoluteClean(rootPath))
    , _rootFolder(QFileInfo(_rootPath).absolutePath())
    , _path(locationFor(_rootPath))
{}

QString PreviewFolder::locationFor(const QString &rootPath)
{
    const QByteArray hash =
        QCryptographicHash::hash(absoluteClean(rootPath).toUtf8(), QCryptographicHash::Sha256)
            .toHex()
            .left(16);
    return QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)
                           + QStringLiteral("/preview/") + QString::fromLatin1(hash));
}

QString PreviewFolder::prepare(const QStringList &documentFiles)
{
    if (!_prepared) {
        // Only the folder named after the hash is ever emptied: whatever the cache
        // location is, nothing above it is touched.
        QDir(_path).removeRecursively();
        _copies.clear();
        _mirrored.clear();
    }
    if (!QDir().mkpath(_path) || !QFileInfo(_path).isWritable())
        return tr("The preview folder %1 cannot be created or written to.").arg(_path);
    if (!_prepared) {
        _prepared = true;
        QStringList level{QString()};
        for (int depth = 0; depth < mirroredDepth && !level.isEmpty(); ++depth) {
            QStringList next;
            for (const QString &relative : std::as_const(level)) {
                const QDir folder(_rootFolder + u'/' + relative);
                for (const QString &name : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
                    if (_mirrored.size() >= mirroredFolders)
                        break;
                    const QString child = relative.isEmpty() ? name : relative + u'/' + name;
                    if (mirrorFolder(child))
                        next << child;
                }
            }
            level = next;
        }
    }
    for (const QString &file : documentFiles) {
        const QString copy = copyPath(absoluteClean(file));
        if (!copy.isEmpty())
            mirrorFolder(QFileInfo(copy.mid(_path.size() + 1)).path());
    }
    return QString();
}

bool PreviewFolder::mirrorFolder(const QString &relativeFolder)
{
    if (relativeFolder.isEmpty() || relativeFolder == QStringLiteral("."))
        return false;
    if (_mirrored.contains(relativeFolder))
        return true;
    if (!QDir().mkpath(_path + u'/' + relativeFolder))
        return false;
    _mirrored.insert(relativeFolder);
    return true;
}

QString PreviewFolder::writeCopies(const QList<PreviewText> &texts)
{
    QSet<QString> unsaved;
    for (const PreviewText &text : texts) {
        const QString user = absoluteClean(text.path);
        const QString copy = copyPath(user);
        if (copy.isEmpty())
            continue;
        unsaved.insert(user);
        const auto written = _copies.constFind(user);
        if (written != _copies.cend() && *written == text.text && QFileInfo::exists(copy))
            continue;
        const std::optional<QByteArray> bytes = TextEncoding::encode(text.text, text.encoding);
        if (!bytes)
            return tr("%1 holds characters that its encoding (%2) cannot write.")
                .arg(QFileInfo(user).fileName(), TextEncoding::label(text.encoding));
        mirrorFolder(QFileInfo(copy.mid(_path.size() + 1)).path());
        QSaveFile file(copy);
        if (!file.open(QIODevice::WriteOnly) || file.write(*bytes) != bytes->size()
            || !file.commit())
            return tr("The preview copy of %1 cannot be written: %2")
                .arg(QFileInfo(user).fileName(), file.errorString());
        _copies.insert(user, text.text);
    }
    // A file saved since the last preview is read from disk again.
    for (auto copy = _copies.begin(); copy != _copies.end();) {
        if (unsaved.contains(copy.key())) {
            ++copy;
            continue;
        }
        QFile::remove(copyPath(copy.key()));
        copy = _copies.erase(copy);
    }
    return QString();
}

QSet<QString> PreviewFolder::copies() const
{
    return QSet<QString>(_copies.keyBegin(), _copies.keyEnd());
}

QString PreviewFolder::userPath(const QString &path) const
{
    const QString clean = QDir::cleanPath(path);
    if (isInside(clean, _path))
        return _rootFolder + clean.mid(_path.size());
    return clean;
}

QString PreviewFolder::copyPath(const QString &userPath) const
{
    const QString clean = QDir::cleanPath(userPath);
    return isInside(clean, _rootFolder) ? _path + clean.mid(_rootFolder.size()) : QString();
}

QString PreviewFolder::outputPath(const QString &jobName, const QString &extension) const
{
    return _path + u'/' + jobName + extension;
}

bool PreviewFolder::typesetOnly(const QString &jobName, const QString &name) const
{
    const QString auxPath = outputPath(jobName, QStringLiteral(".aux"));
    std::optional<QByteArray> aux = readAll(auxPath);
    // A run that never reached \begin{document} left the line of its request.
    const qsizetype lineEnd = aux ? aux->indexOf('\n') : -1;
    const bool marked =
        aux && aux->startsWith(onlyStart) && aux->left(lineEnd + 1).endsWith(onlyEnd);
    if (marked)
        aux->remove(0, lineEnd + 1);
    if (name.isEmpty()) {
        if (marked && !writeAll(auxPath, *aux))
            QFile::remove(auxPath);
        return false;
    }
    if (!aux)
        aux = readAll(_rootFolder + u'/' + jobName + QStringLiteral(".aux"));
    if (!aux)
        return false;

    // The root's .aux names the .aux of every file it \include'd, the one being
    // typeset among them.
    const QString wanted =
        (name.endsWith(QStringLiteral(".tex")) ? name.chopped(4) : name) + QStringLiteral(".aux");
    bool included = false;
    for (const QString &chapter : includedAux(*aux)) {
        const QString copy = _path + u'/' + chapter;
        if (chapter == wanted)
            included = true;
        else if (!QFileInfo::exists(copy) && !copyFile(_rootFolder + u'/' + chapter, copy))
            return false;
    }
    return included && writeAll(auxPath, onlyStart + name.toUtf8() + onlyEnd + *aux);
}

void PreviewFolder::keepAux(const QString &jobName) const
{
    // A folder whose name starts with a dot is never one of the mirrored folders.
    const QString kept = _path + QStringLiteral("/.aux-kept/");
    QDir(kept).removeRecursively();
    const QString root = jobName + QStringLiteral(".aux");
    const std::optional<QByteArray> aux = readAll(_path + u'/' + root);
    if (!aux)
        return;
    // Named: a loop over "temporary << x" would go on after the temporary's end.
    const QStringList names = includedAux(*aux) << root;
    for (const QString &name : names)
        copyFile(_path + u'/' + name, kept + name);
}

void PreviewFolder::restoreAux(const QString &jobName) const
{
    const QString kept = _path + QStringLiteral("/.aux-kept/");
    const std::optional<QByteArray> aux = readAll(kept + jobName + QStringLiteral(".aux"));
    if (!aux)
        return;
    const QStringList names = includedAux(*aux) << jobName + QStringLiteral(".aux");
    for (const QString &name : names)
        copyFile(kept + name, _path + u'/' + name);
}

void PreviewFolder::removeOutputs(const QString &jobName) const
{
    QFile::remove(outputPath(jobName, QStringLiteral(".pdf")));
    QFile::remove(outputPath(jobName, QStringLiteral(".synctex.gz")));
}

QString PreviewFolder::publish(const QString &jobName) const
{
    // rename() replaces the name a viewer reads in one step; QFile::rename would
    // first remove the file shown.
    const auto move = [this, &jobName](const QString &extension) {
        const QByteArray from = QFile::encodeName(outputPath(jobName, extension));
        const QByteArray to =
            QFile::encodeName(outputPath(jobName, QStringLiteral(".preview") + extension));
        return std::rename(from.constData(), to.constData()) == 0;
    };
    // The SyncTeX lookups read the data beside the PDF, by its name: stale data of
    // an earlier preview would send a click to the wrong line.
    if (!move(QStringLiteral(".synctex.gz")))
        QFile::remove(outputPath(jobName, QStringLiteral(".preview.synctex.gz")));
    if (!move(QStringLiteral(".pdf")))
        return QString();
    return outputPath(jobName, QStringLiteral(".preview.pdf"));
}
