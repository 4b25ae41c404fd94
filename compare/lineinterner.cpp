#include "compare/lineinterner.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace {

constexpr size_t kFirstCapacity = 1024;
// How often a long intern looks at its stop flag, in lines.
constexpr qint64 kStopCheck = 1 << 16;
constexpr size_t kBatch = 32;

bool sameBytes(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && (a.isEmpty() || std::memcmp(a.data(), b.data(), size_t(a.size())) == 0);
}

} // namespace

LineInterner::LineInterner(const LineFilter *filter)
    : m_filter(filter && filter->isActive() ? filter : nullptr), m_table(kFirstCapacity, Slot{0, 0}),
      m_mask(kFirstCapacity - 1)
{
}

bool LineInterner::sameLine(QByteArrayView a, QByteArrayView b)
{
    // Lines the same byte for byte have the same key; most matches are such.
    if (sameBytes(a, b))
        return true;
    return m_filter && sameBytes(m_filter->key(a, m_scratchA), m_filter->key(b, m_scratchB));
}

void LineInterner::grow()
{
    HugeVector<Slot> table(m_table.size() * 2, Slot{0, 0});
    const size_t mask = table.size() - 1;
    for (const Slot &slot : m_table) {
        if (slot.idPlus == 0)
            continue;
        size_t at = slot.hash & mask;
        while (table[at].idPlus != 0)
            at = (at + 1) & mask;
        table[at] = slot;
    }
    m_table = std::move(table);
    m_mask = mask;
}

std::uint32_t LineInterner::add(QByteArrayView line, std::uint64_t hash, bool lasting)
{
    // Linear probing at most half full; a slot's half hash spares most probes a look at bytes.
    const auto low = std::uint32_t(hash);
    for (size_t at = low & m_mask;; at = (at + 1) & m_mask) {
        const Slot slot = m_table[at];
        if (slot.idPlus == 0)
            break;
        if (slot.hash == low && sameLine(m_firstSeen[slot.idPlus - 1], line))
            return slot.idPlus - 1;
    }
    if (2 * (m_firstSeen.size() + 1) > m_table.size())
        grow();
    if (!lasting) {
        m_copies.push_back(line.toByteArray());
        line = m_copies.back();
    }
    const auto id = std::uint32_t(m_firstSeen.size());
    m_firstSeen.push_back(line);
    size_t at = low & m_mask;
    while (m_table[at].idPlus != 0)
        at = (at + 1) & m_mask;
    m_table[at] = Slot{low, id + 1};
    return id;
}

bool LineInterner::intern(const QList<QByteArrayView> &text, LineIds &ids, bool copyNew,
                          const std::atomic<bool> *stop, std::atomic<qint64> *done)
{
    qint64 count = 0;
    qint64 bytes = 0;
    bool stopped = false;
    // Lines go in a few dozen at a time, their slots fetched ahead, so that the table's misses
    // overlap rather than follow one another.
    struct Pending
    {
        QByteArrayView line;
        std::uint64_t hash;
    };
    std::array<Pending, kBatch> batch;
    size_t pending = 0;
    const auto flush = [&] {
        for (size_t i = 0; i < pending; ++i)
            ids.push_back(add(batch[i].line, batch[i].hash, !copyNew));
        pending = 0;
    };
    scanLines(text, m_filter, [&](QByteArrayView line, std::uint64_t hash, bool lasting) {
        if (stopped)
            return;
        if (lasting) {
            __builtin_prefetch(&m_table[std::uint32_t(hash) & m_mask]);
            batch[pending++] = Pending{line, hash};
            if (pending == kBatch)
                flush();
        } else {
            // Its bytes last only for this call.
            flush();
            ids.push_back(add(line, hash, false));
        }
        bytes += line.size() + 1;
        if (++count % kStopCheck == 0) {
            if (done)
                done->fetch_add(bytes, std::memory_order_relaxed);
            bytes = 0;
            stopped = stop && stop->load(std::memory_order_relaxed);
        }
    });
    flush();
    if (done)
        done->fetch_add(bytes, std::memory_order_relaxed);
    return !stopped && !(stop && stop->load(std::memory_order_relaxed));
}
