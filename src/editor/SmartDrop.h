#pragma once

#include <QMap>
#include <QString>
#include <optional>

// The snippets that dropping a file into the text inserts, one per file type (the
// text after the last "." of the path, compared exactly), with the file's path filled
// in for the placeholders. One registry for the whole program, read from the user
// defaults when first used.
class SmartDrop
{
public:
    // The dropped file's absolute path; only its first occurrence in a snippet is
    // filled in, as snippets written for it have always had it.
    static inline const QString filePathPlaceholder = QStringLiteral(":filepath:");
    // The path from the folder of the document's root file, where TeX resolves it, and
    // that path without its extension (as \input takes a .tex file); every occurrence.
    static inline const QString relativePathPlaceholder = QStringLiteral(":relativepath:");
    static inline const QString relativePathWithoutExtensionPlaceholder =
        QStringLiteral(":relativepathnoext:");

    static SmartDrop *sharedSmartDrop();

    // The snippet for the file with its paths filled in, or none for a type without
    // one. Without a root folder (an untitled document) the relative placeholders
    // give the absolute path.
    std::optional<QString> smartDropForFileWithPath(const QString &path,
                                                    const QString &rootFolder = {}) const;
    // None for a path without a ".".
    static std::optional<QString> fileTypeOfFileWithPath(const QString &path);

    void setSmartDrop(const QString &snippet, const QString &fileType);
    void removeSmartDropForFileType(const QString &fileType);
    void saveFileDropsToUserDefaults() const;
    // Replaces the definitions in memory with the stored ones (the registered ones for
    // a user who never changed them).
    void readFileDropsFromUserDefaults();

    const QMap<QString, QString> &smartDrops() const { return _smartDrops; }
    void setSmartDrops(const QMap<QString, QString> &smartDrops) { _smartDrops = smartDrops; }

private:
    SmartDrop();

    QMap<QString, QString> _smartDrops; // file type -> snippet; UI thread only
};
