#include "compare/textcomparer.h"

#include "textpane/textdocument.h"

#include <algorithm>

namespace {

bool endsWithLineEnd(const QList<QByteArrayView> &text)
{
    for (auto stretch = text.crbegin(); stretch != text.crend(); ++stretch) {
        if (!stretch->isEmpty())
            return stretch->back() == '\n' || stretch->back() == '\r';
    }
    return true; // an empty text has one empty line, as one that ends with a line end has
}

// The lines that have ids: those the document counts, less the empty last line that follows a
// final line end (or makes up an empty text).
qint64 hashedLines(const QList<QByteArrayView> &text, qint64 documentLines)
{
    return documentLines - (endsWithLineEnd(text) ? 1 : 0);
}

QList<QByteArrayView> slice(const QList<QByteArrayView> &text, qint64 from, qint64 to)
{
    QList<QByteArrayView> part;
    qint64 at = 0;
    for (QByteArrayView stretch : text) {
        const qint64 begin = std::max(from, at);
        const qint64 end = std::min(to, at + stretch.size());
        if (begin < end)
            part.append(stretch.sliced(begin - at, end - begin));
        at += stretch.size();
        if (at >= to)
            break;
    }
    return part;
}

} // namespace

TextComparer::TextComparer(const CompareOptions &options)
    : m_filter(options), m_interner(&m_filter)
{
}

bool TextComparer::idsOf(const CompareText &side, const LineIds &last, LineIds &ids, CompareProgress *progress)
{
    const QList<QByteArrayView> &text = side.text->stretches();
    const std::atomic<bool> *stop = progress ? &progress->stop : nullptr;
    std::atomic<qint64> *done = progress ? &progress->done : nullptr;
    if (m_finished && side.sinceLast) {
        const QList<QByteArrayView> middle = slice(text, side.middleFrom, side.middleTo);
        const qint64 lines = hashedLines(text, side.lines);
        // The lines before the middle keep their ids, and so do those after it.
        const auto head = size_t(std::clamp<qint64>(side.head, 0, std::min(lines, qint64(last.size()))));
        ids.reserve(size_t(lines));
        ids.assign(last.begin(), last.begin() + qsizetype(head));
        if (!m_interner.intern(middle, ids, true, stop, done))
            return false;
        const qint64 tail = lines - qint64(ids.size());
        if (tail >= 0 && tail <= qint64(last.size() - head)) {
            ids.insert(ids.end(), last.end() - tail, last.end());
            return true;
        }
        ids.clear(); // what was said to be unchanged does not add up; the whole text, then
    }
    m_interner.keep(side.text);
    // About the lines a log of this size has: room not used is never touched.
    ids.reserve(size_t(side.text->size() / 32 + 16));
    return m_interner.intern(text, ids, false, stop, done);
}

std::optional<Comparison> TextComparer::compare(const CompareText &left, const CompareText &right,
                                                CompareProgress *progress)
{
    if (progress) {
        auto bytesToRead = [this](const CompareText &side) {
            return m_finished && side.sinceLast ? side.middleTo - side.middleFrom : side.text->size();
        };
        progress->total = bytesToRead(left) + bytesToRead(right);
    }
    LineIds ids[2];
    try {
        if (!idsOf(left, m_ids[0], ids[0], progress) || !idsOf(right, m_ids[1], ids[1], progress))
            return std::nullopt;
    } catch (...) {
        m_finished = false;
        throw;
    }
    m_ids[0] = std::move(ids[0]);
    m_ids[1] = std::move(ids[1]);
    m_finished = true;
    const qint64 leftLines = qint64(m_ids[0].size()) + (endsWithLineEnd(left.text->stretches()) ? 1 : 0);
    const qint64 rightLines = qint64(m_ids[1].size()) + (endsWithLineEnd(right.text->stretches()) ? 1 : 0);
    std::vector<DiffHunk> hunks = diffLines(m_ids[0], m_ids[1], progress ? &progress->stop : nullptr);
    if (progress && progress->stop)
        return std::nullopt;
    return Comparison(std::move(hunks), leftLines, rightLines);
}
