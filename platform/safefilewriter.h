#pragma once

#include "platform/systemcalls.h"

#include <QByteArray>
#include <QByteArrayView>

namespace platform {

/// Writes a whole text to a file so that a failure never costs the old text and is never
/// reported as success. Normally a temporary file in the target's folder, written, given the
/// target's owner and mode, synced and renamed over it. Where renaming would change the file
/// (other hard links, an owner or group we cannot give, a folder we may not write) the file is
/// written in place instead, after a synced safety copy of its old bytes in `safetyFolder`.
/// Every failure throws `Failure` with the system's own message.
class SafeFileWriter
{
public:
    /// The most bytes read or written in one call. The safety copy goes through one buffer of
    /// this size, so a save needs no more memory for a large file than for a small one.
    static constexpr qsizetype kPieceSize = 4 * 1024 * 1024;

    explicit SafeFileWriter(SystemCalls &calls, QByteArray safetyFolder = defaultSafetyFolder(),
                            qsizetype pieceSize = kPieceSize);

    void write(const QByteArray &path, const QByteArray &data);

    /// `$XDG_CACHE_HOME/brassfinch`, or `~/.cache/brassfinch`.
    static QByteArray defaultSafetyFolder();

private:
    class Descriptor;
    class CreatedFile;

    bool replace(const QByteArray &target, const struct stat *old, const QByteArray &data);
    void writeInPlace(const QByteArray &target, const QByteArray &data);
    void keepSafetyCopy(const QByteArray &name, int from, qint64 size, CreatedFile &copy);
    void restore(int fd, const QByteArray &copy, qint64 size);
    bool mayReplace(const QByteArray &target, const struct stat &info);
    int openRetrying(const QByteArray &path, int flags, mode_t mode);
    void createUnique(const QByteArray &stem, mode_t mode, CreatedFile &created);
    void writeAll(int fd, QByteArrayView data);
    void copyAll(int from, int to, qint64 sizeHint);
    void syncFolder(const QByteArray &folder);

    SystemCalls &m_calls;
    QByteArray m_safetyFolder;
    qsizetype m_pieceSize;
};

} // namespace platform
