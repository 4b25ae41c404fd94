#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

/// What the system tells of a file without reading it: which file a name leads to, how long it
/// is and when it was last written. Two stamps that differ show a change; two that are equal may
/// still hide one written within the file system's time grain of the first (see isRacy).
struct FileStamp
{
    bool exists = false;  ///< something is there (links followed)
    bool regular = false; ///< and it is a regular file
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0; ///< last written, in nanoseconds since the epoch
    qint64 takenNs = 0;    ///< when the stamp was taken, on the same clock

    /// Whether both name the same file (the same one on disk, whatever became of its content).
    bool sameFileAs(const FileStamp &other) const
    {
        return exists && other.exists && device == other.device && inode == other.inode;
    }
    /// Whether both say the same of the same file; when it was taken does not count.
    bool operator==(const FileStamp &other) const
    {
        return exists == other.exists && regular == other.regular && device == other.device
               && inode == other.inode && size == other.size && modifiedNs == other.modifiedNs;
    }
    /// Whether the file was written so shortly before the stamp was taken that a second write
    /// of the same length could still leave the same time on it: only its bytes can tell then.
    bool isRacy() const;
};

/// The stamp of what `path` names now; `exists` is false where nothing can be looked at.
FileStamp stampOf(const QString &path);

/// The stamp of the file open as `descriptor`.
FileStamp stampOfOpenFile(int descriptor);

/// A digest of the file's bytes, as they are now: all of them up to a size where reading costs
/// little, and its first and last stretches beyond; empty when it cannot be read.
QByteArray contentDigest(const QString &path);

} // namespace platform
