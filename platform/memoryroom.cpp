// The room, in order: the memory groups (found from /proc/self/cgroup and where their hierarchy is
// mounted, in /proc/self/mountinfo), walked from ours up to the top that is visible; MemAvailable in
// /proc/meminfo; then each finite soft limit less what /proc/self/status says is used against it.
// The smallest wins, and names itself in the report.
#include "platform/memoryroom.h"

#include "platform/failure.h"
#include "platform/regularfile.h"

#include <QList>
#include <QLocale>

#include <algorithm>
#include <limits>
#include <span>
#include <sys/resource.h>

namespace platform {

namespace {

// Far larger than any of the files read (mountinfo is the largest, a few kB per hundred mounts).
constexpr qint64 kLargestFile = 4 * 1024 * 1024;

std::optional<qint64> number(const QByteArray &text)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    if (!ok || value < 0)
        return std::nullopt;
    return value;
}

// The value of a "Name: value" line, or of a "name value" line with `separator` ' '.
QByteArray field(const QByteArray &text, const QByteArray &name, char separator = ':')
{
    for (const QByteArray &line : text.split('\n')) {
        if (line.startsWith(name) && line.size() > name.size() && line.at(name.size()) == separator)
            return line.mid(name.size() + 1).trimmed();
    }
    return {};
}

// A "Name:   1234 kB" line of /proc/meminfo or /proc/self/status, in bytes.
std::optional<qint64> kilobytes(const QByteArray &text, const QByteArray &name)
{
    const QByteArray value = field(text, name);
    if (!value.endsWith(" kB"))
        return std::nullopt;
    const std::optional<qint64> count = number(value.chopped(3));
    if (!count || *count > std::numeric_limits<qint64>::max() / 1024)
        return std::nullopt;
    return *count * 1024;
}

void narrow(MemoryRoom &room, qint64 bytes, MemoryBound bound)
{
    bytes = std::max<qint64>(bytes, 0);
    if (room.bound == MemoryBound::Unknown || bytes < room.bytes)
        room = {bytes, bound};
}

// One limit a memory group may set, and how its use is read.
struct GroupLimit
{
    const char *limit;
    const char *usage;
    const char *inactiveFile;  // the memory.stat line of file pages reclaimed first
    MemoryBound bound;
};

constexpr GroupLimit kVersion2Limits[] = {
    {"memory.max", "memory.current", "inactive_file", MemoryBound::GroupLimit},
    {"memory.high", "memory.current", "inactive_file", MemoryBound::GroupThrottle},
};
constexpr GroupLimit kVersion1Limits[] = {
    {"memory.limit_in_bytes", "memory.usage_in_bytes", "total_inactive_file", MemoryBound::GroupLimit},
};

// Where a hierarchy's groups appear: the group that the mount shows at its top, and where.
struct Mount
{
    QByteArray root;
    QString point;
};

// The mount of the version 2 hierarchy, or with `controller`, of the version 1 hierarchy that has it.
std::optional<Mount> findMount(const QByteArray &mountInfo, const QByteArray &controller = {})
{
    // "36 25 0:31 / /sys/fs/cgroup/memory rw,relatime shared:12 - cgroup cgroup rw,memory"
    for (const QByteArray &line : mountInfo.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (dash < 5 || dash + 3 >= fields.size())
            continue;
        const bool matches = controller.isEmpty()
            ? fields.at(dash + 1) == "cgroup2"
            : fields.at(dash + 1) == "cgroup" && fields.at(dash + 3).split(',').contains(controller);
        if (matches)
            return Mount{fields.at(3), QString::fromUtf8(fields.at(4))};
    }
    return std::nullopt;
}

// Our group of a hierarchy from /proc/self/cgroup: the "0::/path" line for version 2, the line
// that lists `controller` for version 1.
std::optional<QByteArray> findGroup(const QByteArray &groups, const QByteArray &controller = {})
{
    for (const QByteArray &line : groups.split('\n')) {
        const QList<QByteArray> fields = line.split(':');
        if (fields.size() < 3)
            continue;
        const bool matches = controller.isEmpty()
            ? fields.at(0) == "0" && fields.at(1).isEmpty()
            : fields.at(1).split(',').contains(controller);
        if (matches)
            return line.mid(fields.at(0).size() + fields.at(1).size() + 2);
    }
    return std::nullopt;
}

// Our group's folder and those of its ancestors, up to the top of the mount. A group outside
// what the mount shows (another cgroup namespace's) has none to read.
QStringList groupFolders(const Mount &mount, const QByteArray &group)
{
    const QByteArray root = mount.root == "/" ? QByteArray() : mount.root;
    if (!group.startsWith(root) || (group.size() > root.size() && group.at(root.size()) != '/'))
        return {};
    QStringList below = QString::fromUtf8(group.mid(root.size())).split(u'/', Qt::SkipEmptyParts);
    QStringList folders;
    for (;;) {
        folders << (below.isEmpty() ? mount.point : mount.point + u'/' + below.join(u'/'));
        if (below.isEmpty())
            return folders;
        below.removeLast();
    }
}

QByteArray readIn(const MemorySources &sources, const QString &folder, const char *name)
{
    return sources.read(folder + u'/' + QLatin1String(name));
}

void narrowByGroups(MemoryRoom &room, const MemorySources &sources, const QStringList &folders,
                    std::span<const GroupLimit> limits)
{
    for (const QString &folder : folders) {
        for (const GroupLimit &limit : limits) {
            // "max" (version 2) reads as no number, and so sets no room.
            const std::optional<qint64> most = number(readIn(sources, folder, limit.limit));
            const std::optional<qint64> used = number(readIn(sources, folder, limit.usage));
            if (!most || !used)
                continue;
            // A group's use counts the page cache, whose inactive part the kernel reclaims before
            // it ends anything; without it, a file read a minute ago would stand in the way.
            const qint64 cached = number(field(readIn(sources, folder, "memory.stat"),
                                               limit.inactiveFile, ' ')).value_or(0);
            narrow(room, *most - std::max<qint64>(*used - cached, 0), limit.bound);
        }
    }
}

void narrowByProcessLimit(MemoryRoom &room, const MemorySources &sources, const QByteArray &status,
                          MemorySources::Limit which, const QByteArray &usedField, MemoryBound bound)
{
    const std::optional<qint64> most = sources.limit(which);
    if (!most)
        return;
    if (const std::optional<qint64> used = kilobytes(status, usedField))
        narrow(room, *most - *used, bound);
}

QString size(qint64 bytes, int precision)
{
    return QLocale::c().formattedDataSize(bytes, precision);
}

QString boundName(MemoryBound bound)
{
    switch (bound) {
    case MemoryBound::GroupLimit:
        return QStringLiteral("the memory limit of the group this program runs in");
    case MemoryBound::GroupThrottle:
        return QStringLiteral("the memory high mark of the group this program runs in");
    case MemoryBound::SystemAvailable:
        return QStringLiteral("the memory this computer has free");
    case MemoryBound::AddressSpace:
        return QStringLiteral("this program's address-space limit");
    case MemoryBound::DataSize:
        return QStringLiteral("this program's data-size limit");
    case MemoryBound::Unknown:
        break;
    }
    return QStringLiteral("no limit that could be read");
}

} // namespace

bool MemoryRoom::allows(qint64 needed) const
{
    return bound == MemoryBound::Unknown || needed <= bytes - kMemoryMargin;
}

QString MemoryRoom::refusal(qint64 needed, const QString &what) const
{
    const qint64 available = std::max<qint64>(bytes - kMemoryMargin, 0);
    // One decimal, unless that would show the two sizes alike.
    int precision = 1;
    while (precision < 3 && size(needed, precision) == size(available, precision))
        ++precision;
    return QStringLiteral("%1 needs about %2 of memory, but only %3 is available (%4).")
        .arg(what, size(needed, precision), size(available, precision), boundName(bound));
}

QByteArray SystemMemorySources::read(const QString &path) const
{
    try {
        return readRegularFile(path, kLargestFile);
    } catch (const Failure &) {
        return {};
    }
}

std::optional<qint64> SystemMemorySources::limit(Limit which) const
{
    rlimit value {};
    if (::getrlimit(which == Limit::AddressSpace ? RLIMIT_AS : RLIMIT_DATA, &value) != 0
        || value.rlim_cur == RLIM_INFINITY
        || value.rlim_cur > rlim_t(std::numeric_limits<qint64>::max()))
        return std::nullopt;
    return qint64(value.rlim_cur);
}

MemoryRoom memoryRoom(const MemorySources &sources)
{
    MemoryRoom room;
    const QByteArray mountInfo = sources.read(QStringLiteral("/proc/self/mountinfo"));
    const QByteArray groups = sources.read(QStringLiteral("/proc/self/cgroup"));
    const std::optional<Mount> version2 = findMount(mountInfo);
    const std::optional<QByteArray> group2 = findGroup(groups);
    if (version2 && group2)
        narrowByGroups(room, sources, groupFolders(*version2, *group2), kVersion2Limits);
    const std::optional<Mount> version1 = findMount(mountInfo, "memory");
    const std::optional<QByteArray> group1 = findGroup(groups, "memory");
    if (version1 && group1)
        narrowByGroups(room, sources, groupFolders(*version1, *group1), kVersion1Limits);

    if (const auto available = kilobytes(sources.read(QStringLiteral("/proc/meminfo")), "MemAvailable"))
        narrow(room, *available, MemoryBound::SystemAvailable);

    // The address-space limit is checked against every mapping; the data limit, since Linux 4.7,
    // against the private writable ones, where the large allocations of malloc go.
    const QByteArray status = sources.read(QStringLiteral("/proc/self/status"));
    narrowByProcessLimit(room, sources, status, MemorySources::Limit::AddressSpace, "VmSize",
                         MemoryBound::AddressSpace);
    narrowByProcessLimit(room, sources, status, MemorySources::Limit::Data, "VmData",
                         MemoryBound::DataSize);
    return room;
}

void ensureMemoryFor(qint64 needed, const QString &what, const MemorySources &sources)
{
    const MemoryRoom room = memoryRoom(sources);
    if (!room.allows(needed))
        throw Failure(room.refusal(needed, what));
}

} // namespace platform
