#pragma once

#include "platform/UserDefaults.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLoggingCategory>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

// The program's log lines are quiet unless turned on; the tests hear them all.
inline const bool quillsetLogLinesOn = [] {
    QLoggingCategory::setFilterRules(QStringLiteral("quillset.*=true"));
    return true;
}();

// A file or folder of the fixtures under tests/data.
inline QString dataPath(const QString &name)
{
    return QStringLiteral(QUILLSET_SOURCE_DIR "/tests/data/") + name;
}

// A temporary folder for a test's files, with the user defaults pointed at a
// settings file inside it so that no test touches the user's own settings.
class TestFolder
{
public:
    TestFolder()
    {
        UserDefaults::standardUserDefaults().useSettingsFile(
            _dir.filePath(QStringLiteral("settings.ini")));
    }

    QString path(const QString &name) const { return _dir.filePath(name); }
    QUrl url(const QString &name) const { return QUrl::fromLocalFile(path(name)); }

    QString write(const QString &name, const QByteArray &bytes) const
    {
        const QString filePath = path(name);
        QDir().mkpath(QFileInfo(filePath).absolutePath());
        QFile file(filePath);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write test file %s", qPrintable(filePath));
        return filePath;
    }

    // Several files at once, as pairs of name and content.
    void write(std::initializer_list<std::pair<QString, QByteArray>> files) const
    {
        for (const auto &[name, bytes] : files)
            write(name, bytes);
    }

    // Copies a folder of tests/data, with its sub-folders, into this folder.
    void copyData(const QString &name) const
    {
        const QDir data(dataPath(name));
        QDirIterator files(data.path(), QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString file = files.next();
            write(data.relativeFilePath(file), read(file));
        }
    }

    static QByteArray read(const QString &filePath)
    {
        QFile file(filePath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    // A text file's lines without the empty ones.
    static QStringList lines(const QString &filePath)
    {
        return QString::fromUtf8(read(filePath)).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    QTemporaryDir _dir;
};
