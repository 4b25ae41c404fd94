#pragma once

#include <QtGlobal>

#include <vector>

class AdvanceTable;
class TextDocument;

/// A line too long to lay out whole, cut into segments of one or two kilobytes at grapheme
/// boundaries, each with its distance from the line's start. The distances come from summing
/// character advances (one pass over the line, reading a bounded stretch at a time), so only
/// the segments in view need laying out. Offsets are from the line's start; x in 1/64 pixel.
class LongLine
{
public:
    static constexpr qint64 kThreshold = 4096; ///< lines longer than this are cut
    static constexpr qint64 kSegmentBytes = 1024;
    static constexpr qint64 kMaxSegmentBytes = 2048;

    struct Segment
    {
        qint64 start = 0;
        qint64 x = 0;
        bool tabs = false; ///< its width depends on where it starts
    };

    /// Measures the line of `length` bytes at `lineStart`.
    LongLine(const TextDocument &document, qint64 lineStart, qint64 length, AdvanceTable &advances);

    qint64 length() const { return m_length; }
    qint64 width() const { return m_width; }
    int segmentCount() const { return int(m_segments.size()); }
    const Segment &segment(int index) const { return m_segments[size_t(index)]; }
    qint64 segmentEnd(int index) const;
    qint64 segmentEndX(int index) const;
    /// The segment holding the byte at `offset` (the last for the end of the line).
    int segmentAt(qint64 offset) const;
    /// The segment under `x`.
    int segmentAtX(qint64 x) const;

    /// The summed x of `offset`, measured from its segment's start.
    qint64 summedX(const TextDocument &document, qint64 lineStart, qint64 offset, AdvanceTable &advances) const;

    /// Follows an edit inside the line (`removed` bytes at `from` gave way to `inserted`; the
    /// line now starts at `lineStart`), measuring again only the segments it touched and those
    /// whose tabs it moved. Returns the first segment that changed.
    int edit(const TextDocument &document, qint64 lineStart, qint64 from, qint64 removed, qint64 inserted,
             AdvanceTable &advances);

private:
    qint64 measure(const TextDocument &document, qint64 lineStart, qint64 from, qint64 to, qint64 x,
                   AdvanceTable &advances, std::vector<Segment> &out) const;

    std::vector<Segment> m_segments;
    qint64 m_length = 0;
    qint64 m_width = 0;
};
