#include "platform/filestamp.h"

#include "platform/filename.h"

#include <QCryptographicHash>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr qint64 kSecondNs = 1000 * 1000 * 1000;
// A file system that keeps whole seconds may round to two (FAT); one with finer times takes them
// from a clock that moves a tick of a few milliseconds at a time.
constexpr qint64 kCoarseGrainNs = 2 * kSecondNs;
constexpr qint64 kFineGrainNs = 20 * 1000 * 1000;
// Files up to this size are digested whole; larger ones by their two ends.
constexpr qint64 kWholeDigestSize = 16 * 1024 * 1024;
constexpr qint64 kEndDigestSize = 1024 * 1024;
constexpr qint64 kChunk = 1024 * 1024;

qint64 nanoseconds(const timespec &time)
{
    return qint64(time.tv_sec) * kSecondNs + time.tv_nsec;
}

qint64 nowNs()
{
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return nanoseconds(now);
}

// Adds [from, from + length) of the open file to the digest; false when a read fails.
bool digestRange(int descriptor, qint64 from, qint64 length, QCryptographicHash &hash)
{
    QByteArray chunk(std::min(length, kChunk), Qt::Uninitialized);
    while (length > 0) {
        const ssize_t got = ::pread(descriptor, chunk.data(), size_t(std::min<qint64>(length, chunk.size())), off_t(from));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        hash.addData(QByteArrayView(chunk.constData(), got));
        from += got;
        length -= got;
    }
    return true;
}

FileStamp stampFrom(const struct stat &info)
{
    FileStamp stamp;
    stamp.exists = true;
    stamp.regular = S_ISREG(info.st_mode);
    stamp.device = quint64(info.st_dev);
    stamp.inode = quint64(info.st_ino);
    stamp.size = qint64(info.st_size);
    stamp.modifiedNs = nanoseconds(info.st_mtim);
    return stamp;
}

} // namespace

bool FileStamp::isRacy() const
{
    if (!exists)
        return false;
    const qint64 grain = modifiedNs % kSecondNs == 0 ? kCoarseGrainNs : kFineGrainNs;
    // A time ahead of the clock (a file server's clock) is as uncertain as one just behind it.
    return takenNs - modifiedNs < grain;
}

FileStamp stampOf(const QString &path)
{
    const qint64 taken = nowNs();
    struct stat info {};
    FileStamp stamp = ::stat(encodeFileName(path).constData(), &info) == 0 ? stampFrom(info) : FileStamp();
    stamp.takenNs = taken;
    return stamp;
}

FileStamp stampOfOpenFile(int descriptor)
{
    const qint64 taken = nowNs();
    struct stat info {};
    FileStamp stamp = ::fstat(descriptor, &info) == 0 ? stampFrom(info) : FileStamp();
    stamp.takenNs = taken;
    return stamp;
}

QByteArray contentDigest(const QString &path)
{
    // Opened without waiting, and only a regular file is read: a pipe put in its place has no end.
    const int descriptor = ::open(encodeFileName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0)
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    struct stat info {};
    bool read = ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode);
    if (read) {
        const qint64 size = info.st_size;
        hash.addData(QByteArray::number(size));
        if (size <= kWholeDigestSize)
            read = digestRange(descriptor, 0, size, hash);
        else
            read = digestRange(descriptor, 0, kEndDigestSize, hash)
                   && digestRange(descriptor, size - kEndDigestSize, kEndDigestSize, hash);
    }
    ::close(descriptor);
    return read ? hash.result() : QByteArray();
}

} // namespace platform
