#pragma once

#include "compare/linefilter.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstdint>
#include <functional>
#include <vector>

/// Takes each line of a text in turn: its bytes without the line end, its hash (of its key, with a
/// filter), and whether the bytes lie in the text itself (false for a line gathered from two
/// stretches, whose bytes last only for the call).
using LineSink = std::function<void(QByteArrayView line, std::uint64_t hash, bool lasting)>;

/// Shows each line of the text these stretches make, one after the other, to `sink`, in order.
/// Lines end as LineHashes says.
void scanLines(const QList<QByteArrayView> &stretches, const LineFilter *filter, const LineSink &sink);

/// The lines of a text, each with a 64-bit hash of its bytes without the line end (LF, CR LF or
/// a lone CR). A text that ends with a line end has no empty line after it. The text is not
/// copied, except for lines that cross from one stretch into the next: it must outlive this object.
class LineHashes
{
public:
    /// With a `filter`, each hash is that of the line's key; the filter must outlive this object.
    explicit LineHashes(QByteArrayView text, const LineFilter *filter = nullptr);
    /// The lines of the text these stretches make one after the other.
    explicit LineHashes(const QList<QByteArrayView> &stretches, const LineFilter *filter = nullptr);

    qsizetype lineCount() const { return qsizetype(m_hashes.size()); }
    std::uint64_t hash(qsizetype line) const { return m_hashes[size_t(line)]; }
    /// The bytes of `line` without its line end.
    QByteArrayView line(qsizetype line) const
    {
        return QByteArrayView(m_begins[size_t(line)], m_lengths[size_t(line)]);
    }

    /// The hash a line of these bytes gets.
    static std::uint64_t hashBytes(const char *bytes, qsizetype length);

private:
    std::vector<const char *> m_begins;
    std::vector<qsizetype> m_lengths;
    std::vector<std::uint64_t> m_hashes;
    // The lines that cross stretches, joined; moving a QByteArray keeps its bytes where they are.
    std::vector<QByteArray> m_joined;
};
