#include "textpane/advancetable.h"

#include "textpane/linetext.h"

#include <algorithm>

namespace {

constexpr int kTabWidthInSpaces = 8;

} // namespace

AdvanceTable::AdvanceTable(const QFont &font)
    : m_metrics(font)
    , m_basic(0x10000, -1)
{
    for (int byte = 0; byte < 128; ++byte) {
        const auto b = uchar(byte);
        m_ascii[b] = LineText::isControl(b) ? measure(LineText::controlText(b)) : measure(QString(QLatin1Char(char(b))));
        m_stray[b] = measure(LineText::strayText(uchar(0x80 | b)));
    }
    m_ascii['\t'] = 0;
    std::copy(m_ascii.begin(), m_ascii.end(), m_basic.begin());
    m_tabDistance = qMax<qint64>(1, qint64(m_ascii[' ']) * kTabWidthInSpaces);
}

int AdvanceTable::measure(const QString &text) const
{
    int sum = 0;
    // Character by character, as without kerning a layout adds them up.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size();
        sum += int(fromPixels(m_metrics.horizontalAdvance(text.mid(i, pair ? 2 : 1))));
        i += pair;
    }
    return sum;
}

int AdvanceTable::measureCodePoint(char32_t codePoint)
{
    if (codePoint < 0x80)
        return m_ascii[codePoint];
    const auto it = m_other.constFind(codePoint);
    if (it != m_other.constEnd())
        return *it;
    int advance = 0;
    const QChar::Category category = QChar::category(codePoint);
    // Marks sit on the character before them.
    if (category != QChar::Mark_NonSpacing && category != QChar::Mark_Enclosing)
        advance = measure(QString::fromUcs4(&codePoint, 1));
    if (codePoint < m_basic.size())
        m_basic[codePoint] = advance;
    else
        m_other.insert(codePoint, advance);
    return advance;
}
