#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <functional>
#include <span>

namespace platform {

/// How a save ended that did not fail.
enum class WriteOutcome { Written, Stopped };

/// Told, on the thread that saves, after each piece of a save: `done` bytes of `total`. Returning
/// false asks the save to stop. That is honoured only while the old file is still whole: the save
/// then removes what it made and returns `WriteOutcome::Stopped`; later answers are not asked for
/// or are ignored, and the save ends as it would have.
using WriteProgress = std::function<bool(qint64 done, qint64 total)>;

/// A text to write as the stretches it is kept in, in order, so that a text in pieces is written
/// without being gathered first.
using TextPieces = std::span<const QByteArrayView>;

/// The number of bytes in all the pieces.
inline qint64 sizeOf(TextPieces pieces)
{
    qint64 size = 0;
    for (const QByteArrayView piece : pieces)
        size += piece.size();
    return size;
}

} // namespace platform
