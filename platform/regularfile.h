#pragma once

#include "platform/filestamp.h"

#include <QByteArray>
#include <QString>

#include <atomic>

#include <sys/stat.h>

namespace platform {

/// A regular file open for reading. Anything else is refused before a byte is read, and without
/// waiting: a device such as /dev/zero never ends, and a pipe would block until some other program
/// writes to it, so pipes are read only where asked for, by a reader that can be stopped while it
/// waits. Symbolic links are followed to what they name.
class RegularFile
{
public:
    enum class Pipes { Refused, Read };

    /// Throws `Failure` with the system's message when `path` cannot be opened, and with one that
    /// names what it is (a folder, a named pipe, a device, a socket) when it is no regular file
    /// (and no pipe, where pipes are read).
    explicit RegularFile(const QString &path, Pipes pipes = Pipes::Refused);
    ~RegularFile();
    RegularFile(const RegularFile &) = delete;
    RegularFile &operator=(const RegularFile &) = delete;

    /// The size the file had when it was opened: a hint for sizing buffers, never the end (files
    /// under /proc say 0 and still hold text, and a file may grow while it is read).
    qint64 size() const { return m_size; }
    /// True for a pipe, whose size is unknown until it ends.
    bool isPipe() const { return m_pipe; }
    enum class Change {
        None,  ///< as it was opened
        Grew,  ///< longer, its old bytes perhaps kept (a log written to): ask `bytesAt`
        Other, ///< cut short, written over, or its name now names another file
    };
    /// What became of the file since it was opened. A pipe never changes.
    Change changeSinceOpened() const;
    /// What the system tells of the open file now, whatever its name leads to meanwhile.
    FileStamp stamp() const;
    /// Up to `count` bytes from `offset`, as the file holds them now.
    QByteArray bytesAt(qint64 offset, qint64 count) const;
    /// Reads up to `capacity` bytes; 0 only at the end of the file. Throws `Failure` on an error.
    /// A pipe with nothing to read yet is waited on until `stop`, when given, becomes true; the
    /// answer is then 0.
    qint64 read(char *data, qint64 capacity, const std::atomic<bool> *stop = nullptr);

private:
    int m_descriptor = -1;
    qint64 m_size = 0;
    bool m_pipe = false;
    QByteArray m_name;
    struct stat m_opened {};
};

/// True when `path` names a folder (or a link to one).
bool isFolder(const QString &path);

/// The whole of a regular file of at most `sizeLimit` bytes. A larger one is refused, before
/// it is read when its size says so, and as soon as the reading passes the limit otherwise.
QByteArray readRegularFile(const QString &path, qint64 sizeLimit);

/// Throws `Failure` when something exists at `path` that is not a regular file or is larger than
/// `sizeLimit` bytes. Nothing there, or nothing that can be looked at, passes.
void refuseIrregularFile(const QString &path, qint64 sizeLimit);

} // namespace platform
