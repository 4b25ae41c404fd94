#pragma once

#include <QString>
#include <QUrl>

namespace platform {

/// The desktop's default handlers; neither call waits for the program it starts.
class Shell
{
public:
    virtual ~Shell() = default;
    virtual void openFolder(const QString &path) = 0;
    virtual void openUrl(const QUrl &url) = 0;
};

} // namespace platform
