#include "panes/textdecoding.h"

#include "panes/rtfreader.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace {

constexpr quint64 kHighBits = 0x8080808080808080ull;

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence at `p` (2 to 4), or 0 when the lead byte starts none.
// Overlong forms, surrogates and code points above U+10FFFF are not well formed.
int sequenceLength(const unsigned char *p, const unsigned char *end)
{
    const unsigned char lead = p[0];
    const qsizetype left = end - p;
    if (lead >= 0xC2 && lead <= 0xDF)
        return left >= 2 && isContinuation(p[1]) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (left < 3 || !isContinuation(p[1]) || !isContinuation(p[2]))
            return 0;
        if ((lead == 0xE0 && p[1] < 0xA0) || (lead == 0xED && p[1] > 0x9F))
            return 0;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (left < 4 || !isContinuation(p[1]) || !isContinuation(p[2]) || !isContinuation(p[3]))
            return 0;
        if ((lead == 0xF0 && p[1] < 0x90) || (lead == 0xF4 && p[1] > 0x8F))
            return 0;
        return 4;
    }
    return 0;
}

// Whether [p, end) is a lead byte and fewer continuation bytes than its sequence needs: whether
// they form one is up to the bytes still to come.
bool isOpenSequence(const unsigned char *p, const unsigned char *end)
{
    if (p == end)
        return false;
    const unsigned char lead = p[0];
    const int needed = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                     : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    return end - p < needed && std::all_of(p + 1, end, isContinuation);
}

bool startsWith(QByteArrayView data, QByteArrayView prefix)
{
    return data.size() >= prefix.size() && std::memcmp(data.data(), prefix.data(), prefix.size()) == 0;
}

// The characters the code page puts at 0x80-0x9F; 0 marks the five bytes it leaves undefined.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

QByteArray decodeWith(QStringConverter::Encoding encoding, QByteArrayView data)
{
    // The decoder drops the byte-order mark; a broken unit becomes U+FFFD rather than vanishing.
    QStringDecoder decoder(encoding);
    return QString(decoder(data)).toUtf8();
}

} // namespace

void appendUtf8(QByteArray &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

Utf8Census countUtf8(QByteArrayView data)
{
    Utf8Census census;
    const auto *p = reinterpret_cast<const unsigned char *>(data.data());
    const auto *end = p + data.size();
    while (p < end) {
        // Text is mostly ASCII: 32 bytes a step while no high bit is set, then 8.
        if (end - p >= 32) {
            quint64 words[4];
            std::memcpy(words, p, sizeof words);
            if (((words[0] | words[1] | words[2] | words[3]) & kHighBits) == 0) {
                p += 32;
                continue;
            }
        }
        if (end - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, sizeof word);
            if ((word & kHighBits) == 0) {
                p += 8;
                continue;
            }
        }
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const int length = sequenceLength(p, end);
        if (length == 0) {
            ++census.invalid;
            ++p;
        } else {
            ++census.multiByte;
            p += length;
        }
    }
    return census;
}

// Bytes enough for every signature asked about below.
constexpr qsizetype kHeadSize = 5;

TextEncoding detectEncoding(QByteArrayView head, Utf8Census census)
{
    // UTF-32LE's mark begins with UTF-16LE's, so it is asked first.
    if (startsWith(head, QByteArrayView("\xFF\xFE\0\0", 4)))
        return TextEncoding::Utf32LE;
    if (startsWith(head, QByteArrayView("\0\0\xFE\xFF", 4)))
        return TextEncoding::Utf32BE;
    if (startsWith(head, "\xFF\xFE"))
        return TextEncoding::Utf16LE;
    if (startsWith(head, "\xFE\xFF"))
        return TextEncoding::Utf16BE;
    if (startsWith(head, "{\\rtf"))
        return TextEncoding::RichText;
    return census.invalid > census.multiByte ? TextEncoding::Windows1252 : TextEncoding::Utf8;
}

TextEncoding detectEncoding(QByteArrayView data)
{
    return detectEncoding(data.first(std::min(data.size(), kHeadSize)), countUtf8(data));
}

void Utf8Counter::add(QByteArrayView piece)
{
    // A cut is made only before a lead byte, which no well-formed sequence crosses, so counting
    // up to it and from it gives the census of the whole. Bytes are held back only while they are
    // the start of a sequence that the bytes still to come may complete; anything else is decided
    // at once, as the whole-text scan decides it.
    const auto *bytes = reinterpret_cast<const unsigned char *>(piece.data());
    qsizetype from = 0;
    if (!m_tail.isEmpty()) {
        const qsizetype taken = std::min<qsizetype>(piece.size(), 4 - m_tail.size());
        m_tail.append(piece.first(taken));
        const auto *begin = reinterpret_cast<const unsigned char *>(m_tail.constData());
        const auto *end = begin + m_tail.size();
        if (isOpenSequence(begin, end))
            return; // the piece is used up and the sequence still open
        const qsizetype held = m_tail.size() - taken;
        if (const int length = sequenceLength(begin, end)) {
            ++m_census.multiByte;
            from = length - held;
        } else {
            // The lead breaks, and what was held after it are continuation bytes: each is stray.
            m_census.invalid += held;
        }
        m_tail.clear();
    }
    qsizetype cut = piece.size();
    for (qsizetype back = 1; back <= 3 && back <= piece.size() - from; ++back) {
        const unsigned char *p = bytes + piece.size() - back;
        if (!isContinuation(*p)) {
            if (isOpenSequence(p, p + back))
                cut = piece.size() - back;
            break;
        }
    }
    const Utf8Census counted = countUtf8(piece.sliced(from, cut - from));
    m_census.multiByte += counted.multiByte;
    m_census.invalid += counted.invalid;
    m_tail = piece.sliced(cut).toByteArray();
}

Utf8Census Utf8Counter::census() const
{
    const Utf8Census tail = countUtf8(m_tail);
    return {m_census.multiByte + tail.multiByte, m_census.invalid + tail.invalid};
}

void EncodingScan::add(QByteArrayView piece)
{
    if (m_head.size() < kHeadSize)
        m_head.append(piece.first(std::min(piece.size(), kHeadSize - m_head.size())));
    m_counter.add(piece);
}

QByteArray windows1252ToUtf8(QByteArrayView data)
{
    QByteArray out;
    out.reserve(data.size() + data.size() / 8);
    for (const char byte : data) {
        const auto b = static_cast<unsigned char>(byte);
        if (b < 0x80)
            out += byte;
        else if (b < 0xA0 && kWindows1252High[b - 0x80] != 0)
            appendUtf8(out, kWindows1252High[b - 0x80]);
        else
            appendUtf8(out, b);
    }
    return out;
}

std::optional<QByteArray> paneTextFromFile(QByteArrayView raw)
{
    return paneTextFromFile(raw, detectEncoding(raw));
}

std::optional<QByteArray> paneTextFromFile(QByteArrayView raw, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return std::nullopt;
    case TextEncoding::Utf16LE:
        return decodeWith(QStringConverter::Utf16LE, raw);
    case TextEncoding::Utf16BE:
        return decodeWith(QStringConverter::Utf16BE, raw);
    case TextEncoding::Utf32LE:
        return decodeWith(QStringConverter::Utf32LE, raw);
    case TextEncoding::Utf32BE:
        return decodeWith(QStringConverter::Utf32BE, raw);
    case TextEncoding::Windows1252:
        return windows1252ToUtf8(raw);
    case TextEncoding::RichText:
        return rtfToPlainText(raw);
    }
    return std::nullopt;
}
