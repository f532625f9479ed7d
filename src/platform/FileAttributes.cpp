#include "platform/FileAttributes.h"

#include <QFile>
#include <sys/stat.h>

std::optional<FileAttributes> FileAttributes::ofFileAtPath(const QString &path)
{
    struct stat status
    {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return FileAttributes{qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
                          qint64(status.st_size), quint64(status.st_ino)};
}
