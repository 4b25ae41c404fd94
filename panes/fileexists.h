#pragma once

#include <QString>

namespace platform { class FileServices; }

/// True when the file system can report the entry's time stamp. Every failure (no such file or
/// folder, an empty or malformed path, no access) is the answer false; nothing is shown.
bool FileExists(const platform::FileServices &files, QString path);

/// Folds doubled backslashes left over where a folder and a file name were joined, keeping a
/// network path's leading double backslash. Only backslashes are touched.
QString CleanPath(const QString &path);
