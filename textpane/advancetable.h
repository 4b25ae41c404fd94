#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QHash>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

/// The advance of each character in one font, in 1/64 pixel, as a layout of the font without
/// kerning places it: for summing the width of a long line without laying it out. Boxes (control
/// and stray bytes) have the width of their text; a tab has none here, its width depends on
/// where it stands (see tabDistance()).
class AdvanceTable
{
public:
    explicit AdvanceTable(const QFont &font);

    /// Of a byte below 0x80 (a control byte: its box).
    int ascii(uchar byte) const { return m_ascii[byte]; }
    /// Of a stray byte's box.
    int stray(uchar byte) const { return m_stray[byte & 0x7F]; }
    /// The summed advances of the bytes below 0x80 other than tabs that `p[0, length)` begins
    /// with; their count goes to `*count`.
    qint64 plainRun(const uchar *p, qint64 length, qint64 *count) const
    {
        constexpr std::uint64_t kOnes = 0x0101010101010101;
        constexpr std::uint64_t kHigh = 0x8080808080808080;
        qint64 sum = 0;
        qint64 i = 0;
        // Eight bytes at a time while none is beyond ASCII or a tab; most lines are mostly these.
        for (; i + 8 <= length; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, p + i, sizeof word);
            const std::uint64_t tabs = word ^ (kOnes * '\t');
            if ((word & kHigh) != 0 || ((tabs - kOnes) & ~tabs & kHigh) != 0)
                break;
            sum += qint64(m_ascii[p[i]]) + m_ascii[p[i + 1]] + m_ascii[p[i + 2]] + m_ascii[p[i + 3]]
                   + m_ascii[p[i + 4]] + m_ascii[p[i + 5]] + m_ascii[p[i + 6]] + m_ascii[p[i + 7]];
        }
        for (; i < length && p[i] < 0x80 && p[i] != '\t'; ++i)
            sum += m_ascii[p[i]];
        *count = i;
        return sum;
    }
    int codePoint(char32_t codePoint)
    {
        if (codePoint < m_basic.size() && m_basic[codePoint] >= 0)
            return m_basic[codePoint];
        return measureCodePoint(codePoint);
    }
    /// Tab stops lie at every multiple of this.
    qint64 tabDistance() const { return m_tabDistance; }
    /// A tab at `x` ends at the next stop after it.
    qint64 pastTab(qint64 x) const { return (x / m_tabDistance + 1) * m_tabDistance; }

    static qint64 fromPixels(qreal pixels) { return qRound64(pixels * 64); }
    static qreal toPixels(qint64 units) { return qreal(units) / 64; }

private:
    int measure(const QString &text) const;
    int measureCodePoint(char32_t codePoint);

    QFontMetricsF m_metrics;
    std::array<int, 128> m_ascii {};
    std::array<int, 128> m_stray {};
    std::vector<int> m_basic;     ///< the basic multilingual plane, -1 until measured
    QHash<char32_t, int> m_other; ///< beyond it
    qint64 m_tabDistance = 64;
};
