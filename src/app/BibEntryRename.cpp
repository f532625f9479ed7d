#include "app/BibEntryRename.h"

#include "editor/completion/BibliographyIndex.h"
#include "model/FileSymbols.h"
#include "model/QSFile.h"
#include "model/QSFilePool.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QUrl>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("BibEntryRename", text);
}

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

QString replaceFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return tr("%1 could not be written: %2").arg(fileName(path), file.errorString());
    return QString();
}

} // namespace

QList<BibEntryRename::Database> BibEntryRename::read(const std::shared_ptr<QSFile> &root,
                                                     const QString &key)
{
    QList<Database> databases;
    if (!root)
        return databases;
    const QString folder = root->isUntitled() ? QString() : root->directory();
    QSet<QString> seen;
    const QString matched = QString::fromLatin1(key.toUtf8());
    for (const std::shared_ptr<QSFile> &file : QSFilePool::fileList(root.get())) {
        for (const QString &name : file->symbols()->bibliographies) {
            const QString path = BibliographyIndex::pathOf(folder, name);
            if (path.isEmpty() || seen.contains(QFileInfo(path).canonicalFilePath()))
                continue;
            seen.insert(QFileInfo(path).canonicalFilePath());
            QFile in(path);
            if (!in.open(QIODevice::ReadOnly))
                continue;
            Database database;
            database.path = path;
            const QString relative = QDir(folder).relativeFilePath(path);
            database.shared = folder.isEmpty() || relative.startsWith(QLatin1String("../"))
                              || QDir::isAbsolutePath(relative);
            database.name = database.shared ? path : relative;
            database.bytes = in.readAll();
            database.text = QString::fromLatin1(database.bytes);
            database.places = UsageScanner::inBib(database.text, matched);
            databases.append(database);
        }
    }
    return databases;
}

QString BibEntryRename::sharedRefusal(const QList<Database> &databases, const QString &key)
{
    for (const Database &database : databases)
        if (database.shared && !database.places.isEmpty())
            return tr("The entry of %1 is in %2, outside the document's folder, where other "
                      "documents may read it: it is not renamed there.")
                .arg(key, database.path);
    return QString();
}

bool BibEntryRename::defines(const QList<Database> &databases, const QString &key)
{
    const QString matched = QString::fromLatin1(key.toUtf8());
    for (const Database &database : databases)
        if (!UsageScanner::inBib(database.text, matched).isEmpty())
            return true;
    return false;
}

QList<BibEntryRename::Write> BibEntryRename::plan(const QList<Database> &databases,
                                                  const QString &key, const QString &newKey,
                                                  const QSet<std::pair<QString, qint32>> &leftOut)
{
    const QByteArray oldBytes = key.toUtf8();
    const QByteArray newBytes = newKey.toUtf8();
    QList<Write> writes;
    for (const Database &database : databases) {
        QByteArray after = database.bytes;
        bool changed = false;
        // From the end, so that each offset still stands where it was read.
        for (qsizetype i = database.places.size() - 1; i >= 0; --i) {
            const Usage &place = database.places[i];
            if (leftOut.contains({database.path, place.offset}))
                continue;
            after.replace(place.offset, oldBytes.size(), newBytes);
            changed = true;
        }
        if (changed)
            writes.append({database.path, database.bytes, after});
    }
    return writes;
}

QString BibEntryRename::refusal(const QList<Write> &writes, bool back)
{
    for (const Write &write : writes) {
        const QString name = fileName(write.path);
        QFile file(write.path);
        if (!file.exists())
            return tr("%1 is gone from disk.").arg(name);
        if (!file.open(QIODevice::ReadOnly))
            return tr("%1 cannot be read: %2").arg(name, file.errorString());
        if (file.readAll() != (back ? write.after : write.before))
            return tr("%1 changed on disk since it was read.").arg(name);
        const QFileInfo info(write.path);
        if (!info.isWritable() || !QFileInfo(info.absolutePath()).isWritable())
            return tr("%1 cannot be written: it or its folder is read-only.").arg(name);
        const std::shared_ptr<QSFile> shown =
            QSFilePool::sharedFilePool()->fileObjectForPath(QUrl::fromLocalFile(write.path));
        if (shown && shown->hasContentChangedSinceLastSave(false))
            return tr("%1 has unsaved changes in a window: save or revert them first.").arg(name);
    }
    return QString();
}

QString BibEntryRename::write(const QList<Write> &writes, bool back)
{
    for (qsizetype i = 0; i < writes.size(); ++i) {
        const Write &write = writes[i];
        const QString why = replaceFile(write.path, back ? write.before : write.after);
        if (why.isEmpty())
            continue;
        for (qsizetype j = i - 1; j >= 0; --j)
            replaceFile(writes[j].path, back ? writes[j].after : writes[j].before);
        return why;
    }
    return QString();
}
