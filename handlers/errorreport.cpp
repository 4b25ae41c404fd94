#include "handlers/errorreport.h"

#include "platform/messageboxes.h"

namespace {
const QString kLocationPrefix = QStringLiteral("in Quillmere2021/08/31.");
const QString kReportTitle = QStringLiteral("Application Error");
} // namespace

QString locationText(const QString &window, const QString &handler)
{
    return kLocationPrefix + window + QLatin1Char('.') + handler + QLatin1Char(' ');
}

QString errorReportText(const QString &location, int line, const QString &description)
{
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ")
           + QString::number(line) + QStringLiteral("\r\r")
           + QStringLiteral("Please email screenshot of this message to ")
           + QString::fromUtf16(kSupportAddress);
}

void ShowErrorReport(platform::MessageBoxes &messages, const QString &location, int line,
                     const QString &description)
{
    messages.show({errorReportText(location, line, description), kReportTitle,
                   platform::MessageIcon::Warning, platform::MessageButtons::Ok,
                   platform::MessageAnswer::Ok});
}
