#pragma once

#include "compare/comparison.h"
#include "compare/linefilter.h"
#include "compare/lineinterner.h"

#include <QByteArrayView>
#include <QList>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

class TextSnapshot;

/// What a comparison running on a worker shares with whoever waits for it.
struct CompareProgress
{
    /// Raised by the one waiting: the comparison ends early, with no result.
    std::atomic<bool> stop{false};
    /// The bytes interned so far, of `total`.
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{0};
};

/// One text to compare, and what changed in it since the last comparison the comparer finished.
struct CompareText
{
    std::shared_ptr<const TextSnapshot> text;
    qint64 lines = 1; ///< as the document counts them
    /// Whether only the lines between `head` and `tail` changed since then; otherwise the whole
    /// text is taken anew.
    bool sinceLast = false;
    qint64 head = 0;       ///< the first lines, unchanged
    qint64 tail = 0;       ///< the last lines, unchanged
    qint64 middleFrom = 0; ///< where the lines between them begin, in bytes
    qint64 middleTo = 0;   ///< and where they end: the start of the tail, or the text's end
};

/// Compares two texts line by line, exactly, as the options say: lines are equal where their
/// bytes (or keys) are, and the edit script is minimal or near it (see diffLines()). Keeps the
/// lines' ids between comparisons, so after an edit only the lines between the unchanged head
/// and tail are read again. One comparison at a time; it runs on any thread.
class TextComparer
{
public:
    explicit TextComparer(const CompareOptions &options);
    TextComparer(const TextComparer &) = delete;
    TextComparer &operator=(const TextComparer &) = delete;

    /// Whether a comparison has finished, so the next may say what changed since.
    bool hasFinished() const { return m_finished; }

    /// None when stopped; throws std::bad_alloc when memory runs short (the comparer then takes
    /// the next texts anew).
    std::optional<Comparison> compare(const CompareText &left, const CompareText &right,
                                      CompareProgress *progress = nullptr);

private:
    // The ids of one text's lines, built anew or from the last ones; false when stopped.
    bool idsOf(const CompareText &side, const LineIds &last, LineIds &ids, CompareProgress *progress);

    LineFilter m_filter;
    LineInterner m_interner;
    LineIds m_ids[2];
    bool m_finished = false;
};
