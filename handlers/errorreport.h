#pragma once

#include <QString>

namespace platform { class MessageBoxes; }

/// The mailbox that receives screenshots of error reports.
inline constexpr char16_t kSupportAddress[] = u"support@tarnhollow.org";

/// The fixed location text of a guarded handler: "in Quillmere2021/08/31.<window>.<handler> ".
QString locationText(const QString &window, const QString &handler);

/// The text of the error report, exactly as the box shows it.
QString errorReportText(const QString &location, int line, const QString &description);

/// Shows the common failure report (warning icon, single OK button) and returns once it is closed.
void ShowErrorReport(platform::MessageBoxes &messages, const QString &location, int line,
                     const QString &description);
