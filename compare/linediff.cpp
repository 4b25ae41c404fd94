// The order of operation of diffLines():
// 1. A region (at first both sequences whole) loses the lines it begins and ends with on both
//    sides; what is left on one side only is a hunk.
// 2. The left lines of the region are counted. Of the runs of equal lines the two sides share,
//    the one whose rarest line is rarest in the left region (the longer on a tie) becomes the
//    anchor, if that line occurs there at most kMaxOccurrences times.
// 3. The regions before and after the anchor are done the same way, in order, so the hunks come
//    out in order.
// 4. A region without an anchor but with shared lines goes to the minimal diff; one without any
//    shared line is a hunk.

#include "compare/linediff.h"

#include "compare/hugepages.h"

#include <algorithm>
#include <limits>

namespace {

using Ids = std::span<const std::uint32_t>;

// Lines more frequent than this are poor anchors: they match in too many places, and trying
// each costs time.
constexpr std::uint32_t kMaxOccurrences = 64;

bool stopped(const std::atomic<bool> *stop)
{
    return stop != nullptr && stop->load(std::memory_order_relaxed);
}

struct Region
{
    qsizetype leftBegin;
    qsizetype leftEnd;
    qsizetype rightBegin;
    qsizetype rightEnd;

    qsizetype leftSize() const { return leftEnd - leftBegin; }
    qsizetype rightSize() const { return rightEnd - rightBegin; }
};

void trimCommonEnds(Ids left, Ids right, Region &region)
{
    while (region.leftBegin < region.leftEnd && region.rightBegin < region.rightEnd
           && left[size_t(region.leftBegin)] == right[size_t(region.rightBegin)]) {
        ++region.leftBegin;
        ++region.rightBegin;
    }
    while (region.leftBegin < region.leftEnd && region.rightBegin < region.rightEnd
           && left[size_t(region.leftEnd - 1)] == right[size_t(region.rightEnd - 1)]) {
        --region.leftEnd;
        --region.rightEnd;
    }
}

// Collects hunks in order, joining one that touches the one before.
class Script
{
public:
    void add(const Region &region)
    {
        if (region.leftSize() == 0 && region.rightSize() == 0)
            return;
        if (!m_hunks.empty()) {
            DiffHunk &last = m_hunks.back();
            if (last.leftStart + last.leftCount == region.leftBegin
                && last.rightStart + last.rightCount == region.rightBegin) {
                last.leftCount += region.leftSize();
                last.rightCount += region.rightSize();
                return;
            }
        }
        m_hunks.push_back({region.leftBegin, region.leftSize(), region.rightBegin, region.rightSize()});
    }
    std::vector<DiffHunk> take() { return std::move(m_hunks); }

private:
    std::vector<DiffHunk> m_hunks;
};

class MinimalDiff
{
public:
    MinimalDiff(Ids left, Ids right, Script &script, const std::atomic<bool> *stop)
        : m_left(left), m_right(right), m_script(script), m_stop(stop)
    {
    }

    void run(Region region)
    {
        trimCommonEnds(m_left, m_right, region);
        if (stopped(m_stop))
            return;
        if (region.leftSize() == 0 || region.rightSize() == 0) {
            m_script.add(region);
            return;
        }
        qsizetype x = 0;
        qsizetype y = 0;
        // Both sides are left with a step on an optimal path, so each half is smaller.
        if (!findSplit(region, &x, &y) || (x == 0 && y == 0)
            || (x == region.leftSize() && y == region.rightSize())) {
            m_script.add(region);
            return;
        }
        run({region.leftBegin, region.leftBegin + x, region.rightBegin, region.rightBegin + y});
        run({region.leftBegin + x, region.leftEnd, region.rightBegin + y, region.rightEnd});
    }

private:
    // A point (x, y), relative to the region's start, on a shortest edit path through it, found
    // by running the search from both ends until the two meet; false when the sides share no line.
    bool findSplit(const Region &region, qsizetype *splitX, qsizetype *splitY)
    {
        const std::uint32_t *a = m_left.data() + region.leftBegin;
        const std::uint32_t *b = m_right.data() + region.rightBegin;
        const qsizetype n = region.leftSize();
        const qsizetype m = region.rightSize();
        const qsizetype maxD = (n + m + 1) / 2;
        const qsizetype offset = maxD;
        const size_t length = size_t(2 * maxD + 2);
        // The furthest x reached on each diagonal k = x - y, from the start and from the end.
        m_forward.assign(length, -1);
        m_backward.assign(length, -1);
        m_forward[size_t(offset + 1)] = 0;
        m_backward[size_t(offset + 1)] = 0;
        const qsizetype delta = n - m;
        const bool checkOnForward = (delta % 2) != 0;
        // Diagonals that have run off the edge of the region are not tried again.
        qsizetype forwardStart = 0, forwardEnd = 0, backwardStart = 0, backwardEnd = 0;
        for (qsizetype d = 0; d < maxD; ++d) {
            if (stopped(m_stop))
                return false;
            for (qsizetype k = -d + forwardStart; k <= d - forwardEnd; k += 2) {
                const size_t at = size_t(offset + k);
                qsizetype x = (k == -d || (k != d && m_forward[at - 1] < m_forward[at + 1]))
                    ? m_forward[at + 1]
                    : m_forward[at - 1] + 1;
                qsizetype y = x - k;
                while (x < n && y < m && a[x] == b[y]) {
                    ++x;
                    ++y;
                }
                m_forward[at] = x;
                if (x > n) {
                    forwardEnd += 2;
                } else if (y > m) {
                    forwardStart += 2;
                } else if (checkOnForward) {
                    const qsizetype other = offset + delta - k;
                    if (other >= 0 && other < qsizetype(length) && m_backward[size_t(other)] != -1
                        && x >= n - m_backward[size_t(other)]) {
                        *splitX = x;
                        *splitY = y;
                        return true;
                    }
                }
            }
            for (qsizetype k = -d + backwardStart; k <= d - backwardEnd; k += 2) {
                const size_t at = size_t(offset + k);
                qsizetype x = (k == -d || (k != d && m_backward[at - 1] < m_backward[at + 1]))
                    ? m_backward[at + 1]
                    : m_backward[at - 1] + 1;
                qsizetype y = x - k;
                while (x < n && y < m && a[n - x - 1] == b[m - y - 1]) {
                    ++x;
                    ++y;
                }
                m_backward[at] = x;
                if (x > n) {
                    backwardEnd += 2;
                } else if (y > m) {
                    backwardStart += 2;
                } else if (!checkOnForward) {
                    const qsizetype other = offset + delta - k;
                    if (other >= 0 && other < qsizetype(length) && m_forward[size_t(other)] != -1) {
                        const qsizetype forwardX = m_forward[size_t(other)];
                        const qsizetype forwardY = offset + forwardX - other;
                        if (forwardX >= n - x) {
                            *splitX = forwardX;
                            *splitY = forwardY;
                            return true;
                        }
                    }
                }
            }
        }
        return false;
    }

    Ids m_left;
    Ids m_right;
    Script &m_script;
    const std::atomic<bool> *m_stop;
    std::vector<qsizetype> m_forward;
    std::vector<qsizetype> m_backward;
};

// Line positions are kept as Index: 32 bits while the sequences are short enough, so the tables
// of a big comparison take half the memory.
template<typename Index>
class HistogramDiff
{
public:
    HistogramDiff(Ids left, Ids right, Script &script, const std::atomic<bool> *stop)
        : m_left(left), m_right(right), m_script(script), m_stop(stop),
          m_minimal(left, right, script, stop), m_next(left.size(), -1)
    {
        std::uint32_t ids = 0;
        for (std::uint32_t id : left)
            ids = std::max(ids, id + 1);
        for (std::uint32_t id : right)
            ids = std::max(ids, id + 1);
        m_count.assign(ids, 0);
        m_head.assign(ids, -1);
    }

    void run()
    {
        // A stack rather than recursion: a long file may be split many times over.
        std::vector<Region> pending{{0, qsizetype(m_left.size()), 0, qsizetype(m_right.size())}};
        while (!pending.empty() && !stopped(m_stop)) {
            Region region = pending.back();
            pending.pop_back();
            trimCommonEnds(m_left, m_right, region);
            if (region.leftSize() == 0 || region.rightSize() == 0) {
                m_script.add(region);
                continue;
            }
            Region anchor{};
            bool frequentShared = false;
            if (findAnchor(region, &anchor, &frequentShared)) {
                pending.push_back({anchor.leftEnd, region.leftEnd, anchor.rightEnd, region.rightEnd});
                pending.push_back({region.leftBegin, anchor.leftBegin, region.rightBegin, anchor.rightBegin});
            } else if (frequentShared) {
                m_minimal.run(region);
            } else {
                m_script.add(region);
            }
        }
    }

private:
    bool findAnchor(const Region &region, Region *anchor, bool *frequentShared)
    {
        const auto left = [this](qsizetype i) { return m_left[size_t(i)]; };
        const auto right = [this](qsizetype i) { return m_right[size_t(i)]; };
        // Built from the end, so each line's chain of positions runs forwards.
        for (qsizetype i = region.leftEnd - 1; i >= region.leftBegin; --i) {
            const std::uint32_t id = left(i);
            ++m_count[id];
            m_next[size_t(i)] = m_head[id];
            m_head[id] = Index(i);
        }

        std::uint32_t lowest = kMaxOccurrences;
        qsizetype bestLength = 0;
        bool found = false;
        for (qsizetype r = region.rightBegin; r < region.rightEnd;) {
            const std::uint32_t id = right(r);
            const std::uint32_t count = m_count[id];
            qsizetype nextRight = r + 1;
            if (count > kMaxOccurrences)
                *frequentShared = true;
            if (count == 0 || count > lowest) {
                r = nextRight;
                continue;
            }
            for (qsizetype l = m_head[id]; l != -1;) {
                qsizetype leftBegin = l, rightBegin = r, leftEnd = l + 1, rightEnd = r + 1;
                std::uint32_t rarest = count;
                while (leftBegin > region.leftBegin && rightBegin > region.rightBegin
                       && left(leftBegin - 1) == right(rightBegin - 1)) {
                    --leftBegin;
                    --rightBegin;
                    rarest = std::min(rarest, m_count[left(leftBegin)]);
                }
                while (leftEnd < region.leftEnd && rightEnd < region.rightEnd
                       && left(leftEnd) == right(rightEnd)) {
                    rarest = std::min(rarest, m_count[left(leftEnd)]);
                    ++leftEnd;
                    ++rightEnd;
                }
                // The rest of this run on the right holds no better start.
                nextRight = std::max(nextRight, rightEnd);
                if (leftEnd - leftBegin > bestLength || rarest < lowest) {
                    *anchor = {leftBegin, leftEnd, rightBegin, rightEnd};
                    bestLength = leftEnd - leftBegin;
                    lowest = rarest;
                    found = true;
                }
                do
                    l = m_next[size_t(l)];
                while (l != -1 && l < leftEnd);
            }
            r = nextRight;
        }

        for (qsizetype i = region.leftBegin; i < region.leftEnd; ++i) {
            m_count[left(i)] = 0;
            m_head[left(i)] = -1;
        }
        return found;
    }

    Ids m_left;
    Ids m_right;
    Script &m_script;
    const std::atomic<bool> *m_stop;
    MinimalDiff m_minimal;
    HugeVector<std::uint32_t> m_count;
    HugeVector<Index> m_head;
    HugeVector<Index> m_next;
};

} // namespace

std::vector<DiffHunk> diffLines(Ids left, Ids right, const std::atomic<bool> *stop)
{
    Script script;
    constexpr size_t kShort = size_t(std::numeric_limits<std::int32_t>::max());
    if (left.size() < kShort && right.size() < kShort)
        HistogramDiff<std::int32_t>(left, right, script, stop).run();
    else
        HistogramDiff<qsizetype>(left, right, script, stop).run();
    return script.take();
}

std::vector<DiffHunk> diffLinesMinimal(Ids left, Ids right, const std::atomic<bool> *stop)
{
    Script script;
    MinimalDiff(left, right, script, stop).run({0, qsizetype(left.size()), 0, qsizetype(right.size())});
    return script.take();
}
