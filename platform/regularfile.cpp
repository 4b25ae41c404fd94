#include "platform/regularfile.h"

#include "platform/failure.h"
#include "platform/filename.h"

#include <QFile>
#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

[[noreturn]] void failWithErrno()
{
    throw Failure(QString::fromLocal8Bit(std::strerror(errno)));
}

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe");
    if (S_ISCHR(mode))
        return QStringLiteral("a character device");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("something else");
}

void refuseUnlessRegular(mode_t mode, RegularFile::Pipes pipes = RegularFile::Pipes::Refused)
{
    if (!S_ISREG(mode) && !(S_ISFIFO(mode) && pipes == RegularFile::Pipes::Read))
        throw Failure(QStringLiteral("Is %1, not a regular file.").arg(kindOf(mode)));
}

// How long a wait on a pipe lasts before the reader looks whether it should stop.
constexpr int kPipeWaitMs = 50;

[[noreturn]] void failTooLarge(qint64 sizeLimit)
{
    throw Failure(QStringLiteral("The file is larger than %1, too large to read.")
                      .arg(QLocale::c().formattedDataSize(sizeLimit)));
}

} // namespace

RegularFile::RegularFile(const QString &path, Pipes pipes)
{
    const QByteArray name = encodeFileName(path);
    // Looked at first, so that no device is ever opened; looked at again through the descriptor,
    // in case the name was swapped meanwhile. Opening without waiting returns at once for a pipe
    // that has no writer.
    struct stat info {};
    if (::stat(name.constData(), &info) == 0)
        refuseUnlessRegular(info.st_mode, pipes);
    m_descriptor = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (m_descriptor < 0)
        failWithErrno();
    if (::fstat(m_descriptor, &info) != 0) {
        const int error = errno;
        ::close(m_descriptor);
        errno = error;
        failWithErrno();
    }
    if (!S_ISREG(info.st_mode) && !(S_ISFIFO(info.st_mode) && pipes == Pipes::Read)) {
        ::close(m_descriptor);
        refuseUnlessRegular(info.st_mode);
    }
    m_pipe = S_ISFIFO(info.st_mode);
    // Reads from a regular file wait for the disk as usual; a pipe is waited on in `read`.
    if (!m_pipe)
        ::fcntl(m_descriptor, F_SETFL, ::fcntl(m_descriptor, F_GETFL) & ~O_NONBLOCK);
    m_size = m_pipe ? 0 : info.st_size;
    m_name = name;
    m_opened = info;
}

RegularFile::Change RegularFile::changeSinceOpened() const
{
    if (m_pipe)
        return Change::None;
    struct stat now {};
    struct stat named {};
    if (::fstat(m_descriptor, &now) != 0 || ::stat(m_name.constData(), &named) != 0
        || named.st_ino != m_opened.st_ino || named.st_dev != m_opened.st_dev || now.st_size < m_opened.st_size)
        return Change::Other;
    if (now.st_size > m_opened.st_size)
        return Change::Grew;
    const bool sameTime = now.st_mtim.tv_sec == m_opened.st_mtim.tv_sec && now.st_mtim.tv_nsec == m_opened.st_mtim.tv_nsec;
    return sameTime ? Change::None : Change::Other;
}

FileStamp RegularFile::stamp() const
{
    return stampOfOpenFile(m_descriptor);
}

QByteArray RegularFile::bytesAt(qint64 offset, qint64 count) const
{
    QByteArray bytes(count, Qt::Uninitialized);
    qint64 got = 0;
    while (got < count) {
        const ssize_t n = ::pread(m_descriptor, bytes.data() + got, size_t(count - got), off_t(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    bytes.truncate(got);
    return bytes;
}

RegularFile::~RegularFile()
{
    ::close(m_descriptor);
}

qint64 RegularFile::read(char *data, qint64 capacity, const std::atomic<bool> *stop)
{
    for (;;) {
        if (m_pipe) {
            // Until a writer has come and gone, a pipe without data is no end: wait for either,
            // a little at a time.
            if (stop && *stop)
                return 0;
            pollfd waiting{m_descriptor, POLLIN, 0};
            const int ready = ::poll(&waiting, 1, kPipeWaitMs);
            if (ready < 0 && errno != EINTR)
                failWithErrno();
            if (ready <= 0)
                continue;
        }
        const ssize_t got = ::read(m_descriptor, data, static_cast<size_t>(capacity));
        if (got >= 0)
            return got;
        if (errno != EINTR && errno != EAGAIN)
            failWithErrno();
    }
}

bool isFolder(const QString &path)
{
    struct stat info {};
    return ::stat(encodeFileName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

QByteArray readRegularFile(const QString &path, qint64 sizeLimit)
{
    RegularFile file(path);
    if (file.size() > sizeLimit)
        failTooLarge(sizeLimit);
    // One byte more than the limit allows shows a file that grew, or gave no size, past it.
    QByteArray data(std::min(file.size(), sizeLimit) + 1, Qt::Uninitialized);
    qint64 used = 0;
    for (;;) {
        if (used == data.size()) {
            if (used > sizeLimit)
                failTooLarge(sizeLimit);
            data.resize(std::min(used * 2, sizeLimit + 1));
        }
        const qint64 got = file.read(data.data() + used, data.size() - used);
        if (got == 0)
            break;
        used += got;
    }
    if (used > sizeLimit)
        failTooLarge(sizeLimit);
    data.truncate(used);
    return data;
}

void refuseIrregularFile(const QString &path, qint64 sizeLimit)
{
    struct stat info {};
    if (::stat(encodeFileName(path).constData(), &info) != 0)
        return;
    refuseUnlessRegular(info.st_mode);
    if (info.st_size > sizeLimit)
        failTooLarge(sizeLimit);
}

} // namespace platform
