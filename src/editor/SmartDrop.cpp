#include "editor/SmartDrop.h"

#include "platform/UserDefaults.h"

SmartDrop::SmartDrop()
{
    const QVariantMap stored =
        UserDefaults::standardUserDefaults().dictionaryForKey(QSSmartDropDefinitions);
    for (auto it = stored.cbegin(); it != stored.cend(); ++it)
        _smartDrops.insert(it.key(), it.value().toString());
}

SmartDrop *SmartDrop::sharedSmartDrop()
{
    static SmartDrop registry;
    return &registry;
}

std::optional<QString> SmartDrop::fileTypeOfFileWithPath(const QString &path)
{
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < 0)
        return std::nullopt;
    return path.mid(dot + 1);
}

std::optional<QString> SmartDrop::smartDropForFileWithPath(const QString &path) const
{
    const std::optional<QString> type = fileTypeOfFileWithPath(path);
    if (!type || !_smartDrops.contains(*type))
        return std::nullopt;
    QString snippet = _smartDrops.value(*type);
    const qsizetype placeholder = snippet.indexOf(QStringLiteral(":filepath:"));
    if (placeholder >= 0)
        snippet.replace(placeholder, 10, path);
    return snippet;
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
