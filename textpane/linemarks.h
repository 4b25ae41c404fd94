#pragma once

#include <QColor>
#include <QtGlobal>

#include <functional>
#include <utility>
#include <vector>

/// A run of lines that a comparison with another text marked.
struct LineMark
{
    enum class Kind : quint8 {
        Changed, ///< lines that stand where the other text has different ones
        Removed, ///< lines only in this text, shown as taken out (the left pane uses it)
        Added,   ///< lines only in this text, shown as put in (the right pane uses it)
        Gap,     ///< the other text has lines here that this one lacks: lineCount is 0, and a
                 ///< thin rule is drawn at the top edge of firstLine (at the bottom of the last
                 ///< line when firstLine == the document's line count)
    };
    qint64 firstLine = 0;
    qint64 lineCount = 0;
    Kind kind = Kind::Changed;
};

/// The marks of a whole text, in order of firstLine, none overlapping.
struct LineMarks
{
    std::vector<LineMark> marks;
    /// The stretches of `line`'s bytes that differ from its counterpart, as [start, end) byte
    /// offsets from the line's start, in order; asked only for painted lines inside a Changed
    /// run, may be empty (unset: none drawn).
    std::function<std::vector<std::pair<qint64, qint64>>(qint64 line)> changedBytes;
};

/// Where a mark stops counting for a line: past its last line, or for a gap, past the line its
/// rule is drawn on.
inline qint64 lineMarkEnd(const LineMark &mark)
{
    return mark.firstLine + (mark.kind == LineMark::Kind::Gap ? 1 : mark.lineCount);
}

/// The index of the first mark that reaches `line` or lies after it (marks.size() when none), by
/// binary search.
qsizetype firstLineMarkFrom(const std::vector<LineMark> &marks, qint64 line);

/// What a mark of `kind` is drawn in on `paper`, under text in `text`: its lines' background,
/// or with `strong` the stronger shade behind the bytes that differ (and the overview strip's).
/// A hue blended into the paper, kept light or dark enough for the text to stay readable.
QColor lineMarkColour(LineMark::Kind kind, const QColor &paper, const QColor &text, bool strong = false);
