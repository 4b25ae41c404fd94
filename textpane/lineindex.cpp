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

// A search for one line end counts whole spans of this length at full speed, then looks byte by
// byte only into the span that holds it.
constexpr qint64 kSpan = 1024;

// The line ends in [p, p + n); `crBefore` tells whether p[-1] is a carriage return.
qint64 countFrom(const char *p, qint64 n, bool crBefore)
{
    qint64 count = 0;
    const char *const end = p + n;
#ifdef __SSE2__
    if (n >= 16) {
        const __m128i cr = _mm_set1_epi8(kCr);
        const __m128i lf = _mm_set1_epi8(kLf);
        const __m128i zero = _mm_setzero_si128();
        // Only its top byte is read: whether the byte before the next sixteen is a CR.
        __m128i lastCr = _mm_set_epi8(crBefore ? -1 : 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
        while (end - p >= 16) {
            // Each byte counter gains at most one a round, so they are emptied every 255 rounds.
            const char *const stop = p + std::min<qint64>((end - p) / 16, 255) * 16;
            __m128i counts = zero;
            for (; p < stop; p += 16) {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
                const __m128i isCr = _mm_cmpeq_epi8(bytes, cr);
                const __m128i isLf = _mm_cmpeq_epi8(bytes, lf);
                const __m128i afterCr = _mm_or_si128(_mm_slli_si128(isCr, 1), _mm_srli_si128(lastCr, 15));
                counts = _mm_sub_epi8(counts, isCr);
                counts = _mm_sub_epi8(counts, _mm_andnot_si128(afterCr, isLf));
                lastCr = isCr;
            }
            const __m128i sums = _mm_sad_epu8(counts, zero);
            count += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums));
        }
        crBefore = p[-1] == kCr;
    }
#endif
    for (; p < end; ++p) {
        const char c = *p;
        count += c == kCr || (c == kLf && !crBefore);
        crBefore = c == kCr;
    }
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
    const qint64 at = findLineEnd(data, start, stop, nth - m_before[size_t(block)], start > 0 && data[start - 1] == kCr);
    Q_ASSERT(at >= 0);
    return pastLineEnd(data, m_size, at);
}
