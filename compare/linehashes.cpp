#include "compare/linehashes.h"

#include <QtEndian>

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15;
constexpr std::uint64_t kFinalMultiplier = 0xFF51AFD7ED558CCD;
constexpr std::uint64_t kOnes = 0x0101010101010101;
constexpr std::uint64_t kHighBits = 0x8080808080808080;

std::uint64_t mix(std::uint64_t state, std::uint64_t word)
{
    state = (state ^ word) * kMultiplier;
    return state ^ (state >> 29);
}

std::uint64_t finish(std::uint64_t state, qsizetype length)
{
    // The length goes in last, so bytes that pad the final word cannot pass for zero bytes.
    state = (state ^ std::uint64_t(length)) * kFinalMultiplier;
    return state ^ (state >> 32);
}

// The high bit of the lowest byte of `word` that is LF or CR is set (higher ones may be set
// falsely); zero when there is none.
std::uint64_t lineEndBits(std::uint64_t word)
{
    const std::uint64_t lf = word ^ (kOnes * '\n');
    const std::uint64_t cr = word ^ (kOnes * '\r');
    return ((lf - kOnes) & ~lf & kHighBits) | ((cr - kOnes) & ~cr & kHighBits);
}

std::uint64_t lowBytes(std::uint64_t word, int count)
{
    return count == 0 ? 0 : word & (~std::uint64_t(0) >> (64 - 8 * count));
}

std::uint64_t loadWord(const char *p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    // Little-endian order everywhere, so a hash does not depend on the machine.
    return qFromLittleEndian(word);
}

std::uint64_t loadPartial(const char *p, qsizetype count)
{
    char bytes[8] = {};
    std::memcpy(bytes, p, size_t(count));
    return loadWord(bytes);
}

} // namespace

std::uint64_t hashLineBytes(const char *bytes, qsizetype length)
{
    std::uint64_t state = 0;
    qsizetype i = 0;
    for (; i + 8 <= length; i += 8)
        state = mix(state, loadWord(bytes + i));
    if (i < length)
        state = mix(state, loadPartial(bytes + i, length - i));
    return finish(state, length);
}

namespace {

// Splits a text into lines and hashes each in the same pass, reading eight bytes at a time.
class LineScanner
{
public:
    LineScanner(const LineFilter *filter, const LineSink &sink)
        : m_filter(filter && filter->isActive() ? filter : nullptr), m_sink(sink)
    {
    }

    void scan(const QList<QByteArrayView> &stretches)
    {
        QByteArray carry; // the start of a line that began in an earlier stretch
        bool afterCr = false; // the stretch before ended in a CR, which an LF here would complete
        for (QByteArrayView stretch : stretches) {
            if (stretch.isEmpty())
                continue;
            const char *p = stretch.data();
            const qsizetype size = stretch.size();
            qsizetype from = afterCr && p[0] == '\n' ? 1 : 0;
            afterCr = false;
            if (!carry.isEmpty()) {
                qsizetype end = from;
                while (end < size && p[end] != '\n' && p[end] != '\r')
                    ++end;
                carry.append(p + from, end - from);
                if (end == size)
                    continue;
                emitLine(carry.constData(), carry.size(), hashLineBytes(carry.constData(), carry.size()), false);
                carry.clear();
                from = end + 1;
                // A CR that ends the stretch may have its LF at the start of the next one.
                if (p[end] == '\r' && from == size)
                    afterCr = true;
                else if (p[end] == '\r' && p[from] == '\n')
                    ++from;
            }
            const qsizetype tail = from + completeLines(p + from, size - from);
            if (tail < size)
                carry = QByteArray(p + tail, size - tail);
            else if (tail > from && p[size - 1] == '\r')
                afterCr = true;
        }
        if (!carry.isEmpty())
            emitLine(carry.constData(), carry.size(), hashLineBytes(carry.constData(), carry.size()), false);
    }

private:
    void emitLine(const char *begin, qsizetype length, std::uint64_t hash, bool lasting)
    {
        if (m_filter) {
            const QByteArrayView key = m_filter->key(QByteArrayView(begin, length), m_scratch);
            hash = hashLineBytes(key.data(), key.size());
        }
        m_sink(QByteArrayView(begin, length), hash, lasting);
    }

    // The lines of [p, p + size) that end there; returns where the rest begins.
    qsizetype completeLines(const char *p, qsizetype size)
    {
        // Each line is read eight bytes at a time from its start, the words hashed as the line
        // end is looked for in them, so hashLineBytes() of the line gives the same value.
        qsizetype start = 0;
        while (start < size) {
            std::uint64_t state = 0;
            qsizetype i = start;
            qsizetype end = -1;
            while (end < 0) {
                const qsizetype left = size - i;
                if (left <= 0)
                    return start; // no line end: the caller decides what the rest is
                const std::uint64_t word = left >= 8 ? loadWord(p + i) : loadPartial(p + i, left);
                // The zero bytes that pad a partial word are no line end.
                const std::uint64_t bits = lineEndBits(word);
                if (bits == 0) {
                    if (left < 8)
                        return start;
                    state = mix(state, word);
                    i += 8;
                    continue;
                }
                const int inWord = std::countr_zero(bits) / 8;
                if (inWord > 0)
                    state = mix(state, lowBytes(word, inWord));
                end = i + inWord;
            }
            const qsizetype length = end - start;
            emitLine(p + start, length, finish(state, length), true);
            start = end + 1;
            if (p[end] == '\r' && start < size && p[start] == '\n')
                ++start;
        }
        return size;
    }

    const LineFilter *m_filter;
    const LineSink &m_sink;
    QByteArray m_scratch;
};

} // namespace

void scanLines(const QList<QByteArrayView> &stretches, const LineFilter *filter, const LineSink &sink)
{
    LineScanner(filter, sink).scan(stretches);
}
