#include "compare/linefilter.h"

#include "textpane/utf8.h"

#include <cstring>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

bool isAscii(QByteArrayView bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

bool isValidUtf8(QByteArrayView bytes)
{
    for (qsizetype i = 0; i < bytes.size();) {
        const int length = utf8SequenceLength(bytes.sliced(i));
        if (length <= 0)
            return false;
        i += length;
    }
    return true;
}

// Text is matched as UTF-8 where the line is valid UTF-8, else byte for byte, so that what is
// left is always exactly the line's own bytes outside the matches.
QString decoded(QByteArrayView line, bool *utf8)
{
    *utf8 = isAscii(line) || isValidUtf8(line);
    return *utf8 ? QString::fromUtf8(line) : QString::fromLatin1(line);
}

QByteArray encoded(const QString &text, bool utf8)
{
    return utf8 ? text.toUtf8() : text.toLatin1();
}

char *putUtf8(char *out, char32_t code)
{
    if (code < 0x80) {
        *out++ = char(code);
    } else if (code < 0x800) {
        *out++ = char(0xC0 | (code >> 6));
        *out++ = char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *out++ = char(0xE0 | (code >> 12));
        *out++ = char(0x80 | ((code >> 6) & 0x3F));
        *out++ = char(0x80 | (code & 0x3F));
    } else {
        *out++ = char(0xF0 | (code >> 18));
        *out++ = char(0x80 | ((code >> 12) & 0x3F));
        *out++ = char(0x80 | ((code >> 6) & 0x3F));
        *out++ = char(0x80 | (code & 0x3F));
    }
    return out;
}

// Folds the case of every character, one for one, in place of a whole decoding to UTF-16: a big
// file's lines are keyed one by one, mostly ASCII. Stray bytes stay as they are.
void foldCase(QByteArray &text)
{
    if (isAscii(text)) {
        for (char &c : text)
            if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
        return;
    }
    // Two buffers that trade places, so a line costs no allocation once they have grown. A
    // character's folded form takes at most half as many bytes again as it does.
    thread_local QByteArray folded;
    folded.resize(text.size() + text.size() / 2 + 4);
    char *out = folded.data();
    const auto *p = reinterpret_cast<const uchar *>(text.constData());
    for (qsizetype at = 0; at < text.size();) {
        const uchar c = p[at];
        if (c < 0x80) {
            *out++ = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
            ++at;
            continue;
        }
        char32_t code = 0;
        const int length = decodeUtf8(p + at, text.size() - at, &code);
        if (length == 0) {
            *out++ = char(c);
            ++at;
            continue;
        }
        out = putUtf8(out, QChar::toCaseFolded(code));
        at += length;
    }
    folded.resize(out - folded.constData());
    text.swap(folded);
}

} // namespace

LineFilter::LineFilter(const CompareOptions &options)
    : m_whiteSpace(options.ignoreWhiteSpace), m_case(options.ignoreCase)
{
    if (!options.ignorePattern.isEmpty() && isValidPattern(options.ignorePattern)) {
        m_pattern = QRegularExpression(options.ignorePattern);
        // Matched once per line of big files: compiling it now spares the first lines the cost.
        m_pattern.optimize();
        m_hasPattern = true;
    }
}

bool LineFilter::isValidPattern(const QString &pattern, QString *problem)
{
    const QRegularExpression expression(pattern);
    if (expression.isValid())
        return true;
    if (problem)
        *problem = expression.errorString();
    return false;
}

QByteArrayView LineFilter::key(QByteArrayView line, QByteArray &scratch) const
{
    if (!isActive())
        return line;
    if (m_hasPattern) {
        bool utf8 = false;
        QString text = decoded(line, &utf8);
        {
            QString kept;
            qsizetype from = 0;
            for (auto matches = m_pattern.globalMatch(text); matches.hasNext();) {
                const QRegularExpressionMatch match = matches.next();
                kept += QStringView(text).mid(from, match.capturedStart() - from);
                from = match.capturedEnd();
            }
            kept += QStringView(text).mid(from);
            text = kept;
        }
        scratch = encoded(text, utf8);
    } else {
        // Kept in the scratch's own room, so a big file's lines cost no allocation each.
        scratch.resize(line.size());
        if (!line.isEmpty())
            std::memcpy(scratch.data(), line.data(), size_t(line.size()));
    }
    if (m_case)
        foldCase(scratch);
    if (m_whiteSpace) {
        qsizetype out = 0;
        for (qsizetype in = 0; in < scratch.size();) {
            if (isBlank(scratch[in])) {
                while (in < scratch.size() && isBlank(scratch[in]))
                    ++in;
                if (in < scratch.size())
                    scratch[out++] = ' ';
                continue;
            }
            scratch[out++] = scratch[in++];
        }
        scratch.truncate(out);
    }
    return scratch;
}
