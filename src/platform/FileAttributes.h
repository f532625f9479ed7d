#pragma once

#include <QString>
#include <optional>

// What the program remembers of a file on disk to notice that it changed: its
// modification time to the nanosecond, and its size and inode, which also catch a
// rewrite or a replacement within one tick of the file system's clock.
struct FileAttributes
{
    qint64 modificationTimeNs = 0;
    qint64 size = 0;
    quint64 inode = 0;

    // None when nothing exists at the path.
    static std::optional<FileAttributes> ofFileAtPath(const QString &path);

    bool operator==(const FileAttributes &) const = default;
};
