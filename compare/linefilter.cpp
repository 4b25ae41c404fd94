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
    if (m_hasPattern || (m_case && !isAscii(line))) {
        bool utf8 = false;
        QString text = decoded(line, &utf8);
        if (m_hasPattern) {
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
        if (m_case && utf8)
            text = text.toCaseFolded();
        scratch = encoded(text, utf8);
    } else {
        // Kept in the scratch's own room, so a big file's lines cost no allocation each.
        scratch.resize(line.size());
        if (!line.isEmpty())
            std::memcpy(scratch.data(), line.data(), size_t(line.size()));
    }
    if (m_case) {
        for (char &c : scratch)
            if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
    }
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
