#pragma once

#include "systemcalls.h"

#include <QByteArray>

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
    explicit SafeFileWriter(SystemCalls &calls, QByteArray safetyFolder = defaultSafetyFolder());

    void write(const QByteArray &path, const QByteArray &data);

    /// `$XDG_CACHE_HOME/brassfinch`, or `~/.cache/brassfinch`.
    static QByteArray defaultSafetyFolder();

private:
    bool replace(const QByteArray &target, const struct stat *old, const QByteArray &data);
    void writeInPlace(const QByteArray &target, const QByteArray &data);
    QByteArray keepSafetyCopy(const QByteArray &name, const QByteArray &old);
    bool mayReplace(const QByteArray &target, const struct stat &info);
    int openRetrying(const QByteArray &path, int flags, mode_t mode);
    int createUnique(const QByteArray &stem, mode_t mode, QByteArray &created);
    void writeAll(int fd, const QByteArray &data);
    QByteArray readAll(int fd, qint64 expected);
    void syncFolder(const QByteArray &folder);

    SystemCalls &m_calls;
    QByteArray m_safetyFolder;
};

} // namespace platform
