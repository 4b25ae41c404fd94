#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <bitset>
#include <span>
#include <vector>

enum class SearchDirection { Forward, Backward };

struct SearchOptions
{
    bool matchCase = false;
    bool wholeWord = false;
    bool operator==(const SearchOptions &) const = default;
};

/// A byte range of the text searched; start is -1 when nothing was found.
struct TextMatch
{
    qint64 start = -1;
    qint64 length = 0;
    bool found() const { return start >= 0; }
    qint64 end() const { return start + length; }
};

/// Finds a word in UTF-8 text, byte for byte, without decoding the text: a Horspool scan over
/// one set of allowed bytes per needle position. Ignoring case, a character matches every
/// character with the same simple case folding ("Ü" and "ü", "Σ", "σ" and "ς") whose UTF-8 form
/// has as many bytes; the few pairs that differ in length (the Kelvin sign and "k") match only
/// their own length's forms. A whole word has no letter, digit, mark or underscore beside it.
class TextSearch
{
public:
    TextSearch() = default;
    TextSearch(const QString &needle, SearchOptions options);

    QString needle() const { return m_needle; }
    SearchOptions options() const { return m_options; }
    bool isEmpty() const { return m_bytes.isEmpty(); }
    /// The length of every match, in bytes.
    qint64 byteLength() const { return m_bytes.size(); }

    /// The first (forward) or last (backward) match lying wholly within [begin, end) of `text`;
    /// the bytes outside that range still count as the neighbours of a whole word.
    TextMatch find(QByteArrayView text, qint64 begin, qint64 end, SearchDirection direction) const;
    /// As find() over the text that `stretches` make one after another, without joining them:
    /// each is searched where it lies, and only the bytes around the seams between them are
    /// copied. Positions count from the start of the first. Throws std::bad_alloc.
    TextMatch find(std::span<const QByteArrayView> stretches, qint64 begin, qint64 end, SearchDirection direction) const;

private:
    bool matchesAt(const uchar *text, qint64 size, qint64 at) const;

    struct Folded
    {
        qint64 offset; // of the character in the needle's bytes
        qint64 length;
        char32_t fold;
    };

    QString m_needle;
    SearchOptions m_options;
    QByteArray m_bytes;
    std::vector<std::bitset<256>> m_allowed;  // per needle byte
    std::vector<Folded> m_verify;             // characters the byte sets alone cannot tell apart
    std::array<qint64, 256> m_forwardShift{}; // by the byte under the window's last position
    std::array<qint64, 256> m_backwardShift{}; // by the byte under the window's first position
};
