#include "textpane/lineindex.h"

#include <algorithm>
#include <bit>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// Every count here takes a line end at its first byte: a carriage return is one wherever it
// stands, a line feed only when no carriage return comes just before it (it then belongs to
// that one). A count over [from, to) so looks at one byte before `from` and none after `to`, and
// a CR LF across a block edge belongs to the block of its CR: the line feed that opens the next
// block counts for nothing there. Counts over neighbouring stretches then simply add up.

namespace {
constexpr char kCr = '\r';
constexpr char kLf = '\n';

// A search for one line end counts whole spans of this length at full speed, and looks for the
// exact byte only in the span that holds it.
constexpr qint64 kSpan = 1024;

// The line ends in [p, p + n); `crBefore` tells whether p[-1] is a carriage return.
qint64 countFrom(const char *p, qint64 n, bool crBefore)
{
    if (n <= 0)
        return 0;
    const char *const end = p + n;
    // The first byte's predecessor may lie outside the text; every later one's is at p[-1].
    qint64 count = *p == kCr || (*p == kLf && !crBefore);
    ++p;
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8(kCr);
    const __m128i lf = _mm_set1_epi8(kLf);
    const __m128i zero = _mm_setzero_si128();
    // Byte counters, one for the CRs and one for the LFs that follow no CR.
    __m128i crs = zero;
    __m128i lfs = zero;
    const auto take = [&](const char *at) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at - 1));
        crs = _mm_sub_epi8(crs, _mm_cmpeq_epi8(bytes, cr));
        lfs = _mm_sub_epi8(lfs, _mm_andnot_si128(_mm_cmpeq_epi8(before, cr), _mm_cmpeq_epi8(bytes, lf)));
    };
    const auto empty = [&] {
        const __m128i sums = _mm_sad_epu8(_mm_add_epi8(crs, lfs), zero);
        count += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums));
        crs = lfs = zero;
    };
    while (end - p >= 64) {
        // Each counter gains at most 4 a round, and together at most 255 before they are emptied.
        const char *const stop = p + std::min<qint64>((end - p) / 64, 63) * 64;
        for (; p < stop; p += 64) {
            take(p);
            take(p + 16);
            take(p + 32);
            take(p + 48);
        }
        empty();
    }
    for (; end - p >= 16; p += 16)
        take(p);
    empty();
#endif
    for (; p < end; ++p)
        count += *p == kCr || (*p == kLf && p[-1] != kCr);
    return count;
}

// Bit i is set when p[i] is the first byte of a line end, over the 64 bytes at p.
quint64 lineEndBits(const char *p, bool crBefore)
{
    quint64 cr = 0;
    quint64 lf = 0;
#ifdef __SSE2__
    const __m128i crs = _mm_set1_epi8(kCr);
    const __m128i lfs = _mm_set1_epi8(kLf);
    for (int i = 0; i < 4; ++i) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * i));
        cr |= quint64(quint16(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, crs)))) << (16 * i);
        lf |= quint64(quint16(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lfs)))) << (16 * i);
    }
#else
    for (int i = 0; i < 64; ++i) {
        cr |= quint64(p[i] == kCr) << i;
        lf |= quint64(p[i] == kLf) << i;
    }
#endif
    return cr | (lf & ~((cr << 1) | quint64(crBefore)));
}

// Where the `k`th (from 0) line end in [from, to) of `text` begins, or -1.
qint64 findLineEnd(const char *text, qint64 from, qint64 to, qint64 k, bool crBefore)
{
    while (to - from > kSpan) {
        const qint64 count = countFrom(text + from, kSpan, crBefore);
        if (k < count)
            break;
        k -= count;
        from += kSpan;
        crBefore = text[from - 1] == kCr;
    }
    for (; to - from >= 64; from += 64) {
        quint64 bits = lineEndBits(text + from, crBefore);
        const int count = std::popcount(bits);
        if (k < count) {
            for (; k > 0; --k)
                bits &= bits - 1;
            return from + std::countr_zero(bits);
        }
        k -= count;
        crBefore = text[from + 63] == kCr;
    }
    for (; from < to; ++from) {
        const char c = text[from];
        if (c == kCr || (c == kLf && !crBefore)) {
            if (k == 0)
                return from;
            --k;
        }
        crBefore = c == kCr;
    }
    return -1;
}

// Where the `k`th line end from the back (from 0) in [from, to) of `text` begins: spans are
// counted from `to` back to the one that holds it, which is then searched from its start.
qint64 findLineEndFromBack(const char *text, qint64 from, qint64 to, qint64 k)
{
    while (to - from > kSpan) {
        const qint64 start = to - kSpan;
        const bool crBefore = text[start - 1] == kCr;
        const qint64 count = countFrom(text + start, kSpan, crBefore);
        if (k < count)
            return findLineEnd(text, start, to, count - 1 - k, crBefore);
        k -= count;
        to = start;
    }
    const bool crBefore = from > 0 && text[from - 1] == kCr;
    const qint64 count = countFrom(text + from, to - from, crBefore);
    return k < count ? findLineEnd(text, from, to, count - 1 - k, crBefore) : -1;
}

// Past the line end that begins at `at`: past both bytes of a CR LF.
qint64 pastLineEnd(const char *text, qint64 size, qint64 at)
{
    return text[at] == kCr && at + 1 < size && text[at + 1] == kLf ? at + 2 : at + 1;
}
} // namespace

qint64 countLineEnds(QByteArrayView text)
{
    return countFrom(text.data(), text.size(), false);
}

qint64 offsetPastLineEnd(QByteArrayView text, qint64 nth, bool lfFollows)
{
    if (nth < 0)
        return -1;
    const qint64 at = findLineEnd(text.data(), 0, text.size(), nth, false);
    if (at < 0)
        return -1;
    if (at == text.size() - 1 && text[at] == kCr && lfFollows)
        return at + 2;
    return pastLineEnd(text.data(), text.size(), at);
}

LineIndex::LineIndex(QByteArrayView text)
{
    add(text);
}

void LineIndex::add(QByteArrayView chunk)
{
    if (chunk.isEmpty())
        return;
    // The only allocation comes first, so a failure leaves the index as it was.
    const auto blocks = size_t((m_size + chunk.size() + kBlockSize - 1) / kBlockSize);
    if (blocks > m_before.capacity())
        m_before.reserve(std::max(blocks, 2 * m_before.capacity()));

    const char *p = chunk.data();
    qint64 left = chunk.size();
    while (left > 0) {
        const qint64 inBlock = m_size % kBlockSize;
        if (inBlock == 0)
            m_before.push_back(m_lineEnds);
        const qint64 n = std::min(left, kBlockSize - inBlock);
        m_lineEnds += countFrom(p, n, m_pendingCr);
        m_pendingCr = p[n - 1] == kCr;
        p += n;
        left -= n;
        m_size += n;
    }
}

qint64 LineIndex::lineEndsBefore(QByteArrayView text, qint64 position) const
{
    if (position <= 0)
        return 0;
    if (position >= m_size)
        return m_lineEnds;
    const char *data = text.data();
    const qint64 block = position / kBlockSize;
    const qint64 start = block * kBlockSize;
    const qint64 stop = std::min(start + kBlockSize, m_size);
    // Counted from the nearer end of the block: at most half of it is read.
    if (position - start <= stop - position)
        return m_before[size_t(block)] + countFrom(data + start, position - start, start > 0 && data[start - 1] == kCr);
    const qint64 atStop = size_t(block + 1) < m_before.size() ? m_before[size_t(block + 1)] : m_lineEnds;
    return atStop - countFrom(data + position, stop - position, data[position - 1] == kCr);
}

qint64 LineIndex::positionPastLineEnd(QByteArrayView text, qint64 nth) const
{
    if (nth < 0 || nth >= m_lineEnds)
        return -1;
    const char *data = text.data();
    // The last block that begins with at most `nth` line ends before it holds the one wanted.
    const auto block = qint64(std::upper_bound(m_before.begin(), m_before.end(), nth) - m_before.begin()) - 1;
    const qint64 start = block * kBlockSize;
    const qint64 stop = std::min(start + kBlockSize, m_size);
    const qint64 inBlock = nth - m_before[size_t(block)];
    const qint64 ofBlock = (size_t(block + 1) < m_before.size() ? m_before[size_t(block + 1)] : m_lineEnds) - m_before[size_t(block)];
    // Searched from the nearer end of the block, by count.
    const qint64 at = inBlock < ofBlock / 2
        ? findLineEnd(data, start, stop, inBlock, start > 0 && data[start - 1] == kCr)
        : findLineEndFromBack(data, start, stop, ofBlock - 1 - inBlock);
    Q_ASSERT(at >= 0);
    return pastLineEnd(data, m_size, at);
}
