#pragma once

#include <QMap>
#include <QString>
#include <optional>

// The snippets that dropping a file into the text inserts, one per file type (the
// text after the last "." of the path, compared exactly), with the file's path in
// place of the first ":filepath:". One registry for the whole program, read from
// the user defaults when first used.
class SmartDrop
{
public:
    static SmartDrop *sharedSmartDrop();

    // The snippet for the file with its path filled in, or none for a type without one.
    std::optional<QString> smartDropForFileWithPath(const QString &path) const;
    // None for a path without a ".".
    static std::optional<QString> fileTypeOfFileWithPath(const QString &path);

    void setSmartDrop(const QString &snippet, const QString &fileType);
    void removeSmartDropForFileType(const QString &fileType);
    void saveFileDropsToUserDefaults() const;

    const QMap<QString, QString> &smartDrops() const { return _smartDrops; }
    void setSmartDrops(const QMap<QString, QString> &smartDrops) { _smartDrops = smartDrops; }

private:
    SmartDrop();

    QMap<QString, QString> _smartDrops; // file type -> snippet; UI thread only
};
