#pragma once

#include "platform/filedialogs.h"
#include "platform/fileservices.h"
#include "platform/loadprogress.h"
#include "platform/messageboxes.h"
#include "platform/randomsource.h"
#include "platform/settingsstore.h"
#include "platform/shell.h"

#include <QString>

namespace platform {

/// Everything a window reaches of the outside world, handed in through its constructor.
struct Platform
{
    FileDialogs &dialogs;
    MessageBoxes &messages;
    SettingsStore &settings;
    FileServices &files;
    Shell &shell;
    RandomSource &random;
    Clock &clock;
    QString programDirectory; ///< the folder that holds the executable and what ships beside it
    LoadProgress &progress;
};

} // namespace platform
