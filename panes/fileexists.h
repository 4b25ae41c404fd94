#pragma once

#include <QString>

namespace platform { class FileServices; }

/// True when the file system can report the entry's time stamp. Every failure (no such file or
/// folder, an empty or malformed path, no access) is the answer false; nothing is shown.
bool FileExists(const platform::FileServices &files, QString path);
