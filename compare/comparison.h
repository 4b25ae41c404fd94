#pragma once

#include "compare/linediff.h"
#include "textpane/linemarks.h"

#include <QtGlobal>

#include <vector>

/// One of the two texts of a comparison.
enum class Side : quint8 { Left, Right };

constexpr Side otherSide(Side side)
{
    return side == Side::Left ? Side::Right : Side::Left;
}

/// How two texts compare line by line: where they differ, and which line of one stands for a line
/// of the other. Lines are numbered from 0; the line counts are those of the texts compared.
class Comparison
{
public:
    Comparison() = default;
    Comparison(std::vector<DiffHunk> hunks, qint64 leftLines, qint64 rightLines);

    const std::vector<DiffHunk> &hunks() const { return m_hunks; }
    qsizetype differenceCount() const { return qsizetype(m_hunks.size()); }
    bool isIdentical() const { return m_hunks.empty(); }
    qint64 lineCount(Side side) const { return side == Side::Left ? m_leftLines : m_rightLines; }

    /// The first line of a difference on one side (where the other side's lines would go, when
    /// it has none there), and how many lines it has there.
    qint64 startOf(qsizetype difference, Side side) const;
    qint64 countOf(qsizetype difference, Side side) const;

    /// The line of the other text that stands beside `line` of `side`: in equal stretches the
    /// equal line, inside a changed block the line at the same proportion of its block, and
    /// beside lines that the other text lacks, the other's line just after them. Clamped to the
    /// other text's lines.
    qint64 correspondingLine(Side side, qint64 line) const;

    /// The first difference that starts after `line` of `side`, or -1.
    qsizetype nextDifference(Side side, qint64 line) const;
    /// The last difference that starts before `line` of `side`, or -1.
    qsizetype previousDifference(Side side, qint64 line) const;

    /// The marks that show this comparison in the pane of `side`: one per difference, in order.
    std::vector<LineMark> marks(Side side) const;

private:
    // The first difference whose start on `side` is after `line`.
    qsizetype firstStartingAfter(Side side, qint64 line) const;

    std::vector<DiffHunk> m_hunks;
    qint64 m_leftLines = 0;
    qint64 m_rightLines = 0;
};
