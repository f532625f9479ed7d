#include "compile/preview/PreviewFormat.h"

#include "compile/LogOutcome.h"
#include "compile/preview/PreviewFolder.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace {

QString dumpFolder(const PreviewFolder &folder)
{
    return folder.path() + QStringLiteral("/dump");
}

qint64 modified(const QString &path)
{
    const QFileInfo file(path);
    return file.exists() ? file.lastModified().toMSecsSinceEpoch() : -1;
}

} // namespace

QByteArray PreviewFormat::preambleKey(const QString &engine, const QString &rootFile)
{
    QFile file(rootFile);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray text = file.readAll();
    // The first \begin{document} that is not commented out on its line.
    for (qsizetype at = text.indexOf("\\begin{document}"); at >= 0;
         at = text.indexOf("\\begin{document}", at + 1)) {
        const qsizetype lineStart = text.lastIndexOf('\n', at) + 1;
        const QByteArray before = text.mid(lineStart, at - lineStart);
        bool commented = false;
        for (qsizetype i = 0; i < before.size(); ++i) {
            if (before[i] == '\\')
                ++i;
            else if (before[i] == '%')
                commented = true;
        }
        if (!commented)
            return engine.toUtf8() + ':'
                   + QCryptographicHash::hash(text.left(at), QCryptographicHash::Sha256).toHex();
    }
    return QByteArray();
}

QString PreviewFormat::formatFor(const QByteArray &key, const PreviewFolder &folder) const
{
    if (key.isEmpty() || key != _key || _path.isEmpty()
        || !QFileInfo::exists(_path + QStringLiteral(".fmt")) || !_path.startsWith(folder.path()))
        return QString();
    for (auto file = _read.cbegin(); file != _read.cend(); ++file) {
        if (modified(file.key()) != file.value())
            return QString();
    }
    return QFileInfo(_path).fileName();
}

bool PreviewFormat::wanted(const QByteArray &key, const PreviewFolder &folder) const
{
    return !key.isEmpty() && key != _failedKey && formatFor(key, folder).isEmpty();
}

QStringList PreviewFormat::dumpArguments(const QString &engine, const QString &jobName,
                                         const QString &rootName, const PreviewFolder &folder)
{
    QDir().mkpath(dumpFolder(folder));
    return {QStringLiteral("-ini"),
            QStringLiteral("-interaction=nonstopmode"),
            QStringLiteral("-halt-on-error"),
            QStringLiteral("-file-line-error"),
            QStringLiteral("-no-shell-escape"),
            QStringLiteral("-recorder"),
            QStringLiteral("-output-directory=") + dumpFolder(folder),
            QStringLiteral("-jobname=") + jobName,
            u'&' + engine,
            QStringLiteral("mylatexformat.ltx"),
            rootName};
}

QString PreviewFormat::formatPath(const QString &jobName, const PreviewFolder &folder)
{
    return folder.path() + u'/' + jobName + QStringLiteral(".preamble");
}

QString PreviewFormat::dumpEnded(const QByteArray &key, bool succeeded, const QString &jobName,
                                 const PreviewFolder &folder)
{
    const QString dumped = dumpFolder(folder) + u'/' + jobName;
    const QString path = formatPath(jobName, folder);
    // One rename: a run never starts from a format the engine is still writing.
    if (succeeded
        && std::rename(QFile::encodeName(dumped + QStringLiteral(".fmt")).constData(),
                       QFile::encodeName(path + QStringLiteral(".fmt")).constData())
               == 0) {
        _key = key;
        _path = path;
        _read.clear();
        // The root file itself is left out: its preamble is the key, its body is
        // not in the format.
        const QString root = folder.rootPath();
        const QString rootCopy = folder.copyPath(root);
        const QDir from(folder.rootFolder());
        QFile recorded(dumped + QStringLiteral(".fls"));
        if (recorded.open(QIODevice::ReadOnly)) {
            while (!recorded.atEnd()) {
                const QByteArray line = recorded.readLine().trimmed();
                if (!line.startsWith("INPUT "))
                    continue;
                const QString file =
                    QDir::cleanPath(from.absoluteFilePath(QFile::decodeName(line.mid(6))));
                if (file != root && file != rootCopy
                    && (file.startsWith(folder.rootFolder() + u'/')
                        || file.startsWith(folder.path() + u'/')))
                    _read.insert(file, modified(file));
            }
        }
        return QString();
    }
    _failedKey = key;
    QFile log(dumped + QStringLiteral(".log"));
    const QString why =
        log.open(QIODevice::ReadOnly) ? LogOutcome::read(log.readAll()).reason.value(0) : QString();
    return why.isEmpty() ? QCoreApplication::translate("PreviewFormat", "the dump failed") : why;
}
