#pragma once

#include "platform/UserDefaults.h"

#include <QByteArray>
#include <QDir>
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

    static QByteArray read(const QString &filePath)
    {
        QFile file(filePath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

private:
    QTemporaryDir _dir;
};
