// A save, in order:
//  1. Look at the path: nothing there (a new file), a regular file (through any link), or refused
//     at once, before anything could block on a pipe or a device.
//  2. Replace, where a new file can stand for the old one: a temporary file beside it, readable
//     only by us, takes the text piece by piece, then the old owner and group, then the old mode;
//     it is synced and renamed over the target, and the folder is synced.
//  3. Otherwise in place: the old bytes are streamed to a safety copy in the first private folder
//     that takes it, and synced; the file is cut and takes the new text, and is synced. Should
//     that fail, the old bytes go back from the copy. The copy goes once the text is on disk.
// The caller's progress is told after each piece; a stop it asks for is honoured up to the rename
// or the cut, after which the save only goes on to its end.

#include "platform/safefilewriter.h"

#include "platform/failure.h"
#include "platform/filename.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>
#include <utility>

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

/// A descriptor of ours: closed when it goes, unless closed before with the answer looked at.
class SafeFileWriter::Descriptor
{
public:
    Descriptor(SystemCalls &calls, int fd) : m_calls(calls), m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            m_calls.close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }
    void take(int fd) { m_fd = fd; }
    /// Closes now; close's answer, with `errno` as it left it.
    int close() { return m_calls.close(std::exchange(m_fd, -1)); }

private:
    SystemCalls &m_calls;
    int m_fd;
};

/// A file this save made: closed and removed when it goes, unless it was given up first (renamed
/// over the target, or kept because it holds the only whole old text).
class SafeFileWriter::CreatedFile
{
public:
    explicit CreatedFile(SystemCalls &calls) : m_calls(calls), m_descriptor(calls, -1) {}
    ~CreatedFile()
    {
        if (m_descriptor.get() >= 0)
            m_descriptor.close();
        if (!m_path.isEmpty())
            m_calls.unlink(m_path.constData());
    }
    CreatedFile(const CreatedFile &) = delete;
    CreatedFile &operator=(const CreatedFile &) = delete;

    void take(int fd, const QByteArray &path)
    {
        m_descriptor.take(fd);
        m_path = path;
    }
    int fd() const { return m_descriptor.get(); }
    const QByteArray &path() const { return m_path; }
    int close() { return m_descriptor.close(); }
    void giveUp() { m_path.clear(); }
    /// Removes the file now, once: unlink's answer.
    int remove() { return m_calls.unlink(std::exchange(m_path, QByteArray()).constData()); }

private:
    SystemCalls &m_calls;
    Descriptor m_descriptor;
    QByteArray m_path;
};

/// The safety copy's folder when it lies beside the target: removed when it goes, which only
/// happens once the copy is gone from it.
class SafeFileWriter::EmptiedFolder
{
public:
    explicit EmptiedFolder(SystemCalls &calls) : m_calls(calls) {}
    ~EmptiedFolder()
    {
        if (!m_path.isEmpty())
            m_calls.rmdir(m_path.constData());
    }
    EmptiedFolder(const EmptiedFolder &) = delete;
    EmptiedFolder &operator=(const EmptiedFolder &) = delete;

    void take(const QByteArray &path) { m_path = path; }

private:
    SystemCalls &m_calls;
    QByteArray m_path;
};

/// The caller's progress, and whether a stop it asks for still counts.
class SafeFileWriter::Progress
{
public:
    Progress(const WriteProgress &told, qint64 total) : m_told(told), m_total(total) {}

    /// Tells `done` bytes of the total; false when a stop is asked for and may still be made.
    bool goOn(qint64 done) { return (!m_told || m_told(done, m_total)) || m_committed; }
    /// The old text is given up from here on: the save can only go through.
    void commit() { m_committed = true; }

private:
    const WriteProgress &m_told;
    const qint64 m_total;
    bool m_committed = false;
};

SafeFileWriter::SafeFileWriter(SystemCalls &calls, QList<QByteArray> safetyFolders, qsizetype pieceSize)
    : m_calls(calls), m_safetyFolders(std::move(safetyFolders)), m_pieceSize(std::max<qsizetype>(pieceSize, 1))
{
}

QList<QByteArray> SafeFileWriter::defaultSafetyFolders()
{
    QByteArray cache = qgetenv("XDG_CACHE_HOME");
    if (!cache.startsWith('/'))
        cache = qgetenv("HOME") + "/.cache";
    QList<QByteArray> folders{cache + "/brassfinch"};
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/'))
        folders << runtime + "/brassfinch";
    folders << QByteArray(kFolderBesideTarget);
    return folders;
}

WriteOutcome SafeFileWriter::write(const QByteArray &path, TextPieces data, const WriteProgress &progress)
{
    if (path.isEmpty())
        fail(ENOENT);
    struct stat info {};
    if (m_calls.stat(path.constData(), &info) != 0) {
        if (errno != ENOENT)
            fail(errno);
        return *replace(path, nullptr, data, progress); // a new file, which has no owner to keep
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
    if (mayReplace(target, info))
        if (const std::optional<WriteOutcome> outcome = replace(target, &info, data, progress))
            return *outcome;
    return writeInPlace(target, data, progress);
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

std::optional<WriteOutcome> SafeFileWriter::replace(const QByteArray &target, const struct stat *old,
                                                    TextPieces data, const WriteProgress &told)
{
    const QByteArray folder = folderOf(target);
    const qint64 size = sizeOf(data);
    Progress progress(told, size);
    CreatedFile temporary(m_calls);
    // Until the text is whole, only we may read it: the old mode could let others see a part, and
    // set-id bits on a half-written program would be worse. A new file is made as usual, 0666
    // under the umask.
    createUnique(folder + "/." + nameOf(target), old ? 0600 : 0666, temporary);
    if (!writePieces(temporary.fd(), data, progress, 0))
        return WriteOutcome::Stopped;
    if (old) {
        if (m_calls.fchown(temporary.fd(), old->st_uid, old->st_gid) != 0) {
            if (errno != EPERM)
                fail(errno);
            return std::nullopt; // the text goes in place, where it keeps its owner
        }
        // After the owner, which may clear the set-id bits, and never cut by the umask.
        if (m_calls.fchmod(temporary.fd(), old->st_mode & 07777) != 0)
            fail(errno);
    }
    if (m_calls.fsync(temporary.fd()) != 0)
        fail(errno);
    // Asked once more now that the disk has it: a sync can take long, and a stop still costs nothing.
    if (!progress.goOn(size))
        return WriteOutcome::Stopped;
    if (temporary.close() != 0 || m_calls.rename(temporary.path().constData(), target.constData()) != 0)
        fail(errno);
    temporary.giveUp();
    syncFolder(folder);
    return WriteOutcome::Written;
}

void SafeFileWriter::syncFolder(const QByteArray &folder)
{
    Descriptor fd(m_calls, openRetrying(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
    if (fd.get() < 0 || m_calls.fsync(fd.get()) != 0 || fd.close() != 0)
        failAfterCommit(errno);
}

WriteOutcome SafeFileWriter::writeInPlace(const QByteArray &target, TextPieces data, const WriteProgress &told)
{
    // O_NONBLOCK: should the name have become a pipe since it was looked at, opening still returns.
    Descriptor file(m_calls, openRetrying(target, O_RDWR | O_NONBLOCK | O_CLOEXEC, 0));
    if (file.get() < 0)
        fail(errno);
    struct stat info {};
    if (m_calls.fstat(file.get(), &info) != 0)
        fail(errno);
    if (!S_ISREG(info.st_mode))
        throw Failure(QStringLiteral("Not a regular file"));
    // The copy counts: for a large file it takes as long as the new text.
    Progress progress(told, info.st_size + sizeOf(data));
    EmptiedFolder beside(m_calls); // declared first, so it goes after the copy in it
    CreatedFile copy(m_calls);
    // Asked once more when the copy is synced, for the same reason as before a rename.
    if (!keepSafetyCopy(target, file.get(), info.st_size, progress, beside, copy) || !progress.goOn(info.st_size))
        return WriteOutcome::Stopped;
    // From the cut on, the whole old text is only in the copy, and a stop no longer counts.
    progress.commit();
    try {
        if (m_calls.ftruncate(file.get(), 0) != 0 || m_calls.lseek(file.get(), 0, SEEK_SET) != 0)
            fail(errno);
        writePieces(file.get(), data, progress, info.st_size);
        if (m_calls.fsync(file.get()) != 0)
            fail(errno);
    } catch (const Failure &failure) {
        try {
            restore(file.get(), copy.path(), info.st_size);
        } catch (const Failure &) {
            const QString kept = decodeFileName(copy.path());
            copy.giveUp();
            throw Failure(failure.message() + QStringLiteral(". The old text is kept in ") + kept);
        }
        const QString name = decodeFileName(copy.path());
        if (copy.remove() != 0)
            throw Failure(failure.message()
                          + QStringLiteral(". The old text is back, but its safety copy %1 could not be removed: %2")
                                .arg(name, systemMessage(errno)));
        throw;
    }
    // The text is synced: the copy goes even if closing fails, and only then is that told.
    const int closed = file.close();
    const int closeError = errno;
    const QString name = decodeFileName(copy.path());
    if (copy.remove() != 0)
        throw Failure(QStringLiteral("The text was saved, but its safety copy %1 could not be removed: %2")
                          .arg(name, systemMessage(errno)));
    if (closed != 0)
        failAfterCommit(closeError);
    return WriteOutcome::Written;
}

bool SafeFileWriter::keepSafetyCopy(const QByteArray &target, int from, qint64 size, Progress &progress,
                                    EmptiedFolder &beside, CreatedFile &copy)
{
    createUnique(safetyFolderFor(target, beside) + '/' + nameOf(target), 0600, copy);
    if (!copyAll(from, copy.fd(), size, &progress))
        return false;
    // Closed before the old text is touched: a late write error on close is still in time.
    if (m_calls.fsync(copy.fd()) != 0 || copy.close() != 0)
        fail(errno);
    return true;
}

QByteArray SafeFileWriter::safetyFolderFor(const QByteArray &target, EmptiedFolder &beside)
{
    QStringList refusals;
    for (const QByteArray &candidate : m_safetyFolders) {
        const bool besideTarget = !candidate.startsWith('/');
        const QByteArray folder = besideTarget ? folderOf(target) + '/' + candidate : candidate;
        const QString why = whyNotPrivate(folder);
        if (why.isEmpty()) {
            if (besideTarget)
                beside.take(folder);
            return folder;
        }
        refusals << decodeFileName(folder) + QStringLiteral(": ") + why;
    }
    throw Failure(QStringLiteral("No folder could take the safety copy of the old text: ")
                  + refusals.join(QStringLiteral("; ")));
}

QString SafeFileWriter::whyNotPrivate(const QByteArray &folder)
{
    // Made if missing, and the folder above it too: `~/.cache` may not exist yet either.
    for (const QByteArray &each : {folderOf(folder), folder})
        if (m_calls.mkdir(each.constData(), 0700) != 0 && errno != EEXIST)
            return systemMessage(errno);
    // The folder itself, not what a link there names: whoever could put the link there could
    // point it at a folder where others read the old text.
    struct stat info {};
    if (m_calls.lstat(folder.constData(), &info) != 0)
        return systemMessage(errno);
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("A symbolic link");
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("Not a folder");
    if (info.st_uid != ::geteuid())
        return QStringLiteral("Owned by another user");
    if (info.st_mode & 077)
        return QStringLiteral("Open to other users (mode %1)").arg(info.st_mode & 0777, 3, 8, QLatin1Char('0'));
    if (m_calls.access(folder.constData(), W_OK | X_OK) != 0)
        return systemMessage(errno);
    return {};
}

void SafeFileWriter::restore(int fd, const QByteArray &copy, qint64 size)
{
    Descriptor source(m_calls, openRetrying(copy, O_RDONLY | O_CLOEXEC, 0));
    if (source.get() < 0 || m_calls.ftruncate(fd, 0) != 0 || m_calls.lseek(fd, 0, SEEK_SET) != 0)
        fail(errno);
    copyAll(source.get(), fd, size, nullptr);
    if (m_calls.fsync(fd) != 0)
        fail(errno);
    // Closing what was only read tells nothing of the bytes: the source closes unasked.
}

int SafeFileWriter::openRetrying(const QByteArray &path, int flags, mode_t mode)
{
    int fd;
    do
        fd = m_calls.open(path.constData(), flags, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

void SafeFileWriter::createUnique(const QByteArray &stem, mode_t mode, CreatedFile &created)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray path = stem + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        const int fd = openRetrying(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0)
            return created.take(fd, path);
        if (errno != EEXIST)
            fail(errno);
    }
    fail(EEXIST);
}

bool SafeFileWriter::writePieces(int fd, TextPieces data, Progress &progress, qint64 before)
{
    qint64 done = before;
    for (const QByteArrayView stretch : data) {
        for (qsizetype at = 0; at < stretch.size(); at += m_pieceSize) {
            const QByteArrayView piece = stretch.sliced(at, std::min(m_pieceSize, stretch.size() - at));
            writeAll(fd, piece);
            done += piece.size();
            if (!progress.goOn(done))
                return false;
        }
    }
    return true;
}

void SafeFileWriter::writeAll(int fd, QByteArrayView data)
{
    // A write may take fewer bytes than offered without an error; only -1 is one.
    const char *next = data.data();
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

bool SafeFileWriter::copyAll(int from, int to, qint64 size, Progress *progress)
{
    // Room for a small file and one byte more, so one call reads it and the next meets its end;
    // a larger one goes piece by piece through the same buffer.
    QByteArray buffer(qsizetype(std::clamp<qint64>(size + 1, 1, m_pieceSize)), Qt::Uninitialized);
    qint64 copied = 0;
    for (;;) {
        const ssize_t got = m_calls.read(from, buffer.data(), size_t(buffer.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            fail(errno);
        if (got == 0)
            return true;
        writeAll(to, QByteArrayView(buffer.constData(), got));
        copied += got;
        // `size` is what the file had when it was looked at: the total told stays true.
        if (progress && !progress->goOn(std::min(copied, size)))
            return false;
    }
}

} // namespace platform
