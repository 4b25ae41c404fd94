#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

/// How a file's bytes are read into a pane.
enum class TextEncoding {
    Utf8,        ///< kept byte for byte, BOM, NULs and stray invalid bytes included
    Utf16LE,
    Utf16BE,
    Utf32LE,
    Utf32BE,
    Windows1252, ///< clearly a legacy single-byte code page
    RichText,    ///< begins with "{\rtf"
};

/// What the UTF-8 scan found: well-formed multi-byte sequences and bytes that fit no sequence.
struct Utf8Census
{
    qint64 multiByte = 0;
    qint64 invalid = 0;
};

/// One linear pass; runs of ASCII are skipped eight bytes at a time.
Utf8Census countUtf8(QByteArrayView data);

/// The same census for a text that arrives in pieces, in order: a sequence split between two
/// pieces counts as it would in the whole text.
class Utf8Counter
{
public:
    void add(QByteArrayView piece);
    Utf8Census census() const;

private:
    Utf8Census m_census;
    QByteArray m_tail; ///< the start of a sequence the last piece cut off
};

/// Decides how a file's bytes are to be read from their first bytes and the whole text's census.
TextEncoding detectEncoding(QByteArrayView head, Utf8Census census);

/// Takes a file piece by piece and decides at the end, as `detectEncoding` would for the whole.
class EncodingScan
{
public:
    void add(QByteArrayView piece);
    TextEncoding encoding() const { return detectEncoding(m_head, m_counter.census()); }

private:
    QByteArray m_head;
    Utf8Counter m_counter;
};

/// Decides from the byte-order mark, the rich-text signature and, without either, the UTF-8 scan:
/// text counts as legacy only when its bytes break UTF-8 more often than they form it.
TextEncoding detectEncoding(QByteArrayView data);

/// Appends one code point as UTF-8.
void appendUtf8(QByteArray &out, char32_t c);

/// Windows-1252 bytes as UTF-8. The five bytes the code page leaves undefined map to the control
/// characters of the same number, so nothing is dropped.
QByteArray windows1252ToUtf8(QByteArrayView data);

/// The UTF-8 text a pane should hold for a file's raw bytes, or nothing when the raw bytes are
/// already that text (the fast path: no copy at all).
std::optional<QByteArray> paneTextFromFile(QByteArrayView raw);
/// The same, with the encoding already decided.
std::optional<QByteArray> paneTextFromFile(QByteArrayView raw, TextEncoding encoding);
