#pragma once

#include <QString>

namespace platform {

/// Why the file at `path` cannot be written, in the system's words ("Is a directory",
/// "Permission denied", "Not a directory", ...), found by looking at the file or, where it does
/// not exist yet, at the nearest folder above it that does. For callers that learn only that a
/// write failed, not why.
QString whyUnwritable(const QString &path);

} // namespace platform
