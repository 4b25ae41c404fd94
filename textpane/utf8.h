#pragma once

#include <QByteArrayView>
#include <QString>

/// The length of the whole, valid UTF-8 sequence that begins `text` (1 to 4), or 0 when the
/// first byte begins none (a stray byte, a sequence cut short, an overlong form, a surrogate, a
/// code point past U+10FFFF) or `text` is empty.
inline int utf8SequenceLength(QByteArrayView text)
{
    if (text.isEmpty())
        return 0;
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    const int length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                     : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || text.size() < length)
        return 0;
    // The second byte's range rules out overlong forms, surrogates and code points past U+10FFFF.
    const unsigned char second = byte(1);
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (second < low || second > high)
        return 0;
    for (int i = 2; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
    }
    return length;
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
