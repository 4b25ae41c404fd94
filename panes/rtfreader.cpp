#include "rtfreader.h"

#include "textdecoding.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char32_t kReplacement = 0xFFFD;
constexpr int kMaxWordLength = 32;       // longer control words are malformed; the rest is dropped
constexpr qint64 kParameterLimit = 0x7FFFFFFF;
constexpr qint64 kMaxFallback = 0xFFFF;

// Destinations whose text is not part of the document's body.
constexpr std::string_view kSkippedDestinations[] = {
    "aftncn", "aftnsep", "aftnsepc", "annotation", "atnauthor", "atndate", "atnicn", "atnid",
    "atnparent", "atnref", "atntime", "atrfend", "atrfstart", "author", "bkmkend", "bkmkstart",
    "colortbl", "comment", "doccomm", "docvar", "fldinst", "fonttbl", "footer", "footerf",
    "footerl", "footerr", "footnote", "ftncn", "ftnsep", "ftnsepc", "header", "headerf",
    "headerl", "headerr", "info", "keywords", "listtable", "listoverridetable", "listtext",
    "object", "pict", "pntext", "revtbl", "rsidtbl", "stylesheet", "subject", "template", "title",
};

struct Symbol
{
    std::string_view word;
    char32_t character;
};

constexpr Symbol kSymbolWords[] = {
    {"tab", U'\t'},       {"cell", U'\t'},      {"emdash", 0x2014},    {"endash", 0x2013},
    {"emspace", 0x2003},  {"enspace", 0x2002},  {"qmspace", 0x2005},   {"bullet", 0x2022},
    {"lquote", 0x2018},   {"rquote", 0x2019},   {"ldblquote", 0x201C}, {"rdblquote", 0x201D},
    {"zwj", 0x200D},      {"zwnj", 0x200C},     {"ltrmark", 0x200E},   {"rtlmark", 0x200F},
};

constexpr std::string_view kLineBreakWords[] = {"par", "line", "sect", "page", "row"};

template<std::size_t N>
bool contains(const std::string_view (&words)[N], std::string_view word)
{
    return std::find(std::begin(words), std::end(words), word) != std::end(words);
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// What a group inherits from its parent and may change for itself.
struct GroupState
{
    bool skipped = false;
    qint64 fallback = 1; // characters that stand in for each \uN
    bool operator==(const GroupState &) const = default;
};

class RtfReader
{
public:
    explicit RtfReader(QByteArrayView rtf)
        : m_p(rtf.data()), m_end(rtf.data() + rtf.size()) {}

    QByteArray read()
    {
        m_out.reserve((m_end - m_p) / 2);
        while (m_p < m_end && !m_finished) {
            const char c = *m_p++;
            switch (c) {
            case '{': openGroup(); break;
            case '}': closeGroup(); break;
            case '\\': escape(); break;
            case '\r': case '\n': case '\0': break; // line breaks in the source are not text
            default: textByte(static_cast<unsigned char>(c)); break;
            }
        }
        flush();
        return m_out;
    }

    qsizetype savedStatesPeak() const { return m_savedStatesPeak; }

private:
    // Nesting is kept as runs of equal states, so even millions of plain braces cost a few bytes.
    // Deeper than any real document nests, a group that changes its state shares the innermost
    // saved one, so braces that alternate states cannot grow the stack without end.
    struct Level
    {
        GroupState state;
        qint64 count;
    };

    void openGroup()
    {
        m_toSkip = 0;
        if (!m_levels.empty()
            && (m_levels.back().state == m_state || qsizetype(m_levels.size()) == kRtfSavedStatesLimit))
            ++m_levels.back().count;
        else
            m_levels.push_back({m_state, 1});
        m_savedStatesPeak = std::max(m_savedStatesPeak, qsizetype(m_levels.size()));
        ++m_depth;
    }

    void closeGroup()
    {
        m_toSkip = 0;
        if (m_depth == 0)
            return; // an unmatched brace
        m_state = m_levels.back().state;
        if (--m_levels.back().count == 0)
            m_levels.pop_back();
        if (--m_depth == 0)
            m_finished = true; // the document's own group has closed
    }

    void escape()
    {
        if (m_p == m_end)
            return;
        if (isLetter(*m_p)) {
            controlWord();
            return;
        }
        const char symbol = *m_p++;
        switch (symbol) {
        case '\'': hexByte(); return;
        case '*': m_state.skipped = true; return;
        case '\\': case '{': case '}': character(static_cast<unsigned char>(symbol)); return;
        case '~': character(0x00A0); return;
        case '_': character(0x2011); return;
        case '\r': case '\n': lineBreak(); return;
        default: fallbackOr([] {}); return; // \- optional hyphen, \| \: index marks
        }
    }

    void controlWord()
    {
        const char *start = m_p;
        while (m_p < m_end && isLetter(*m_p))
            ++m_p;
        const std::string_view word(start, std::min<qsizetype>(m_p - start, kMaxWordLength));

        std::optional<qint64> parameter;
        bool negative = false;
        if (m_p < m_end && *m_p == '-' && m_p + 1 < m_end && isDigit(m_p[1])) {
            negative = true;
            ++m_p;
        }
        if (m_p < m_end && isDigit(*m_p)) {
            qint64 value = 0;
            while (m_p < m_end && isDigit(*m_p)) {
                value = std::min(value * 10 + (*m_p - '0'), kParameterLimit + 1);
                ++m_p;
            }
            parameter = std::clamp(negative ? -value : value, -kParameterLimit - 1, kParameterLimit);
        }
        if (m_p < m_end && *m_p == ' ')
            ++m_p; // the delimiter belongs to the word

        if (word == "bin") {
            // Raw bytes that may hold braces and backslashes: step over them whole.
            m_p += std::clamp<qint64>(parameter.value_or(0), 0, m_end - m_p);
            return;
        }
        if (word == "uc") {
            m_state.fallback = std::clamp<qint64>(parameter.value_or(1), 0, kMaxFallback);
            return;
        }
        if (word == "ansicpg") {
            setCodePage(parameter.value_or(1252));
            return;
        }
        if (contains(kSkippedDestinations, word)) {
            m_state.skipped = true;
            return;
        }
        if (word == "u") {
            unicode(parameter.value_or(0));
            return;
        }
        if (contains(kLineBreakWords, word)) {
            fallbackOr([this] { lineBreak(); });
            return;
        }
        for (const Symbol &symbol : kSymbolWords) {
            if (symbol.word == word) {
                character(symbol.character);
                return;
            }
        }
        fallbackOr([] {}); // formatting: counts as one fallback character, shows nothing
    }

    void hexByte()
    {
        int value = 0;
        int digits = 0;
        while (digits < 2 && m_p < m_end && hexValue(*m_p) >= 0) {
            value = value * 16 + hexValue(*m_p++);
            ++digits;
        }
        if (digits == 2) // half an escape, as at the end of a cut-off file, is no character
            textByte(static_cast<unsigned char>(value));
    }

    // A byte of the document's code page; runs of them are decoded together, so double-byte
    // code pages see both halves of a character.
    void textByte(unsigned char byte)
    {
        fallbackOr([this, byte] {
            if (byte < 0x80) {
                emitCharacter(byte);
            } else {
                flushSurrogate();
                m_pendingBytes += char(byte);
            }
        });
    }

    void unicode(qint64 value)
    {
        if (m_toSkip > 0) {
            --m_toSkip;
            return;
        }
        if (m_state.skipped)
            return;
        // The parameter is a signed 16-bit number: negative values stand for the upper half.
        char32_t unit = value < 0 ? char32_t(value + 0x10000) : char32_t(value);
        if (value < -0x8000 || value > 0xFFFF)
            unit = kReplacement;
        flushBytes();
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            flushSurrogate();
            m_highSurrogate = unit;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            if (m_highSurrogate) {
                appendUtf8(m_out, 0x10000 + ((m_highSurrogate - 0xD800) << 10) + (unit - 0xDC00));
                m_highSurrogate = 0;
            } else {
                appendUtf8(m_out, kReplacement);
            }
        } else if (unit != 0) {
            flushSurrogate();
            appendUtf8(m_out, unit);
        }
        m_toSkip = m_state.fallback;
    }

    void character(char32_t c)
    {
        fallbackOr([this, c] { emitCharacter(c); });
    }

    void emitCharacter(char32_t c)
    {
        flush();
        appendUtf8(m_out, c);
    }

    void lineBreak()
    {
        if (m_state.skipped)
            return;
        flush();
        m_out += kLineEnd;
    }

    // Runs `show` for a character of the body, unless it is one that stands in for the last \uN
    // or belongs to a skipped group.
    template<typename Show>
    void fallbackOr(Show &&show)
    {
        if (m_toSkip > 0) {
            --m_toSkip;
            return;
        }
        if (!m_state.skipped)
            show();
    }

    void setCodePage(qint64 codePage)
    {
        flushBytes();
        m_decoder.reset();
        if (codePage == 1252)
            return;
        const QByteArray name = codePage == 65001 ? QByteArray("UTF-8")
                                                  : "windows-" + QByteArray::number(codePage);
        QStringDecoder decoder(name.constData());
        if (decoder.isValid())
            m_decoder.emplace(std::move(decoder));
    }

    void flush()
    {
        flushBytes();
        flushSurrogate();
    }

    void flushBytes()
    {
        if (m_pendingBytes.isEmpty())
            return;
        m_out += m_decoder ? QString(m_decoder->decode(m_pendingBytes)).toUtf8()
                           : windows1252ToUtf8(m_pendingBytes);
        m_pendingBytes.clear();
    }

    void flushSurrogate()
    {
        if (m_highSurrogate) {
            appendUtf8(m_out, kReplacement);
            m_highSurrogate = 0;
        }
    }

    const char *m_p;
    const char *m_end;
    QByteArray m_out;
    GroupState m_state;
    std::vector<Level> m_levels;
    qint64 m_depth = 0;
    qsizetype m_savedStatesPeak = 0;
    qint64 m_toSkip = 0;
    bool m_finished = false;
    QByteArray m_pendingBytes;
    char32_t m_highSurrogate = 0;
    std::optional<QStringDecoder> m_decoder;
};

} // namespace

QByteArray rtfToPlainText(QByteArrayView rtf, qsizetype *savedStatesPeak)
{
    RtfReader reader(rtf);
    QByteArray text = reader.read();
    if (savedStatesPeak)
        *savedStatesPeak = reader.savedStatesPeak();
    return text;
}
