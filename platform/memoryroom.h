#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace platform {

/// Kept back from every room: the room is read a moment before the step that needs it, and the
/// step is never all that allocates meanwhile. The other workers, painting and the kernel's own
/// charges to a memory group (page tables, buffers) take some too, and a group brought right to
/// its limit already stalls in reclaim.
inline constexpr qint64 kMemoryMargin = 32 * 1024 * 1024;

/// What sets the memory this process can still get.
enum class MemoryBound {
    Unknown,          ///< Nothing could be read; every step is let through.
    GroupLimit,       ///< A memory group's hard limit, past which the kernel ends the process.
    GroupThrottle,    ///< A memory group's high mark, past which the process is slowed to a crawl.
    SystemAvailable,  ///< What the whole system can still give without swapping.
    AddressSpace,     ///< The process's address-space limit, less what is mapped already.
    DataSize,         ///< The process's data-size limit, less the data it holds already.
};

/// How much memory this process can still get, and what sets that.
struct MemoryRoom
{
    qint64 bytes = 0;  ///< Meaningless while `bound` is Unknown.
    MemoryBound bound = MemoryBound::Unknown;

    /// Whether a step needing about `needed` bytes fits, with `kMemoryMargin` to spare. When
    /// nothing could be read, everything fits: a check that cannot see must not stop the user.
    bool allows(qint64 needed) const;
    /// The report of a step refused: `what` ("Opening /data/big.log") needs about so much, but
    /// only so much is available, and which limit that is.
    QString refusal(qint64 needed, const QString &what) const;
};

/// Where the room is read from, so that a test can stand in for any system.
class MemorySources
{
public:
    enum class Limit { AddressSpace, Data };

    virtual ~MemorySources() = default;
    /// The text of a file under /proc or /sys; empty when it cannot be read.
    virtual QByteArray read(const QString &path) const = 0;
    /// The process's soft limit in bytes; none when it is unlimited or cannot be read.
    virtual std::optional<qint64> limit(Limit which) const = 0;
};

/// This system's files and limits.
class SystemMemorySources final : public MemorySources
{
public:
    QByteArray read(const QString &path) const override;
    std::optional<qint64> limit(Limit which) const override;
};

/// The smallest room of those that apply: each memory group from ours up (version 2, or the
/// version 1 memory controller), the system's available memory, and the address-space and data
/// limits. Overcommit lets an allocation past any of them seem to succeed, and the kernel ends
/// the process later, so this has to be asked before a big step rather than learned from it.
/// Whatever cannot be read is left out, quietly.
MemoryRoom memoryRoom(const MemorySources &sources);

/// Throws `Failure` with the room's refusal when a step needing about `needed` bytes does not
/// fit, so that the user is told before anything is lost instead of the process being killed.
void ensureMemoryFor(qint64 needed, const QString &what,
                     const MemorySources &sources = SystemMemorySources());

} // namespace platform
