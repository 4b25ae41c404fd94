#pragma once

#include "platform/writeprogress.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

namespace platform {

/// File-system services. Every failing call throws `Failure` with the system's own message.
class FileServices
{
public:
    virtual ~FileServices() = default;
    /// The last-modified time of the entry named by `path` (a file that cannot be read still has one).
    virtual QDateTime lastModified(const QString &path) const = 0;
    /// True when a directory listing of plain files names `path`: folders, hidden files and
    /// anything that is not a regular file do not count. Never throws.
    virtual bool listsAsPlainFile(const QString &path) const = 0;
    /// The whole of a regular file (or a link to one) of at most `sizeLimit` bytes; anything else,
    /// or a larger file, is refused without waiting and before it is read.
    virtual QByteArray readAll(const QString &path, qint64 sizeLimit) const = 0;
    /// Throws when something exists at `path` that is not a regular file or is larger than
    /// `sizeLimit` bytes; nothing there passes.
    virtual void refuseIrregularFile(const QString &path, qint64 sizeLimit) const = 0;
    /// Replaces the file's content with `data`, every byte on disk before `Written` is returned; on
    /// any failure the old file stays as it was and no temporary file remains. Writes through a
    /// symbolic link to its target and keeps the file's mode, owner, group and other names (hard
    /// links); refuses anything but a regular file at once. `progress` is told as the bytes go
    /// out, on the calling thread, and may stop the save while the old file is still whole:
    /// then `Stopped` is returned and nothing has changed.
    WriteOutcome writeAtomically(const QString &path, QByteArrayView data, const WriteProgress &progress = {})
    {
        return writePiecesAtomically(path, TextPieces(&data, 1), progress);
    }
    /// The same, for a text in pieces, written one after the other.
    virtual WriteOutcome writePiecesAtomically(const QString &path, TextPieces pieces,
                                               const WriteProgress &progress = {}) = 0;
};

} // namespace platform
