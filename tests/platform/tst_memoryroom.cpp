#include "platform/memoryroom.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <functional>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using platform::MemoryBound;
using Files = QMap<QString, QByteArray>;

namespace {

constexpr qint64 MiB = 1024 * 1024;
constexpr qint64 GiB = 1024 * MiB;
const QString kApp = QStringLiteral("/sys/fs/cgroup/user.slice/app.scope/");
const QString kSlice = QStringLiteral("/sys/fs/cgroup/user.slice/");

/// A system as its files and its two limits describe it.
struct FakeSources final : platform::MemorySources
{
    FakeSources(Files files, std::optional<qint64> addressSpace, std::optional<qint64> data) : files(std::move(files)), addressSpace(addressSpace), data(data) {}
    Files files;
    std::optional<qint64> addressSpace, data;
    QByteArray read(const QString &path) const override { return files.value(path); }
    std::optional<qint64> limit(Limit which) const override { return which == Limit::AddressSpace ? addressSpace : data; }
};

QByteArray bytes(qint64 count) { return QByteArray::number(count) + '\n'; }

/// A machine with version 2 groups, 8 GiB available, and our group in user.slice; `changes` on top.
Files machine(const Files &changes = {}, const Files &more = {})
{
    Files files{{"/proc/self/mountinfo", "25 1 0:22 / /sys/fs/cgroup rw,nosuid shared:4 - cgroup2 cgroup2 rw\n"},
                {"/proc/self/cgroup", "0::/user.slice/app.scope\n"},
                {"/proc/meminfo", "MemTotal:       16777216 kB\nMemAvailable:    8388608 kB\n"},
                {"/proc/self/status", "Name:\tbrassfinch\nVmSize:\t 4194304 kB\nVmData:\t 1048576 kB\n"}};
    files.insert(changes);
    files.insert(more);
    return files;
}

/// Our group and its parent, each with a limit (-1: "max") and a use.
Files groups(qint64 appMax, qint64 appUsed, qint64 sliceMax = -1, qint64 sliceUsed = 0)
{
    return {{kApp + "memory.max", appMax < 0 ? "max\n" : bytes(appMax)}, {kApp + "memory.high", "max\n"},
            {kApp + "memory.current", bytes(appUsed)},
            {kSlice + "memory.max", sliceMax < 0 ? "max\n" : bytes(sliceMax)}, {kSlice + "memory.current", bytes(sliceUsed)}};
}

/// The probe's lines: the room ("<bytes> <bound>"), "allowed" or the refusal of `needed`, and
/// whether that much was allocated. `enter` runs in the probe before it starts.
QStringList runProbe(const QString &needed, const std::function<void()> &enter)
{
    QProcess probe;
    probe.setChildProcessModifier(enter);
    probe.start(QStringLiteral(MEMORY_ROOM_PROBE), {needed});
    probe.waitForFinished(30000);
    const QStringList lines = QString::fromUtf8(probe.readAllStandardOutput()).split(u'\n');
    if (probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0 || lines.size() < 3)
        return {QStringLiteral("The probe ended with %1: %2").arg(probe.exitCode()).arg(lines.join(u'|'))};
    return lines;
}

} // namespace

class TestMemoryRoom : public QObject
{
    Q_OBJECT
private slots:
    void tightestReadableLimitWins_data();
    void tightestReadableLimitWins();
    void refusalNamesNeedRoomAndLimit_data();
    void refusalNamesNeedRoomAndLimit();
    void roomUnderRealLimitIsWhatCanBeHad_data();
    void roomUnderRealLimitIsWhatCanBeHad();
    void roomInRealMemoryGroupIsItsLimit();
};

void TestMemoryRoom::tightestReadableLimitWins_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<qint64>("addressSpace");
    QTest::addColumn<qint64>("data");
    QTest::addColumn<qint64>("room");
    QTest::addColumn<MemoryBound>("bound");
    const qint64 none = -1;
    QTest::newRow("no group limit: what the computer has free") << machine(groups(none, 500 * MiB)) << none << none << 8 * GiB << MemoryBound::SystemAvailable;
    QTest::newRow("a limit on our group, less its use") << machine(groups(2 * GiB, 500 * MiB)) << none << none << 1548 * MiB << MemoryBound::GroupLimit;
    QTest::newRow("a tighter limit on an ancestor") << machine(groups(2 * GiB, 500 * MiB, GiB, 800 * MiB)) << none << none << 224 * MiB << MemoryBound::GroupLimit;
    QTest::newRow("the high mark throttles before the limit")
        << machine(groups(2 * GiB, 500 * MiB), {{kApp + "memory.high", bytes(GiB)}}) << none << none << 524 * MiB << MemoryBound::GroupThrottle;
    QTest::newRow("use past the limit leaves no room, never less") << machine(groups(2 * GiB, 2560 * MiB)) << none << none << 0ll << MemoryBound::GroupLimit;
    QTest::newRow("inactive file cache is reclaimed before anything is killed")
        << machine(groups(2 * GiB, 1800 * MiB), {{kApp + "memory.stat", "anon 734003200\ninactive_file 1048576000\n"}})
        << none << none << 1248 * MiB << MemoryBound::GroupLimit;
    QTest::newRow("a malformed limit, or a use that cannot be read, is left out")
        << machine(groups(none, 0, GiB), {{kApp + "memory.max", "2G\n"}, {kSlice + "memory.current", "\n"}})
        << none << none << 8 * GiB << MemoryBound::SystemAvailable;
    QTest::newRow("no MemAvailable: the group still bounds")
        << machine(groups(GiB, 0), {{"/proc/meminfo", "MemTotal: 16777216 kB\n"}}) << none << none << GiB << MemoryBound::GroupLimit;
    QTest::newRow("nothing readable: unknown") << Files() << none << none << 0ll << MemoryBound::Unknown;
    QTest::newRow("an address-space limit, less what is mapped") << machine() << 5 * GiB << none << GiB << MemoryBound::AddressSpace;
    QTest::newRow("a data limit, less the data held") << machine() << 5 * GiB << 1536 * MiB << 512 * MiB << MemoryBound::DataSize;
    QTest::newRow("a version 1 memory controller, its hierarchy's inactive cache reclaimed")
        << machine({{"/proc/self/mountinfo", "34 30 0:31 / /sys/fs/cgroup/memory rw,relatime - cgroup cgroup rw,memory\n"},
                    {"/proc/self/cgroup", "5:cpu,cpuacct:/\n4:memory:/docker/abc\n0::/\n"},
                    {"/sys/fs/cgroup/memory/docker/abc/memory.limit_in_bytes", bytes(GiB)},
                    {"/sys/fs/cgroup/memory/docker/abc/memory.usage_in_bytes", bytes(600 * MiB)},
                    {"/sys/fs/cgroup/memory/docker/abc/memory.stat", "inactive_file 0\ntotal_inactive_file 104857600\n"}})
        << none << none << 524 * MiB << MemoryBound::GroupLimit;
    QTest::newRow("a mount that shows our group at its top")
        << machine({{"/proc/self/mountinfo", "25 1 0:22 /docker/abc /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"},
                    {"/proc/self/cgroup", "0::/docker/abc\n"},
                    {"/sys/fs/cgroup/memory.max", bytes(GiB)}, {"/sys/fs/cgroup/memory.current", bytes(100 * MiB)},
                    {"/sys/fs/cgroup/docker/abc/memory.max", bytes(10 * MiB)}, {"/sys/fs/cgroup/docker/abc/memory.current", "0\n"}})
        << none << none << 924 * MiB << MemoryBound::GroupLimit;
    QTest::newRow("a group outside what the mount shows is not read")
        << machine({{"/proc/self/mountinfo", "25 1 0:22 /docker/abc /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"},
                    {"/proc/self/cgroup", "0::/docker/abcd\n"},
                    {"/sys/fs/cgroup/memory.max", bytes(GiB)}, {"/sys/fs/cgroup/memory.current", "0\n"}})
        << none << none << 8 * GiB << MemoryBound::SystemAvailable;
}

void TestMemoryRoom::tightestReadableLimitWins()
{
    QFETCH(Files, files);
    QFETCH(qint64, addressSpace);
    QFETCH(qint64, data);
    QFETCH(qint64, room);
    QFETCH(MemoryBound, bound);
    const auto limit = [](qint64 bytes) { return bytes < 0 ? std::nullopt : std::optional(bytes); };
    const platform::MemoryRoom found = platform::memoryRoom(FakeSources(files, limit(addressSpace), limit(data)));
    QCOMPARE(found.bound, bound);
    if (bound != MemoryBound::Unknown)
        QCOMPARE(found.bytes, room);
}

void TestMemoryRoom::refusalNamesNeedRoomAndLimit_data()
{
    QTest::addColumn<qint64>("room");
    QTest::addColumn<MemoryBound>("bound");
    QTest::addColumn<qint64>("needed");
    QTest::addColumn<QString>("refusal");
    const qint64 margin = platform::kMemoryMargin;
    QTest::newRow("too much for the group") << 1946 * MiB + margin << MemoryBound::GroupLimit << 3686 * MiB
        << "Opening /data/big.log needs about 3.6 GiB of memory, but only 1.9 GiB is available (the memory limit of the group this program runs in).";
    QTest::newRow("the room less the margin fits") << GiB << MemoryBound::GroupLimit << GiB - margin << QString();
    QTest::newRow("the margin is kept") << GiB << MemoryBound::AddressSpace << GiB - margin / 2
        << "Opening /data/big.log needs about 1008.0 MiB of memory, but only 992.0 MiB is available (this program's address-space limit).";
    QTest::newRow("sizes alike at one decimal get another") << GiB + margin << MemoryBound::SystemAvailable << GiB + 40 * MiB
        << "Opening /data/big.log needs about 1.04 GiB of memory, but only 1.00 GiB is available (the memory this computer has free).";
    QTest::newRow("a room inside the margin shows none") << 10 * MiB << MemoryBound::DataSize << MiB
        << "Opening /data/big.log needs about 1.0 MiB of memory, but only 0 bytes is available (this program's data-size limit).";
    QTest::newRow("nothing read lets everything through") << 0ll << MemoryBound::Unknown << 100 * GiB << QString();
}

void TestMemoryRoom::refusalNamesNeedRoomAndLimit()
{
    QFETCH(qint64, room);
    QFETCH(MemoryBound, bound);
    QFETCH(qint64, needed);
    QFETCH(QString, refusal);
    const platform::MemoryRoom given{room, bound};
    QCOMPARE(given.allows(needed), refusal.isEmpty());
    if (!refusal.isEmpty())
        QCOMPARE(given.refusal(needed, QStringLiteral("Opening /data/big.log")), refusal);
}

void TestMemoryRoom::roomUnderRealLimitIsWhatCanBeHad_data()
{
    QTest::addColumn<int>("resource");
    QTest::addColumn<QString>("needed");
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<bool>("allocated");
    const int space = RLIMIT_AS, data = RLIMIT_DATA;
    for (const auto &[resource, name] : {std::pair(space, "address space"), std::pair(data, "data")}) {
        QTest::addRow("%s: a small need passes and is had", name) << resource << QString::number(16 * MiB) << true << true;
        // A little under the margin, for what the probe allocates between its two looks at the room.
        QTest::addRow("%s: the room less the margin is had", name) << resource << "room-" + QString::number(platform::kMemoryMargin + 4 * MiB) << true << true;
        QTest::addRow("%s: a little more than the room cannot be had", name) << resource << "room+" + QString::number(16 * MiB) << false << false;
        QTest::addRow("%s: far past the limit is refused", name) << resource << QString::number(2 * GiB) << false << false;
    }
}

void TestMemoryRoom::roomUnderRealLimitIsWhatCanBeHad()
{
#ifdef __SANITIZE_ADDRESS__
    QSKIP("the address sanitizer's own maps count against both limits, far past any cap");
#endif
    QFETCH(int, resource);
    QFETCH(QString, needed);
    QFETCH(bool, allowed);
    QFETCH(bool, allocated);
    const rlim_t limit = 1024 * MiB;
    const QStringList lines = runProbe(needed, [resource, limit] {
        const rlimit value{limit, limit};
        if (::setrlimit(static_cast<__rlimit_resource>(resource), &value) != 0)
            ::_exit(3);
    });
    QVERIFY2(lines.size() >= 3, qPrintable(lines.join(u'|')));
    const QStringList room = lines.at(0).split(u' ');
    QCOMPARE(room.value(1).toInt(), int(resource == RLIMIT_AS ? MemoryBound::AddressSpace : MemoryBound::DataSize));
    QVERIFY2(room.value(0).toLongLong() < qint64(limit), qPrintable(lines.at(0)));
    QVERIFY2((lines.at(1) == "allowed") == allowed, qPrintable(lines.at(1)));
    if (!allowed)
        QVERIFY2(lines.at(1).contains(resource == RLIMIT_AS ? "address-space limit" : "data-size limit"), qPrintable(lines.at(1)));
    QCOMPARE(lines.at(2) == "allocated", allocated);
}

void TestMemoryRoom::roomInRealMemoryGroupIsItsLimit()
{
    // A group of our own under ours, where this system lets us make one: as root, with the memory
    // controller of version 1, or that of version 2 given to our group's children.
    const qint64 limit = 256 * MiB;
    QString group;
    for (const QString &line : QString::fromUtf8(platform::SystemMemorySources().read("/proc/self/cgroup")).split(u'\n')) {
        const bool version2 = line.startsWith("0::");
        if (!version2 && !line.section(u':', 1, 1).split(u',').contains("memory"))
            continue;
        const QString folder = (version2 ? "/sys/fs/cgroup" : "/sys/fs/cgroup/memory") + line.section(u':', 2)
            + "/brassfinch-test-" + QString::number(::getpid());
        // Only a memory group has the limit file before anything is written.
        QFile limitFile(folder + (version2 ? "/memory.max" : "/memory.limit_in_bytes"));
        if (QDir().mkdir(folder) && limitFile.open(QIODevice::WriteOnly | QIODevice::ExistingOnly)
            && limitFile.write(QByteArray::number(limit)) > 0 && limitFile.flush()) {
            group = folder;
            break;
        }
        QDir().rmdir(folder);
    }
    if (group.isEmpty())
        QSKIP("No memory group of our own can be made here");
    const auto removeGroup = qScopeGuard([&] { QDir().rmdir(group); });

    const QByteArray procs = QFile::encodeName(group + "/cgroup.procs");
    const auto enterGroup = [&procs] {
        const int fd = ::open(procs.constData(), O_WRONLY);
        if (fd < 0 || ::write(fd, "0", 1) != 1)
            ::_exit(3);
        ::close(fd);
    };
    const QStringList small = runProbe(QString::number(16 * MiB), enterGroup);
    const QStringList large = runProbe(QString::number(limit + GiB), enterGroup);
    QVERIFY2(small.size() >= 3 && large.size() >= 3, qPrintable(small.join(u'|') + u'\n' + large.join(u'|')));
    const QStringList room = small.at(0).split(u' ');
    QCOMPARE(room.value(1).toInt(), int(MemoryBound::GroupLimit));
    QVERIFY2(room.value(0).toLongLong() <= limit && room.value(0).toLongLong() > limit - 64 * MiB, qPrintable(small.at(0)));
    QCOMPARE(small.at(1), QStringLiteral("allowed"));
    QVERIFY2(large.at(1).contains("memory limit of the group"), qPrintable(large.at(1)));
}

QTEST_GUILESS_MAIN(TestMemoryRoom)
#include "tst_memoryroom.moc"
