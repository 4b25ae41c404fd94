#include "compare/comparison.h"

#include <algorithm>

Comparison::Comparison(std::vector<DiffHunk> hunks, qint64 leftLines, qint64 rightLines)
    : m_hunks(std::move(hunks)), m_leftLines(leftLines), m_rightLines(rightLines)
{
}

qint64 Comparison::startOf(qsizetype difference, Side side) const
{
    const DiffHunk &hunk = m_hunks[size_t(difference)];
    return side == Side::Left ? hunk.leftStart : hunk.rightStart;
}

qint64 Comparison::countOf(qsizetype difference, Side side) const
{
    const DiffHunk &hunk = m_hunks[size_t(difference)];
    return side == Side::Left ? hunk.leftCount : hunk.rightCount;
}

qsizetype Comparison::firstStartingAfter(Side side, qint64 line) const
{
    const auto found = std::upper_bound(m_hunks.begin(), m_hunks.end(), line, [side](qint64 at, const DiffHunk &hunk) {
        return at < (side == Side::Left ? hunk.leftStart : hunk.rightStart);
    });
    return found - m_hunks.begin();
}

qint64 Comparison::correspondingLine(Side side, qint64 line) const
{
    const Side other = otherSide(side);
    const qint64 otherLast = std::max<qint64>(0, lineCount(other) - 1);
    line = std::max<qint64>(0, line);
    // The difference that starts at or before the line, if any.
    const qsizetype before = firstStartingAfter(side, line) - 1;
    qint64 mapped = line;
    if (before >= 0) {
        const qint64 start = startOf(before, side);
        const qint64 count = countOf(before, side);
        const qint64 otherStart = startOf(before, other);
        const qint64 otherCount = countOf(before, other);
        if (line < start + count)
            mapped = otherStart + (line - start) * otherCount / count;
        else
            mapped = otherStart + otherCount + (line - start - count);
    }
    return std::clamp<qint64>(mapped, 0, otherLast);
}

qsizetype Comparison::nextDifference(Side side, qint64 line) const
{
    const qsizetype next = firstStartingAfter(side, line);
    return next < differenceCount() ? next : -1;
}

qsizetype Comparison::previousDifference(Side side, qint64 line) const
{
    // The last that starts before the line: the first that starts at or after it, less one.
    return firstStartingAfter(side, line - 1) - 1;
}

std::vector<LineMark> Comparison::marks(Side side) const
{
    std::vector<LineMark> marks;
    marks.reserve(m_hunks.size());
    const Side other = otherSide(side);
    const LineMark::Kind only = side == Side::Left ? LineMark::Kind::Removed : LineMark::Kind::Added;
    for (qsizetype i = 0; i < differenceCount(); ++i) {
        const qint64 count = countOf(i, side);
        const LineMark::Kind kind = count == 0 ? LineMark::Kind::Gap
                                    : countOf(i, other) == 0 ? only
                                                             : LineMark::Kind::Changed;
        marks.push_back(LineMark{startOf(i, side), count, kind});
    }
    return marks;
}
