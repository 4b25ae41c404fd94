#include "textpane/longline.h"

#include "textpane/advancetable.h"
#include "textpane/linetext.h"
#include "textpane/textdocument.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace {

// The most the measuring pass asks of the document at once.
constexpr qint64 kReadBytes = 64 * 1024;
// Bytes either side of a cut that decide whether a grapheme ends there.
constexpr qint64 kLookAround = 32;
// How far past a segment's target length a cut between two ASCII bytes is looked for.
constexpr qint64 kQuickSearch = 256;

bool isContinuation(uchar byte)
{
    return (byte & 0xC0) == 0x80;
}

// Whether a grapheme ends before p[at]; p[lo, hi) is readable.
bool graphemeEndsAt(const uchar *p, qint64 lo, qint64 hi, qint64 at)
{
    if (p[at] < 0x80 && p[at - 1] < 0x80)
        return true; // no rule joins two ASCII characters but CR LF, and a line holds no line end
    if (isContinuation(p[at]))
        return false;
    lo = std::max(lo, at - kLookAround);
    hi = std::min(hi, at + kLookAround);
    while (lo < at && isContinuation(p[lo]))
        ++lo;
    QString text;
    qsizetype index = 0;
    for (qint64 i = lo; i < hi;) {
        if (i == at)
            index = text.size();
        char32_t codePoint;
        const int length = LineText::decode(p + i, hi - i, &codePoint);
        if (length == 0) {
            text.append(QChar::ReplacementCharacter);
            ++i;
        } else {
            text.append(QString::fromUcs4(&codePoint, 1));
            i += length;
        }
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(index);
    return finder.isAtBoundary();
}

} // namespace

LongLine::LongLine(const TextDocument &document, qint64 lineStart, qint64 length, AdvanceTable &advances,
                   qint64 upTo)
    : m_length(length)
{
    m_segments.reserve(size_t(length / kSegmentBytes + 1));
    measureOn(document, lineStart, {upTo, -1}, advances);
}

qint64 LongLine::width() const
{
    if (isMeasured() || m_measured == 0)
        return m_measuredX;
    return m_measuredX + qint64(double(m_length - m_measured) * double(m_measuredX) / double(m_measured));
}

void LongLine::measureTo(const TextDocument &document, qint64 lineStart, qint64 offset, AdvanceTable &advances)
{
    if (offset >= m_measured)
        measureOn(document, lineStart, {offset, -1}, advances);
}

void LongLine::measureToX(const TextDocument &document, qint64 lineStart, qint64 x, AdvanceTable &advances)
{
    if (x >= m_measuredX)
        measureOn(document, lineStart, {-1, x}, advances);
}

void LongLine::measureOn(const TextDocument &document, qint64 lineStart, Reach reach, AdvanceTable &advances)
{
    if (isMeasured())
        return;
    // The pass goes to the line's end, as a whole one does, so it cuts where that one would.
    const qint64 before = m_measured;
    m_measuredX = measure(document, lineStart, m_measured, m_length, m_measuredX, advances, m_segments, reach,
                          &m_measured);
    if (m_measured == before)
        m_measured = m_length; // the document is shorter than it said: nothing more to measure
}

qint64 LongLine::segmentEnd(int index) const
{
    return index + 1 < segmentCount() ? m_segments[size_t(index) + 1].start : m_measured;
}

qint64 LongLine::segmentEndX(int index) const
{
    return index + 1 < segmentCount() ? m_segments[size_t(index) + 1].x : m_measuredX;
}

int LongLine::segmentAt(qint64 offset) const
{
    const auto it = std::upper_bound(m_segments.begin(), m_segments.end(), offset,
                                     [](qint64 value, const Segment &s) { return value < s.start; });
    return std::max(0, int(it - m_segments.begin()) - 1);
}

int LongLine::segmentAtX(qint64 x) const
{
    const auto it = std::upper_bound(m_segments.begin(), m_segments.end(), x,
                                     [](qint64 value, const Segment &s) { return value < s.x; });
    return std::max(0, int(it - m_segments.begin()) - 1);
}

qint64 LongLine::summedX(const TextDocument &document, qint64 lineStart, qint64 offset,
                         AdvanceTable &advances) const
{
    const Segment &s = segment(segmentAt(offset));
    std::vector<Segment> scratch;
    return offset <= s.start ? s.x : measure(document, lineStart, s.start, offset, s.x, advances, scratch);
}

// Cuts [from, to) into segments, the first at `x`, and returns the x where the last one ends;
// `*end` is where that is. `from` lies at a character's start and `to` at a grapheme boundary.
// Short of `to`, it stops after the segment that brings it to `reach`.
qint64 LongLine::measure(const TextDocument &document, qint64 lineStart, qint64 from, qint64 to, qint64 x,
                         AdvanceTable &advances, std::vector<Segment> &out, Reach reach, qint64 *end) const
{
    QByteArray buffer;
    qint64 bufferAt = from; // the line offset of buffer[0]
    qint64 start = from;
    while (start < to && (start == from || start <= reach.offset || x <= reach.x)) {
        const qint64 needed = std::min(to, start + kMaxSegmentBytes + kLookAround);
        if (bufferAt + buffer.size() < needed) {
            bufferAt = start;
            buffer = document.bytes(lineStart + start, std::min(to - start, std::max(kReadBytes, needed - start)));
            if (buffer.isEmpty())
                break; // the document is shorter than it said; stop rather than loop
        }
        const auto *p = reinterpret_cast<const uchar *>(buffer.constData()) + (start - bufferAt);
        const qint64 available = bufferAt + buffer.size() - start;
        const qint64 length = std::min(to - start, available);
        // The tail of the stretch stays one segment, so measuring one segment again keeps it whole.
        const bool whole = start + length == to && length <= kMaxSegmentBytes + 4;
        const qint64 target = whole ? length : std::min(length, kSegmentBytes);
        const qint64 hardEnd = std::min(length, kMaxSegmentBytes);
        const qint64 lookEnd = std::min(available, hardEnd + kLookAround);
        Segment segment {start, x, false};
        qint64 i = 0;
        auto step = [&] {
            const uchar byte = p[i];
            if (byte < 0x80) {
                if (byte == '\t') {
                    x = advances.pastTab(x);
                    segment.tabs = true;
                } else {
                    x += advances.ascii(byte);
                }
                ++i;
                return;
            }
            char32_t codePoint;
            const int n = LineText::decode(p + i, available - i, &codePoint);
            if (n == 0) {
                x += advances.stray(byte);
                ++i;
            } else {
                x += advances.codePoint(codePoint);
                i += n;
            }
        };
        while (i < target) {
            qint64 count;
            x += advances.plainRun(p + i, target - i, &count);
            i += count;
            if (i < target)
                step();
        }
        // Between two ASCII bytes is always a grapheme boundary (a line holds no CR LF); look
        // for one first, and only without one ask the boundary rules.
        const qint64 quickEnd = std::min(hardEnd, target + kQuickSearch);
        while (i < quickEnd && !(p[i] < 0x80 && p[i - 1] < 0x80))
            step();
        while (i < hardEnd && !graphemeEndsAt(p, 0, lookEnd, i))
            step();
        out.push_back(segment);
        start += i;
    }
    if (end != nullptr)
        *end = start;
    return x;
}

int LongLine::edit(const TextDocument &document, qint64 lineStart, qint64 from, qint64 removed, qint64 inserted,
                   AdvanceTable &advances)
{
    const qint64 delta = inserted - removed;
    const qint64 newLength = m_length + delta;
    // Beyond the bytes that decided the last cut, an edit changes nothing measured.
    if (!isMeasured() && from > m_measured + kMaxSegmentBytes + kLookAround) {
        m_length = newLength;
        return segmentCount();
    }
    // A character typed before a combining mark, or one after it, moves the grapheme boundary:
    // take in the segment before the edit when it begins there, and always the one after.
    int first = segmentAt(from);
    if (first > 0 && m_segments[size_t(first)].start == from)
        --first;
    const int last = std::min(segmentAt(from + removed) + 1, segmentCount() - 1);
    if (!isMeasured() && last == segmentCount() - 1) {
        // The edit reaches where the pass stopped: measure again from its first segment as far
        // as before, going on to the line's end as a whole pass would, so it cuts the same.
        const qint64 reach = from >= m_measured ? m_measured : std::max(m_measured + delta, from + inserted);
        const Segment restart = m_segments[size_t(first)];
        m_segments.erase(m_segments.begin() + first, m_segments.end());
        m_length = newLength;
        m_measured = restart.start;
        m_measuredX = restart.x;
        measureOn(document, lineStart, {reach - 1, -1}, advances);
        return first;
    }
    const qint64 oldEnd = segmentEnd(last);
    const qint64 oldEndX = segmentEndX(last);

    std::vector<Segment> fresh;
    const qint64 endX = measure(document, lineStart, m_segments[size_t(first)].start, oldEnd + delta,
                                m_segments[size_t(first)].x, advances, fresh);
    m_segments.erase(m_segments.begin() + first, m_segments.begin() + last + 1);
    m_segments.insert(m_segments.begin() + first, fresh.begin(), fresh.end());
    m_length = newLength;
    m_measured += delta;

    // What follows shifts; a tab there ends at a stop of its own, so a segment with tabs is
    // measured again until the shift is a whole number of tab stops, after which tabs land where
    // they did and the rest only moves.
    qint64 shift = endX - oldEndX;
    for (size_t i = size_t(first) + fresh.size(); i < m_segments.size(); ++i) {
        Segment &segment = m_segments[i];
        const qint64 oldNextX = i + 1 < m_segments.size() ? m_segments[i + 1].x : m_measuredX;
        segment.start += delta;
        segment.x += shift;
        if (shift % advances.tabDistance() != 0 && segment.tabs) {
            const qint64 end = i + 1 < m_segments.size() ? m_segments[i + 1].start + delta : m_measured;
            std::vector<Segment> one;
            const qint64 nextX = measure(document, lineStart, segment.start, end, segment.x, advances, one);
            shift = nextX - oldNextX;
        }
    }
    m_measuredX += shift;
    return first;
}
