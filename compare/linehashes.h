#pragma once

#include "compare/linefilter.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstdint>
#include <vector>

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
    qsizetype addCompleteLines(const char *text, qsizetype size);
    void addLine(const char *begin, qsizetype length, std::uint64_t hash);

    std::vector<const char *> m_begins;
    std::vector<qsizetype> m_lengths;
    std::vector<std::uint64_t> m_hashes;
    // The lines that cross stretches, joined; moving a QByteArray keeps its bytes where they are.
    std::vector<QByteArray> m_joined;
    const LineFilter *m_filter = nullptr;
    QByteArray m_scratch;
};

/// The lines of two texts as small ids: equal ids for equal bytes, within and across the texts,
/// and different ids for different bytes (hashes that collide are told apart by their bytes).
struct InternedLines
{
    std::vector<std::uint32_t> left;
    std::vector<std::uint32_t> right;
    /// The ids run from 0 to distinct - 1.
    std::uint32_t distinct = 0;
};

/// Gives each distinct line of both texts its id, numbered in order of first appearance, left
/// text first. With a `filter` (the one both were hashed with), lines with equal keys are equal.
InternedLines internLines(const LineHashes &left, const LineHashes &right, const LineFilter *filter = nullptr);
