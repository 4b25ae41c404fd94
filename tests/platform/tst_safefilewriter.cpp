#include "platform/failure.h"
#include "platform/safefilewriter.h"
#include "platform/systemcalls.h"
#include "tests/support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::Failure;
using platform::WriteOutcome;

namespace {

enum class Fault { None, Error, Short, Interrupt, ErrorFromThenOn };

/// The real calls, but the call numbered `failAt` (counting from 0) fails as `fault` says.
class FaultyCalls final : public platform::SystemCalls
{
public:
    explicit FaultyCalls(int failAt = -1, Fault fault = Fault::None, int error = 0) : failAt(failAt), fault(fault), error(error) {}
    int open(const char *path, int flags, mode_t mode) override
    {
        if (strike("open"))
            return -1;
        const int fd = real.open(path, flags, mode);
        if (fd >= 0 && (flags & O_CREAT))
            created << QByteArray(path);
        return fd;
    }
    ssize_t read(int fd, void *buffer, size_t count) override
    {
        return strike("read") ? -1 : real.read(fd, buffer, shortened(count));
    }
    ssize_t write(int fd, const void *buffer, size_t count) override
    {
        return strike("write") ? -1 : real.write(fd, buffer, shortened(count));
    }
    int fsync(int fd) override { return strike("fsync") ? -1 : real.fsync(fd); }
    int close(int fd) override { return strike("close") ? (real.close(fd), -1) : real.close(fd); }
    int fstat(int fd, struct stat *info) override { return strike("fstat") ? -1 : real.fstat(fd, info); }
    int stat(const char *path, struct stat *info) override { return strike("stat") ? -1 : real.stat(path, info); }
    int lstat(const char *path, struct stat *info) override { return strike("lstat") ? -1 : real.lstat(path, info); }
    int access(const char *path, int mode) override
    {
        if (strike("access"))
            return -1;
        if (path == refused && (mode & W_OK)) { // as the system would judge it even for the superuser
            errno = EACCES;
            return -1;
        }
        return real.access(path, mode);
    }
    int realpath(const char *path, QByteArray &resolved) override { return strike("realpath") ? -1 : real.realpath(path, resolved); }
    int fchown(int fd, uid_t owner, gid_t group) override { return strike("fchown") ? -1 : real.fchown(fd, owner, group); }
    int fchmod(int fd, mode_t mode) override { return strike("fchmod") ? -1 : real.fchmod(fd, mode); }
    int ftruncate(int fd, off_t length) override { return strike("ftruncate") ? -1 : real.ftruncate(fd, length); }
    off_t lseek(int fd, off_t offset, int whence) override { return strike("lseek") ? -1 : real.lseek(fd, offset, whence); }
    int rename(const char *from, const char *to) override { return strike("rename") ? -1 : real.rename(from, to); }
    int unlink(const char *path) override { return strike("unlink") ? -1 : real.unlink(path); }
    int mkdir(const char *path, mode_t mode) override { return strike("mkdir") ? -1 : real.mkdir(path, mode); }
    int rmdir(const char *path) override { return strike("rmdir") ? -1 : real.rmdir(path); }

    QStringList trace;
    QList<int> alsoFailAt; ///< more calls that fail as `failAt` does
    QList<int> shortenAt; ///< reads and writes that take half the bytes
    size_t largest = 0; ///< the most bytes one read or write was asked for
    QByteArray refused; ///< a folder we may not write
    QList<QByteArray> created; ///< every file made
    const int failAt;
    const Fault fault;
    const int error;

private:
    /// True when this call fails; a short read or write instead goes on with half the bytes.
    bool strike(const char *name)
    {
        trace << QLatin1String(name);
        const int number = int(trace.size()) - 1;
        const bool hit = fault == Fault::ErrorFromThenOn ? number >= failAt
                                                         : number == failAt || alsoFailAt.contains(number);
        m_shorten = (hit && fault == Fault::Short) || shortenAt.contains(number);
        if (!hit || fault == Fault::Short)
            return false;
        errno = fault == Fault::Interrupt ? EINTR : error;
        return true;
    }

    size_t shortened(size_t count)
    {
        largest = std::max(largest, count);
        return m_shorten ? std::max<size_t>(1, count / 2) : count;
    }

    platform::PosixSystemCalls real;
    bool m_shorten = false;
};

struct stat statOf(const QString &path, bool followLink = true)
{
    struct stat info {};
    (followLink ? ::stat : ::lstat)(QFile::encodeName(path).constData(), &info);
    return info;
}

QString octal(mode_t mode) { return QString::number(mode, 8); }

QByteArray textOfSize(int size) { return QByteArray("abcdefghijklmnopqrstuvw").repeated(size / 23 + 1).left(size); }

/// A memory file system where there is one: the faults here are made, not met, and syncing a real
/// disk hundreds of times would only slow the table down.
QString scratchTemplate()
{
    const QFileInfo memory("/dev/shm");
    return (memory.isDir() && memory.isWritable() ? memory.filePath() : QDir::tempPath()) + "/safefilewriter-XXXXXX";
}

const QByteArray kOld = QByteArray("the old text\r\n").repeated(200);
/// Small enough that the old text takes three pieces.
constexpr qsizetype kSmallPiece = 1000;

/// A folder with `target.txt` holding the old text (and a second name for it, to force saving in
/// place), and an empty safety folder beside it.
struct Scene
{
    explicit Scene(bool secondName, const QString &name = QStringLiteral("target.txt")) : name(name)
    {
        writeFile(target(), kOld);
        if (secondName)
            QCOMPARE(::link(QFile::encodeName(target()).constData(), QFile::encodeName(other()).constData()), 0);
    }
    QString folder() const { return dir.filePath("folder"); }
    QString target() const { return folder() + '/' + name; }
    QString other() const { return dir.filePath("other.txt"); }
    QString safety() const { return dir.filePath("cache/brassfinch"); }
    QString runtime() const { return dir.filePath("runtime/brassfinch"); }
    QString beside() const { return folder() + '/' + platform::SafeFileWriter::kFolderBesideTarget; }
    /// The cache folder, a folder like the runtime one, and one beside the target.
    void offerEveryFolder()
    {
        folders = {QFile::encodeName(safety()), QFile::encodeName(runtime()), platform::SafeFileWriter::kFolderBesideTarget};
    }
    QByteArray save(platform::SystemCalls &calls, const QByteArray &text) // the failure's message, or null
    {
        try {
            outcome = platform::SafeFileWriter(calls, folders, piece).write(QFile::encodeName(target()), text, progress);
            return {};
        } catch (const Failure &failure) {
            return failure.message().toUtf8();
        }
    }
    QString name;
    qsizetype piece = platform::SafeFileWriter::kPieceSize;
    QTemporaryDir dir{scratchTemplate()};
    bool made = QDir(dir.path()).mkdir("folder");
    QList<QByteArray> folders{QFile::encodeName(safety())};
    platform::WriteProgress progress;
    platform::WriteOutcome outcome{};
};

/// The calls a clean save of `text` makes.
QStringList cleanTrace(bool inPlace, const QByteArray &text, qsizetype piece = platform::SafeFileWriter::kPieceSize)
{
    FaultyCalls clean;
    Scene scene(inPlace);
    scene.piece = piece;
    const QByteArray failure = scene.save(clean, text);
    return failure.isNull() ? clean.trace : QStringList{QString::fromUtf8(failure)};
}

/// Puts at `folder` what a private folder for the safety copy must not be: nothing (`how` empty),
/// a file, a link, a file above it, a folder of another user, one we may not write, or one of a mode.
void spoil(const QString &folder, const QString &how, FaultyCalls &calls)
{
    const QByteArray path = QFile::encodeName(folder);
    const QString above = QFileInfo(folder).path();
    if (how == "under a file")
        return writeFile(above, "not a folder");
    if (how.isEmpty())
        return;
    QVERIFY(QDir().mkpath(above));
    if (how == "file")
        return writeFile(folder, "not a folder");
    if (how == "link") { // to a private folder: only the link itself gives it away
        const QByteArray elsewhere = QFile::encodeName(above + "/elsewhere");
        QVERIFY(::mkdir(elsewhere.constData(), 0700) == 0 && ::symlink("elsewhere", path.constData()) == 0);
        return;
    }
    QVERIFY(QDir().mkdir(folder));
    if (how == "other user")
        QCOMPARE(::chown(path.constData(), 65534, 65534), 0);
    if (how == "not writable" && ::geteuid() == 0)
        calls.refused = path;
    const int mode = how == "other user" ? 0700 : how == "not writable" ? 0500 : how.toInt(nullptr, 8);
    QCOMPARE(::chmod(path.constData(), mode_t(mode)), 0);
}

} // namespace

Q_DECLARE_METATYPE(Fault)

class TestSafeFileWriter : public QObject
{
    Q_OBJECT

private slots:
    void everyFailingCallKeepsTheOldTextAndIsReported_data()
    {
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<int>("size");
        QTest::addColumn<qsizetype>("piece");
        QTest::addColumn<int>("failAt");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("committed"); // the new text is in place before the call fails
        QTest::addColumn<bool>("lastCall");
        const struct { const char *name; Fault fault; int error; } kinds[] = {
            {"ENOSPC", Fault::Error, ENOSPC}, {"EIO", Fault::Error, EIO}, {"EDQUOT", Fault::Error, EDQUOT},
            {"short", Fault::Short, 0}, {"EINTR", Fault::Interrupt, 0}};
        // With small pieces the old text, 2800 bytes, goes to the safety copy and back in three.
        const qsizetype whole = platform::SafeFileWriter::kPieceSize;
        const std::pair<int, qsizetype> sizes[] = {{0, whole}, {1, whole}, {4095, whole}, {4096, whole}, {16384, whole},
            {16385, whole}, {1024 * 1024, whole}, {1000, kSmallPiece}, {1001, kSmallPiece}, {3001, kSmallPiece}};
        for (const bool inPlace : {false, true}) {
            for (const auto &[size, piece] : sizes) {
                const QStringList calls = cleanTrace(inPlace, textOfSize(size), piece);
                const qsizetype commit = inPlace ? calls.lastIndexOf("fsync") : calls.indexOf("rename");
                QVERIFY2(commit > 0, qPrintable(calls.join(' ')));
                for (int call = 0; call < calls.size(); ++call) {
                    for (const auto &kind : kinds) {
                        if ((kind.fault == Fault::Short && !QStringList{"write", "read"}.contains(calls[call]))
                            || (kind.fault == Fault::Interrupt && !QStringList{"write", "read", "open"}.contains(calls[call])))
                            continue;
                        QTest::addRow("%s, %d bytes in pieces of %d, call %d (%s), %s", inPlace ? "in place" : "replaced", size,
                                      int(piece), call, qPrintable(calls[call]), kind.name)
                            << inPlace << size << piece << call << kind.fault << kind.error << (call > commit)
                            << (call == calls.size() - 1);
                    }
                }
            }
        }
    }
    void everyFailingCallKeepsTheOldTextAndIsReported()
    {
        QFETCH(bool, inPlace);
        QFETCH(int, size);
        QFETCH(qsizetype, piece);
        QFETCH(int, failAt);
        QFETCH(Fault, fault);
        QFETCH(int, error);
        QFETCH(bool, committed);
        QFETCH(bool, lastCall);
        Scene scene(inPlace);
        scene.piece = piece;
        const ino_t inode = statOf(scene.target()).st_ino;
        FaultyCalls calls(failAt, fault, error);
        const QByteArray text = textOfSize(size);
        const QByteArray failure = scene.save(calls, text);

        const bool fails = fault == Fault::Error;
        QVERIFY2(failure.isNull() != fails, failure.constData());
        if (fails)
            QVERIFY2(failure.contains(std::strerror(error)), failure.constData());
        QVERIFY2(readFile(scene.target()) == (committed || !fails ? text : kOld), "neither the old text nor the new");
        QCOMPARE(entries(scene.folder()), QStringList{"target.txt"});
        QCOMPARE_LE(calls.largest, size_t(piece)); // memory stays the same whatever the file's size
        // Only a copy that could not be removed after the text was saved stays, and the report names it.
        const QStringList copies = entries(scene.safety());
        QCOMPARE(copies.size(), inPlace && fails && lastCall ? 1 : 0);
        if (!copies.isEmpty()) {
            QVERIFY(failure.contains(QFile::encodeName(scene.safety() + '/' + copies.constFirst())));
            QCOMPARE(readFile(scene.safety() + '/' + copies.constFirst()), kOld);
        }
        if (inPlace) {
            QCOMPARE(statOf(scene.target()).st_ino, inode);
            QCOMPARE(statOf(scene.target()).st_nlink, nlink_t(2));
        }
    }

    void oldTextComesBackOrItsCopyIsNamed_data()
    {
        QTest::addColumn<int>("failAt");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("alsoFailAt");
        QTest::addColumn<int>("shortAt");
        // The new text cannot be written; the old goes back from its copy in three pieces.
        const QStringList clean = cleanTrace(true, "new", kSmallPiece);
        const int cut = int(clean.indexOf("ftruncate"));
        const int failAt = int(clean.indexOf("write", cut));
        QTest::newRow("the disk fails for good once the old text is cut") << cut + 1 << Fault::ErrorFromThenOn << -1 << -1;
        FaultyCalls once(failAt, Fault::Error, EIO);
        Scene scene(true);
        scene.piece = kSmallPiece;
        scene.save(once, "new");
        for (int call = failAt + 1; call < once.trace.size(); ++call)
            QTest::addRow("then call %d (%s) fails", call, qPrintable(once.trace[call])) << failAt << Fault::Error << call << -1;
        for (int call = 0; call < cut; ++call)
            if (clean[call] == "read")
                QTest::addRow("read %d of the old text was short", call) << failAt << Fault::Error << -1 << call;
    }
    void oldTextComesBackOrItsCopyIsNamed()
    {
        QFETCH(int, failAt);
        QFETCH(Fault, fault);
        QFETCH(int, alsoFailAt);
        QFETCH(int, shortAt);
        Scene scene(true);
        scene.piece = kSmallPiece;
        FaultyCalls calls(failAt, fault, EIO);
        calls.alsoFailAt = {alsoFailAt};
        calls.shortenAt = {shortAt};
        const QByteArray failure = scene.save(calls, "new");

        QVERIFY2(failure.contains(std::strerror(EIO)), failure.constData());
        const QStringList copies = entries(scene.safety());
        QCOMPARE(copies.size(), fault == Fault::ErrorFromThenOn ? 1 : int(copies.size()));
        if (copies.isEmpty()) {
            QCOMPARE(readFile(scene.target()), kOld);
        } else { // the only whole old text: it stays, named
            QCOMPARE(copies.size(), 1);
            const QString copy = scene.safety() + '/' + copies.constFirst();
            QCOMPARE(readFile(copy), kOld);
            QVERIFY2(failure.contains(QFile::encodeName(copy)), failure.constData());
        }
        QCOMPARE(entries(scene.folder()), QStringList{"target.txt"});
        QCOMPARE(octal(statOf(scene.safety()).st_mode & 0777), QString("700"));
    }

    void safetyCopyGoesToTheFirstPrivateFolder_data()
    {
        QTest::addColumn<QString>("cache"); // what is wrong with each folder, if anything
        QTest::addColumn<QString>("runtime");
        QTest::addColumn<QString>("beside");
        QTest::addColumn<QString>("taker"); // the folder that takes the copy; none: the save fails
        QTest::newRow("cache is a file") << "file" << "" << "" << "runtime";
        QTest::newRow("cache is a link to a private folder") << "link" << "" << "" << "runtime";
        QTest::newRow("cache is open to others") << "755" << "" << "" << "runtime";
        QTest::newRow("cache is readable by the group") << "740" << "" << "" << "runtime";
        QTest::newRow("cache is not writable") << "not writable" << "" << "" << "runtime";
        QTest::newRow("cache cannot be made") << "under a file" << "" << "" << "runtime";
        QTest::newRow("cache belongs to another user") << "other user" << "" << "" << "runtime";
        QTest::newRow("neither cache nor runtime folder is private") << "file" << "711" << "" << "beside";
        QTest::newRow("no folder is private") << "file" << "755" << "link" << "";
    }
    void safetyCopyGoesToTheFirstPrivateFolder()
    {
        QFETCH(QString, cache);
        QFETCH(QString, runtime);
        QFETCH(QString, beside);
        QFETCH(QString, taker);
        if (cache == "other user" && ::geteuid() != 0)
            QSKIP("Only the superuser can give a folder to another user.");
        Scene scene(true);
        scene.offerEveryFolder();
        FaultyCalls calls;
        spoil(scene.safety(), cache, calls);
        spoil(scene.runtime(), runtime, calls);
        spoil(scene.beside(), beside, calls);
        if (QTest::currentTestFailed())
            return;
        const mode_t before = statOf(scene.safety(), false).st_mode;
        const QByteArray failure = scene.save(calls, "new");

        if (taker.isEmpty()) {
            QCOMPARE(QString::fromUtf8(failure), "No folder could take the safety copy of the old text: " + scene.safety()
                         + ": Not a folder; " + scene.runtime() + ": Open to other users (mode 755); " + scene.beside()
                         + ": A symbolic link");
            QCOMPARE(readFile(scene.other()), kOld);
            QCOMPARE(calls.created, QList<QByteArray>());
            return;
        }
        QVERIFY2(failure.isNull(), failure.constData());
        QCOMPARE(readFile(scene.other()), QByteArray("new"));
        QCOMPARE(calls.created.size(), 1);
        const QByteArray copy = calls.created.constFirst();
        QVERIFY2(copy.startsWith(QFile::encodeName((taker == "runtime" ? scene.runtime() : scene.beside()) + '/')), copy.constData());
        // What was refused is left as it was; the folder beside the target goes once emptied.
        QCOMPARE(statOf(scene.safety(), false).st_mode, before);
        QCOMPARE(entries(scene.folder()), QStringList{"target.txt"});
        QCOMPARE(entries(scene.runtime()), QStringList());
        if (taker == "runtime")
            QCOMPARE(octal(statOf(scene.runtime()).st_mode & 07777), QString("700"));
    }

    void stopIsHonouredWhileTheOldFileIsWhole_data()
    {
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<bool>("besideTarget"); // where the safety copy goes
        QTest::addColumn<int>("stopAt"); // the progress call that first asks to stop
        for (const auto &[inPlace, besideTarget] : {std::pair{false, false}, {true, false}, {true, true}}) {
            Scene scene(inPlace);
            scene.piece = kSmallPiece;
            int told = 0;
            scene.progress = [&](qint64, qint64) {
                ++told;
                return true;
            };
            FaultyCalls clean;
            scene.save(clean, textOfSize(3001));
            for (int call = 0; call <= told; ++call)
                QTest::addRow("%s%s, %s", inPlace ? "in place" : "replaced", besideTarget ? ", copy beside the target" : "",
                              call < told ? qPrintable(QString("stop at call %1").arg(call)) : "never stopped")
                    << inPlace << besideTarget << call;
        }
    }
    void stopIsHonouredWhileTheOldFileIsWhole()
    {
        QFETCH(bool, inPlace);
        QFETCH(bool, besideTarget);
        QFETCH(int, stopAt);
        Scene scene(inPlace);
        scene.piece = kSmallPiece;
        if (besideTarget)
            scene.folders = {platform::SafeFileWriter::kFolderBesideTarget};
        FaultyCalls calls;
        QList<std::pair<qint64, qint64>> told;
        bool givenUp = false; // the old text was cut or replaced when the stop was first asked for
        scene.progress = [&](qint64 done, qint64 total) {
            if (told.size() == stopAt)
                givenUp = calls.trace.contains(inPlace ? "ftruncate" : "rename");
            told << std::pair{done, total};
            return told.size() <= stopAt;
        };
        const QByteArray text = textOfSize(3001);
        const QByteArray failure = scene.save(calls, text);

        QVERIFY2(failure.isNull(), failure.constData());
        const bool stopped = told.size() > stopAt && !givenUp;
        QCOMPARE(scene.outcome, stopped ? WriteOutcome::Stopped : WriteOutcome::Written);
        QCOMPARE(readFile(scene.target()), stopped ? kOld : text);
        if (stopped)
            QCOMPARE(told.size(), stopAt + 1); // at once
        QCOMPARE(entries(scene.folder()), QStringList{"target.txt"});
        QCOMPARE(entries(scene.safety()), QStringList());
        // The new text, and in place the copy of the old one before it, counted up to the total.
        const qint64 total = text.size() + (inPlace ? kOld.size() : 0);
        qint64 before = 0;
        for (const auto &[done, all] : told) {
            QVERIFY2(all == total && done >= before && done <= total,
                     qPrintable(QString("%1 of %2 after %3").arg(done).arg(all).arg(before)));
            before = done;
        }
        if (!stopped)
            QCOMPARE(before, total);
    }

    void savingKeepsWhatReplacingWouldChange_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind : {"hard link", "another user's file saved by root", "writable file in a read-only folder",
                                 "named pipe", "owner refused by the system", "longest name"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }
    void savingKeepsWhatReplacingWouldChange()
    {
        QFETCH(QString, kind);
        Scene scene(kind == "hard link", kind == "longest name" ? QString(NAME_MAX, 'n') : QStringLiteral("target.txt"));
        const QByteArray target = QFile::encodeName(scene.target());
        const QByteArray folder = QFile::encodeName(scene.folder());
        if (kind == "named pipe") {
            QVERIFY(QFile::remove(scene.target()));
            QCOMPARE(::mkfifo(target.constData(), 0644), 0);
        } else if (kind == "another user's file saved by root") {
            if (::geteuid() != 0)
                QSKIP("Only the superuser can give a file to another user.");
            QVERIFY(::chown(target.constData(), 65534, 65534) == 0 && ::chmod(target.constData(), 0640) == 0);
        } else if (kind == "writable file in a read-only folder") {
            QCOMPARE(::chmod(folder.constData(), 0555), 0);
        }
        const struct stat before = statOf(scene.target());
        // Where even the superuser may not give files away, the text goes in place instead.
        FaultyCalls calls(kind == "owner refused by the system" ? int(cleanTrace(false, "new text").indexOf("fchown")) : -1,
                          Fault::Error, EPERM);
        const QByteArray failure = scene.save(calls, "new text");
        ::chmod(folder.constData(), 0755);

        const struct stat after = statOf(scene.target());
        if (kind == "named pipe") {
            QCOMPARE(failure, QByteArray("Not a regular file"));
            QVERIFY(S_ISFIFO(after.st_mode));
            return;
        }
        QVERIFY2(failure.isNull(), failure.constData());
        QCOMPARE(readFile(scene.target()), QByteArray("new text"));
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_gid, before.st_gid);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(entries(scene.folder()), QStringList{scene.name});
        QCOMPARE(entries(scene.safety()), QStringList());
        if (kind == "hard link")
            QCOMPARE(readFile(scene.other()), QByteArray("new text"));
        if (kind == "hard link" || kind == "owner refused by the system")
            QCOMPARE(after.st_ino, before.st_ino);
    }

    void replacingKeepsTheModeAndHidesTheTextWhileWritten_data()
    {
        QTest::addColumn<int>("oldMode"); // -1: a new file
        QTest::addColumn<int>("umask");
        QTest::addColumn<int>("mode");
        QTest::newRow("group-readable, under a umask that cuts it") << 0640 << 077 << 0640;
        QTest::newRow("group-writable, under a umask that lets it be") << 0664 << 002 << 0664;
        QTest::newRow("set-user-id program") << 04755 << 022 << 04755;
        QTest::newRow("set-group-id program of our group") << 02775 << 022 << 02775;
        QTest::newRow("new file") << -1 << 022 << 0644;
        QTest::newRow("new file under a strict umask") << -1 << 077 << 0600;
    }
    void replacingKeepsTheModeAndHidesTheTextWhileWritten()
    {
        QFETCH(int, oldMode);
        QFETCH(int, umask);
        QFETCH(int, mode);
        Scene scene(false);
        const QByteArray target = QFile::encodeName(scene.target());
        QVERIFY(oldMode < 0 ? QFile::remove(scene.target())
                            : ::chown(target.constData(), ::geteuid(), ::getegid()) == 0
                                  && ::chmod(target.constData(), mode_t(oldMode)) == 0);
        // Whatever the old mode, the text lies in a file only we can read while it is written.
        FaultyCalls calls;
        QStringList whileWritten;
        scene.piece = 3; // "new text" goes in three pieces, two of them before it is whole
        scene.progress = [&](qint64 done, qint64 total) {
            for (const QString &name : entries(scene.folder()))
                if (name != scene.name && done < total)
                    whileWritten << octal(statOf(scene.folder() + '/' + name).st_mode & 07777);
            return true;
        };
        const mode_t kept = ::umask(mode_t(umask));
        const QByteArray failure = scene.save(calls, "new text");
        ::umask(kept);

        QVERIFY2(failure.isNull(), failure.constData());
        QCOMPARE(readFile(scene.target()), QByteArray("new text"));
        QCOMPARE(octal(statOf(scene.target()).st_mode & 07777), octal(mode_t(mode)));
        if (oldMode >= 0)
            QCOMPARE(whileWritten, QStringList(2, "600"));
    }

    void otherUsersSaveWithinTheirRights_data()
    {
        QTest::addColumn<uid_t>("folderOwner");
        QTest::addColumn<uid_t>("fileOwner");
        QTest::addColumn<int>("fileMode");
        QTest::addColumn<QByteArray>("outcome");
        const uid_t nobody = 65534;
        QTest::newRow("writable file in a folder it may not write") << uid_t(0) << nobody << 0644 << QByteArray("saved");
        QTest::newRow("another user's group-writable file") << nobody << uid_t(0) << 0664 << QByteArray("saved");
        QTest::newRow("read-only file") << nobody << nobody << 0444 << QByteArray("Permission denied");
    }
    void otherUsersSaveWithinTheirRights()
    {
        QFETCH(uid_t, folderOwner);
        QFETCH(uid_t, fileOwner);
        QFETCH(int, fileMode);
        QFETCH(QByteArray, outcome);
        const QString setpriv = QStandardPaths::findExecutable("setpriv");
        if (::geteuid() != 0 || setpriv.isEmpty())
            QSKIP("Running as another user needs the superuser and setpriv.");
        // Everything the other user meets lies in a scratch folder that user can reach.
        QTemporaryDir base("/tmp/savefile-XXXXXX");
        const QString program = base.filePath("savefile"), folder = base.filePath("folder"), cache = base.filePath("cache");
        const QString target = folder + "/target.txt";
        QVERIFY(QFile::copy(SAVE_FILE_PROGRAM, program) && QDir().mkdir(folder) && QDir().mkdir(cache));
        writeFile(target, kOld);
        const auto give = [](const QString &path, uid_t owner, mode_t mode) {
            return ::chown(QFile::encodeName(path).constData(), owner, 65534) == 0
                && ::chmod(QFile::encodeName(path).constData(), mode) == 0;
        };
        QVERIFY(give(base.path(), 0, 0755) && give(program, 0, 0755) && give(cache, 65534, 0700)
                && give(folder, folderOwner, 0755) && give(target, fileOwner, mode_t(fileMode)));
        const struct stat before = statOf(target);

        QProcess run;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CACHE_HOME", cache);
        environment.remove("XDG_RUNTIME_DIR");
        run.setProcessEnvironment(environment);
        run.start(setpriv, {"--reuid=65534", "--regid=65534", "--clear-groups", program, target, "new text"});
        QVERIFY(run.waitForFinished(30000));
        QCOMPARE(run.readAllStandardOutput().trimmed(), outcome);

        const struct stat after = statOf(target);
        QCOMPARE(readFile(target), outcome == "saved" ? QByteArray("new text") : kOld);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(entries(folder), QStringList{"target.txt"});
        QCOMPARE(entries(cache + "/brassfinch").size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSafeFileWriter)
#include "tst_safefilewriter.moc"
