#pragma once

#include "filedialogs.h"
#include "fileservices.h"
#include "messageboxes.h"
#include "randomsource.h"
#include "settingsstore.h"
#include "shell.h"

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
};

} // namespace platform
