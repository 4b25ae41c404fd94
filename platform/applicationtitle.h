#pragma once

#include <QString>

namespace platform {

/// The process-wide title that every message box without a title of its own shows.
QString applicationTitle();
void setApplicationTitle(const QString &title);

} // namespace platform
