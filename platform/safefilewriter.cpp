#include "platform/safefilewriter.h"

#include "platform/failure.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

QString systemMessage(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

[[noreturn]] void fail(int error)
{
    throw Failure(systemMessage(error));
}

/// Once the new text has replaced the old, a later failure must still be told, but not as a loss.
[[noreturn]] void failAfterCommit(int error)
{
    throw Failure(QStringLiteral("The text was written, but it may not be on disk yet: ") + systemMessage(error));
}

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

/// The start of the file's name, for the names of the temporary file and the safety copy, short
/// enough to leave room for their endings within the longest name a folder takes.
QByteArray nameOf(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1).left(200);
}

bool inOurGroups(gid_t group)
{
    if (group == ::getegid())
        return true;
    gid_t groups[256];
    const int count = ::getgroups(256, groups);
    return std::find(groups, groups + std::max(count, 0), group) != groups + std::max(count, 0);
}

} // namespace

SafeFileWriter::SafeFileWriter(SystemCalls &calls, QByteArray safetyFolder)
    : m_calls(calls), m_safetyFolder(std::move(safetyFolder))
{
}

QByteArray SafeFileWriter::defaultSafetyFolder()
{
    QByteArray base = qgetenv("XDG_CACHE_HOME");
    if (!base.startsWith('/'))
        base = qgetenv("HOME") + "/.cache";
    return base + "/brassfinch";
}

void SafeFileWriter::write(const QByteArray &path, const QByteArray &data)
{
    if (path.isEmpty())
        fail(ENOENT);
    struct stat info {};
    if (m_calls.stat(path.constData(), &info) != 0) {
        if (errno != ENOENT)
            fail(errno);
        replace(path, nullptr, data); // a new file
        return;
    }
    // Opening a named pipe or a device for writing could block or never end: refuse at once.
    if (S_ISDIR(info.st_mode))
        fail(EISDIR);
    if (!S_ISREG(info.st_mode))
        throw Failure(QStringLiteral("Not a regular file"));
    // Saving through a symbolic link writes its target and keeps the link.
    QByteArray target;
    if (m_calls.realpath(path.constData(), target) != 0)
        fail(errno);
    // Renaming needs no write permission on the old file: ask, so a read-only file is refused.
    if (m_calls.access(target.constData(), W_OK) != 0)
        fail(errno);
    if (!mayReplace(target, info) || !replace(target, &info, data))
        writeInPlace(target, data);
}

bool SafeFileWriter::mayReplace(const QByteArray &target, const struct stat &info)
{
    if (info.st_nlink > 1)
        return false; // a new file would split it from its other names
    const uid_t self = ::geteuid();
    if (self != 0 && (info.st_uid != self || !inOurGroups(info.st_gid)))
        return false; // a new file would belong to us
    if (m_calls.access(folderOf(target).constData(), W_OK | X_OK) != 0) {
        if (errno != EACCES)
            fail(errno);
        return false; // the file is writable, its folder is not
    }
    return true;
}

bool SafeFileWriter::replace(const QByteArray &target, const struct stat *old, const QByteArray &data)
{
    const QByteArray folder = folderOf(target);
    QByteArray temporary;
    // Until the text is whole, only we may read it: the old mode could let others see a part, and
    // set-id bits on a half-written program would be worse. A new file is made as usual, 0666
    // under the umask.
    const int fd = createUnique(folder + "/." + nameOf(target), old ? 0600 : 0666, temporary);
    bool ownerKept = true;
    try {
        writeAll(fd, data);
        if (old) {
            if (m_calls.fchown(fd, old->st_uid, old->st_gid) != 0) {
                if (errno != EPERM)
                    fail(errno);
                ownerKept = false;
            }
            // After the owner, which may clear the set-id bits, and never cut by the umask.
            if (ownerKept && m_calls.fchmod(fd, old->st_mode & 07777) != 0)
                fail(errno);
        }
        if (ownerKept && m_calls.fsync(fd) != 0)
            fail(errno);
    } catch (const Failure &) {
        m_calls.close(fd);
        m_calls.unlink(temporary.constData());
        throw;
    }
    const int closed = m_calls.close(fd);
    const int closeError = errno;
    if (!ownerKept || closed != 0 || m_calls.rename(temporary.constData(), target.constData()) != 0) {
        const int error = closed != 0 ? closeError : errno;
        m_calls.unlink(temporary.constData());
        if (!ownerKept)
            return false;
        fail(error);
    }
    syncFolder(folder);
    return true;
}

void SafeFileWriter::syncFolder(const QByteArray &folder)
{
    const int fd = openRetrying(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0)
        failAfterCommit(errno);
    if (m_calls.fsync(fd) != 0) {
        const int error = errno;
        m_calls.close(fd);
        failAfterCommit(error);
    }
    if (m_calls.close(fd) != 0)
        failAfterCommit(errno);
}

void SafeFileWriter::writeInPlace(const QByteArray &target, const QByteArray &data)
{
    // O_NONBLOCK: should the name have become a pipe since it was looked at, opening still returns.
    const int fd = openRetrying(target, O_RDWR | O_NONBLOCK | O_CLOEXEC, 0);
    if (fd < 0)
        fail(errno);
    QByteArray old;
    QByteArray copy;
    try {
        struct stat info {};
        if (m_calls.fstat(fd, &info) != 0)
            fail(errno);
        if (!S_ISREG(info.st_mode))
            throw Failure(QStringLiteral("Not a regular file"));
        old = readAll(fd, info.st_size);
        copy = keepSafetyCopy(nameOf(target), old);
    } catch (const Failure &) {
        m_calls.close(fd);
        throw;
    }
    auto rewrite = [&](const QByteArray &text) {
        if (m_calls.ftruncate(fd, 0) != 0 || m_calls.lseek(fd, 0, SEEK_SET) != 0)
            fail(errno);
        writeAll(fd, text);
        if (m_calls.fsync(fd) != 0)
            fail(errno);
    };
    try {
        rewrite(data);
    } catch (const Failure &failure) {
        try {
            rewrite(old);
        } catch (const Failure &) {
            m_calls.close(fd);
            throw Failure(failure.message() + QStringLiteral(". The old text is kept in ")
                          + QFile::decodeName(copy));
        }
        m_calls.close(fd);
        m_calls.unlink(copy.constData());
        throw;
    }
    // The text is synced: the copy goes even if closing fails, and only then is that told.
    const int closed = m_calls.close(fd);
    const int closeError = errno;
    if (m_calls.unlink(copy.constData()) != 0)
        throw Failure(QStringLiteral("The text was saved, but its safety copy %1 could not be removed: %2")
                          .arg(QFile::decodeName(copy), systemMessage(errno)));
    if (closed != 0)
        failAfterCommit(closeError);
}

QByteArray SafeFileWriter::keepSafetyCopy(const QByteArray &name, const QByteArray &old)
{
    // The cache folder may not exist yet, nor the folder above it.
    for (const QByteArray &folder : {folderOf(m_safetyFolder), m_safetyFolder})
        if (m_calls.mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
            fail(errno);
    QByteArray copy;
    const int fd = createUnique(m_safetyFolder + '/' + name, 0600, copy);
    try {
        writeAll(fd, old);
        if (m_calls.fsync(fd) != 0)
            fail(errno);
    } catch (const Failure &) {
        m_calls.close(fd);
        m_calls.unlink(copy.constData());
        throw;
    }
    if (m_calls.close(fd) != 0) {
        const int error = errno;
        m_calls.unlink(copy.constData());
        fail(error);
    }
    return copy;
}

int SafeFileWriter::openRetrying(const QByteArray &path, int flags, mode_t mode)
{
    int fd;
    do
        fd = m_calls.open(path.constData(), flags, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

int SafeFileWriter::createUnique(const QByteArray &stem, mode_t mode, QByteArray &created)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        created = stem + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        const int fd = openRetrying(created, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST)
            fail(errno);
    }
    fail(EEXIST);
}

void SafeFileWriter::writeAll(int fd, const QByteArray &data)
{
    // A write may take fewer bytes than offered without an error; only -1 is one.
    const char *next = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t written = m_calls.write(fd, next, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            fail(written < 0 ? errno : ENOSPC);
        next += written;
        left -= written;
    }
}

QByteArray SafeFileWriter::readAll(int fd, qint64 expected)
{
    // Room for the whole file and one byte more, so one call reads it and the next meets its end.
    QByteArray text;
    QByteArray buffer(qsizetype(std::clamp<qint64>(expected + 1, 1, 64 * 1024 * 1024)), Qt::Uninitialized);
    for (;;) {
        const ssize_t got = m_calls.read(fd, buffer.data(), size_t(buffer.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            fail(errno);
        if (got == 0)
            return text;
        text.append(buffer.constData(), got);
    }
}

} // namespace platform
