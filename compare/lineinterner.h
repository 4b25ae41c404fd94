#pragma once

#include "compare/hugepages.h"
#include "compare/linefilter.h"
#include "compare/linehashes.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

/// The ids of a text's lines, in order.
using LineIds = HugeVector<std::uint32_t>;

/// Gives lines small ids: equal ids for equal lines (equal bytes, or equal keys with a filter),
/// different ids for different ones, told apart by their bytes where hashes collide. Ids run from
/// 0 in order of first appearance and stay the same for as long as the interner lives, so texts
/// interned one after the other, or again in part after an edit, share them.
class LineInterner
{
public:
    /// With a `filter`, which must outlive the interner, lines compare by their keys.
    explicit LineInterner(const LineFilter *filter = nullptr);

    /// The id of a line (with its hash, as scanLines() gives it). The bytes of a line seen for
    /// the first time are referred to from then on: copied when `lasting` is false, else they
    /// must stay where they are for as long as the interner lives (see keep()).
    std::uint32_t add(QByteArrayView line, std::uint64_t hash, bool lasting);
    /// Appends the ids of a text's lines to `ids`; with `copyNew`, the lines first seen here are
    /// copied rather than referred to. Returns false, with `ids` incomplete, when `*stop` became
    /// true; `done` counts the bytes interned.
    bool intern(const QList<QByteArrayView> &text, LineIds &ids, bool copyNew,
                const std::atomic<bool> *stop = nullptr, std::atomic<qint64> *done = nullptr);
    /// Keeps what holds the bytes of lines referred to alive as long as the interner.
    void keep(std::shared_ptr<const void> holder) { m_kept.push_back(std::move(holder)); }

    std::uint32_t distinct() const { return std::uint32_t(m_firstSeen.size()); }

private:
    struct Slot
    {
        std::uint32_t hash;   // the low half of the line's hash, which also places it
        std::uint32_t idPlus; // the id plus one; 0 marks an empty slot
    };

    bool sameLine(QByteArrayView a, QByteArrayView b);
    void grow();

    const LineFilter *m_filter;
    HugeVector<Slot> m_table;
    size_t m_mask = 0;
    HugeVector<QByteArrayView> m_firstSeen; // per id
    std::deque<QByteArray> m_copies;
    std::vector<std::shared_ptr<const void>> m_kept;
    QByteArray m_scratchA;
    QByteArray m_scratchB;
};
