#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QHash>

#include <array>
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
