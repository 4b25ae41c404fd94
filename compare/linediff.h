#pragma once

#include <QtGlobal>

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

/// One place where two sequences of lines differ: the left lines [leftStart, leftStart +
/// leftCount) stand where the right has [rightStart, rightStart + rightCount). One of the counts
/// may be 0 (lines only on one side). Between two hunks, and around them, the lines are equal.
struct DiffHunk
{
    qsizetype leftStart = 0;
    qsizetype leftCount = 0;
    qsizetype rightStart = 0;
    qsizetype rightCount = 0;

    friend bool operator==(const DiffHunk &, const DiffHunk &) = default;
};

/// The hunks that turn `left` into `right`, in order, none empty and no two touching. Lines are
/// compared by id: small numbers, as a LineInterner gives, since tables are sized by the largest.
/// Runs of equal lines are anchored on the rarest line they share, which reads well and is fast;
/// where every shared line is common, the script is a minimal one (see diffLinesMinimal()). When
/// `*stop` becomes true the work ends early and the result is incomplete, for the caller to
/// discard.
std::vector<DiffHunk> diffLines(std::span<const std::uint32_t> left,
                                std::span<const std::uint32_t> right,
                                const std::atomic<bool> *stop = nullptr);

/// As diffLines(), but always with the fewest changed lines (Myers' O(ND) method in linear
/// space): slower where the texts differ much.
std::vector<DiffHunk> diffLinesMinimal(std::span<const std::uint32_t> left,
                                       std::span<const std::uint32_t> right,
                                       const std::atomic<bool> *stop = nullptr);
