#include "editor/SmartDrop.h"

#include "platform/UserDefaults.h"

#include <QDir>

SmartDrop::SmartDrop()
{
    readFileDropsFromUserDefaults();
}

SmartDrop *SmartDrop::sharedSmartDrop()
{
    static SmartDrop registry;
    return &registry;
}

void SmartDrop::readFileDropsFromUserDefaults()
{
    _smartDrops.clear();
    const QVariantMap stored =
        UserDefaults::standardUserDefaults().dictionaryForKey(QSSmartDropDefinitions);
    for (auto it = stored.cbegin(); it != stored.cend(); ++it)
        _smartDrops.insert(it.key(), it.value().toString());
}

std::optional<QString> SmartDrop::fileTypeOfFileWithPath(const QString &path)
{
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < 0)
        return std::nullopt;
    return path.mid(dot + 1);
}

std::optional<QString> SmartDrop::smartDropForFileWithPath(const QString &path,
                                                           const QString &rootFolder) const
{
    const std::optional<QString> type = fileTypeOfFileWithPath(path);
    if (!type || !_smartDrops.contains(*type))
        return std::nullopt;
    const QString snippet = _smartDrops.value(*type);
    const QString relative = rootFolder.isEmpty() ? path : QDir(rootFolder).relativeFilePath(path);
    // A name that only begins with a dot has no extension to take off.
    QString withoutExtension = relative;
    const qsizetype dot = relative.lastIndexOf(u'.');
    if (dot > relative.lastIndexOf(u'/') + 1)
        withoutExtension.truncate(dot);

    // One pass from left to right, so that a path filled in is never read for placeholders.
    const qsizetype firstFilePath = snippet.indexOf(filePathPlaceholder);
    QString filled;
    for (qsizetype at = 0; at < snippet.size();) {
        const QStringView rest = QStringView(snippet).mid(at);
        if (at == firstFilePath) {
            filled += path;
            at += filePathPlaceholder.size();
        } else if (rest.startsWith(relativePathPlaceholder)) {
            filled += relative;
            at += relativePathPlaceholder.size();
        } else if (rest.startsWith(relativePathWithoutExtensionPlaceholder)) {
            filled += withoutExtension;
            at += relativePathWithoutExtensionPlaceholder.size();
        } else {
            filled += snippet.at(at++);
        }
    }
    return filled;
}

void SmartDrop::setSmartDrop(const QString &snippet, const QString &fileType)
{
    _smartDrops.insert(fileType, snippet);
}

void SmartDrop::removeSmartDropForFileType(const QString &fileType)
{
    _smartDrops.remove(fileType);
}

void SmartDrop::saveFileDropsToUserDefaults() const
{
    QVariantMap stored;
    for (auto it = _smartDrops.cbegin(); it != _smartDrops.cend(); ++it)
        stored.insert(it.key(), it.value());
    UserDefaults::standardUserDefaults().setObject(stored, QSSmartDropDefinitions);
}
