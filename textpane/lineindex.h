#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <vector>

// A line ends at a line feed, at a carriage return followed by a line feed (the pair is one line
// end, and a position between them belongs to neither line), or at a carriage return alone.

/// The number of line ends in `text` that end inside it: a carriage return as the last byte
/// counts as one (whatever follows decides nothing here).
qint64 countLineEnds(QByteArrayView text);

/// The offset just past the `nth` (from 0) line end in `text`, or -1 when it has fewer than
/// `nth + 1`. A carriage return as the last byte counts as a line end; `lfFollows` tells whether
/// a line feed follows it outside `text`, and then the offset is past that line feed.
qint64 offsetPastLineEnd(QByteArrayView text, qint64 nth, bool lfFollows = false);

/// Where the line ends of one immutable text lie, kept compactly: for every block of kBlockSize
/// bytes, the number of line ends before the block. Finding a line or a line's number then
/// scans at most one block. Built in order, chunk by chunk, while the text is read (the chunks
/// may be of any size), or at once over a whole text.
class LineIndex
{
public:
    static constexpr qint64 kBlockSize = 64 * 1024;

    LineIndex() = default;
    /// Indexes the whole of `text` at once.
    explicit LineIndex(QByteArrayView text);

    /// Takes in the next `chunk` of the text; chunks arrive in order, with nothing left out.
    /// Throws std::bad_alloc when the index cannot grow.
    void add(QByteArrayView chunk);
    /// The bytes taken in so far.
    qint64 size() const { return m_size; }

    // Queries take the text that was indexed, whole.

    /// The number of line ends that end before `position`; a carriage return whose line feed is
    /// at `position` counts as ending before it.
    qint64 lineEndsBefore(QByteArrayView text, qint64 position) const;
    /// The position just past the `nth` (from 0) line end, or -1 when there are fewer.
    qint64 positionPastLineEnd(QByteArrayView text, qint64 nth) const;
    /// All the line ends of the text.
    qint64 lineEnds() const { return m_lineEnds; }

private:
    // A line end counts where its first byte is, so a CR LF across a block edge belongs to the
    // block of its CR, and a count over any stretch needs one byte before it and none after.
    std::vector<qint64> m_before; ///< line ends before each block; one entry per block begun
    qint64 m_size = 0;
    qint64 m_lineEnds = 0;
    bool m_pendingCr = false; ///< the text so far ends with a carriage return
};
