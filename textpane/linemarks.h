#pragma once

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
