#pragma once

#include <QtGlobal>

#include <functional>

namespace platform {

/// How a save ended that did not fail.
enum class WriteOutcome { Written, Stopped };

/// Told, on the thread that saves, after each piece of a save: `done` bytes of `total`. Returning
/// false asks the save to stop. That is honoured only while the old file is still whole: the save
/// then removes what it made and returns `WriteOutcome::Stopped`; later answers are not asked for
/// or are ignored, and the save ends as it would have.
using WriteProgress = std::function<bool(qint64 done, qint64 total)>;

} // namespace platform
