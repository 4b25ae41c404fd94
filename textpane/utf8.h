#pragma once

#include <QByteArrayView>
#include <QString>

/// The length of the valid UTF-8 sequence at `p` (of `available` bytes, at least 1), with its code
/// point in `codePoint`; 0 when the byte at `p` begins none (a stray byte, a sequence cut short, an
/// overlong form, a surrogate, a code point past U+10FFFF). Inline: the width pass over a long
/// line calls it for every character beyond ASCII.
inline int decodeUtf8(const uchar *p, qint64 available, char32_t *codePoint)
{
    const uchar lead = p[0];
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    }
    int length;
    char32_t value;
    // The second byte's range rules out overlong forms, surrogates and values past U+10FFFF.
    uchar low = 0x80;
    uchar high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (available < length || p[1] < low || p[1] > high)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (p[i] & 0x3F);
    }
    *codePoint = value;
    return length;
}

/// The length of the valid UTF-8 sequence that begins `text`, or 0 (see decodeUtf8).
inline int utf8SequenceLength(QByteArrayView text)
{
    char32_t codePoint = 0;
    return text.isEmpty() ? 0 : decodeUtf8(reinterpret_cast<const uchar *>(text.data()), text.size(), &codePoint);
}

/// `text` decoded, each byte that is no part of a valid sequence becoming one U+FFFD, so that
/// every character stands for whole bytes of it.
inline QString decodeUtf8Bytewise(QByteArrayView text)
{
    QString decoded;
    decoded.reserve(text.size());
    for (qsizetype at = 0; at < text.size();) {
        const int length = utf8SequenceLength(text.sliced(at));
        if (length == 0) {
            decoded.append(QChar(QChar::ReplacementCharacter));
            ++at;
        } else {
            decoded.append(QString::fromUtf8(text.sliced(at, length)));
            at += length;
        }
    }
    return decoded;
}
