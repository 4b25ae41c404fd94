#include "textpane/linetext.h"

namespace {

constexpr QChar kThinSpace(0x2009);

const char *const kControlNames[32] = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS", "HT", "LF", "VT", "FF", "CR", "SO", "SI",
    "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB", "CAN", "EM", "SUB", "ESC", "FS", "GS", "RS", "US",
};

} // namespace

QString LineText::controlText(uchar byte)
{
    const QLatin1StringView name(byte == 0x7F ? "DEL" : kControlNames[byte & 0x1F]);
    return kThinSpace + name + kThinSpace;
}

QString LineText::strayText(uchar byte)
{
    return kThinSpace + QLatin1Char('x') + QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0'))
           + kThinSpace;
}

LineText::LineText(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const qint64 size = bytes.size();
    m_display.reserve(size);
    m_toDisplay.reserve(size + 1);
    m_toByte.reserve(size + 1);
    qint64 i = 0;
    while (i < size) {
        const uchar byte = p[i];
        if (byte < 0x80 && !isControl(byte)) {
            m_toDisplay.push_back(int(m_display.size()));
            m_toByte.push_back(int(i));
            m_display.append(QLatin1Char(char(byte)));
            ++i;
            continue;
        }
        if (byte < 0x80) {
            addBox(controlText(byte), int(i), BoxKind::Control);
            ++i;
            continue;
        }
        char32_t codePoint;
        const int length = decode(p + i, size - i, &codePoint);
        if (length == 0) {
            addBox(strayText(byte), int(i), BoxKind::Stray);
            ++i;
            continue;
        }
        const int at = int(m_display.size());
        for (int k = 0; k < length; ++k)
            m_toDisplay.push_back(at);
        const QChar units[2] = {QChar::highSurrogate(codePoint), QChar::lowSurrogate(codePoint)};
        if (QChar::requiresSurrogates(codePoint)) {
            m_display.append(units, 2);
            m_toByte.push_back(int(i));
            m_toByte.push_back(int(i));
        } else {
            m_display.append(QChar(char16_t(codePoint)));
            m_toByte.push_back(int(i));
        }
        i += length;
    }
    m_toDisplay.push_back(int(m_display.size()));
    m_toByte.push_back(int(size));
}

void LineText::addBox(const QString &text, int byte, BoxKind kind)
{
    const int at = int(m_display.size());
    m_toDisplay.push_back(at);
    m_boxes.push_back({at, int(text.size()), kind});
    m_display.append(text);
    for (qsizetype k = 0; k < text.size(); ++k)
        m_toByte.push_back(byte);
}

int LineText::displayIndex(int byte) const
{
    return m_toDisplay[qBound(0, byte, byteCount())];
}

int LineText::byteOffset(int index) const
{
    index = qBound(0, index, int(m_display.size()));
    const int byte = m_toByte[index];
    const int start = m_toDisplay[byte];
    if (index == start)
        return byte;
    // Inside a character: find where it ends and take the nearer edge.
    int next = byte + 1;
    while (next < byteCount() && m_toDisplay[next] == start)
        ++next;
    const int end = m_toDisplay[next];
    return index - start <= end - index ? byte : next;
}
