#pragma once

#include <QtGlobal>

#include <limits>
#include <vector>

class AdvanceTable;
class TextDocument;

/// A line too long to lay out whole, cut into segments of one or two kilobytes at grapheme
/// boundaries, each with its distance from the line's start. The distances come from summing
/// character advances (one pass over the line, reading a bounded stretch at a time), so only
/// the segments in view need laying out. The pass may stop early and go on later: the segments
/// then cover only the line's start, the same segments a whole pass makes there, and the width
/// is an estimate until the pass reaches the end. Offsets are from the line's start; x in 1/64
/// pixel.
class LongLine
{
public:
    static constexpr qint64 kThreshold = 4096; ///< lines longer than this are cut
    static constexpr qint64 kSegmentBytes = 1024;
    static constexpr qint64 kMaxSegmentBytes = 2048;
    static constexpr qint64 kWhole = std::numeric_limits<qint64>::max();

    struct Segment
    {
        qint64 start = 0;
        qint64 x = 0;
        bool tabs = false; ///< its width depends on where it starts
    };

    /// Measures the line of `length` bytes at `lineStart`, as far as the first segment that
    /// holds `upTo` (the whole line unless given).
    LongLine(const TextDocument &document, qint64 lineStart, qint64 length, AdvanceTable &advances,
             qint64 upTo = kWhole);

    qint64 length() const { return m_length; }
    /// Exact once the whole line is measured; until then the measured part's width and, for the
    /// rest, its bytes times the measured part's advance per byte.
    qint64 width() const;
    /// Whether the segments reach the line's end.
    bool isMeasured() const { return m_measured == m_length; }
    /// How far from the line's start the segments reach.
    qint64 measuredLength() const { return m_measured; }
    /// Measures on until a segment holds `offset`, or to the end.
    void measureTo(const TextDocument &document, qint64 lineStart, qint64 offset, AdvanceTable &advances);
    /// Measures on until a segment holds `x`, or to the end.
    void measureToX(const TextDocument &document, qint64 lineStart, qint64 x, AdvanceTable &advances);

    int segmentCount() const { return int(m_segments.size()); }
    const Segment &segment(int index) const { return m_segments[size_t(index)]; }
    qint64 segmentEnd(int index) const;
    qint64 segmentEndX(int index) const;
    /// The segment holding the byte at `offset` (the last measured one past them).
    int segmentAt(qint64 offset) const;
    /// The segment under `x`.
    int segmentAtX(qint64 x) const;

    /// The summed x of `offset` (within the measured segments), measured from its segment's start.
    qint64 summedX(const TextDocument &document, qint64 lineStart, qint64 offset, AdvanceTable &advances) const;

    /// Follows an edit inside the line (`removed` bytes at `from` gave way to `inserted`; the
    /// line now starts at `lineStart`), measuring again only the segments it touched and those
    /// whose tabs it moved. Returns the first segment that changed.
    int edit(const TextDocument &document, qint64 lineStart, qint64 from, qint64 removed, qint64 inserted,
             AdvanceTable &advances);

private:
    // How far a pass goes: until its segments hold `offset` and `x`, and in any case to `to`
    // when that comes first.
    struct Reach
    {
        qint64 offset;
        qint64 x;
    };

    qint64 measure(const TextDocument &document, qint64 lineStart, qint64 from, qint64 to, qint64 x,
                   AdvanceTable &advances, std::vector<Segment> &out, Reach reach = {kWhole, kWhole},
                   qint64 *end = nullptr) const;
    void measureOn(const TextDocument &document, qint64 lineStart, Reach reach, AdvanceTable &advances);

    std::vector<Segment> m_segments;
    qint64 m_length = 0;
    qint64 m_measured = 0;  ///< the segments' end
    qint64 m_measuredX = 0; ///< and its x
};
