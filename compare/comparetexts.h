#pragma once

#include "compare/comparison.h"
#include "compare/linefilter.h"

#include <QByteArrayView>
#include <QList>

#include <atomic>
#include <optional>

/// What a comparison running on a worker shares with whoever waits for it.
struct CompareProgress
{
    /// Raised by the one waiting: the comparison ends early, with no result.
    std::atomic<bool> stop{false};
    /// How far it has come, in thousandths.
    std::atomic<int> permille{0};
};

/// The lines of two texts (each as the stretches it is kept in) compared exactly, as `options`
/// say: equal lines where their bytes, or keys, are equal, and a minimal or near-minimal edit
/// script between them. Hashes the two texts on two threads. None when stopped; throws
/// std::bad_alloc when memory runs short.
std::optional<Comparison> compareTexts(const QList<QByteArrayView> &left, const QList<QByteArrayView> &right,
                                       const CompareOptions &options, CompareProgress *progress = nullptr);
