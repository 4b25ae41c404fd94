#pragma once

#include <QString>

#include "panes/textdecoding.h"
#include "textpane/documentload.h"

class PaneControl;
namespace platform { class FileServices; class LoadProgress; class MessageBoxes; }

/// What the pane loader and writer reach of the outside world.
struct PaneFiles
{
    platform::FileServices &files;
    platform::MessageBoxes &messages;
    platform::LoadProgress *progress = nullptr; ///< shows a long load and lets the user stop it
};

/// A file on its way into a pane: its document is built, and its encoding decided, while it is
/// read. Started ahead of its LoadPane, it lets two files be read at once.
struct PaneLoad
{
    PaneLoad(PaneControl &pane, const QString &path);

    EncodingScan scan;
    DocumentLoad load;
};

/// What every open leaves after the loaded text: one carriage return.
inline const QByteArray kLoadEnd = QByteArrayLiteral("\r");

/// What a load did to its pane.
enum class LoadOutcome {
    Loaded,  ///< the pane holds the file's text
    Missing, ///< "File not found" was shown; the pane is as it was
    Stopped, ///< the user stopped the load; the pane is empty, and nothing was reported
};

/// Replaces the pane's whole content with the file's text (UTF-8 kept byte for byte; UTF-16,
/// UTF-32, legacy single-byte text and rich text converted to UTF-8). Any failure other than a
/// missing file is thrown to the caller, with the file's name in its message, and leaves the pane
/// as it was. `started`, when given, is a load of the same file into the same pane begun earlier,
/// so that two files can be read at once; it is used only once the file is found.
LoadOutcome LoadPane(PaneFiles io, PaneControl &pane, const QString &path, PaneLoad *started = nullptr);

/// Writes the pane's bytes, exactly, to `path`, asking first when the file exists. The old file
/// is replaced only once the new text is safely on disk; a failure is thrown to the caller, with
/// the file's name in its message. Returns whether the text was written (not when the user
/// declined to overwrite, or stopped the save while the old file was still whole).
bool SavePane(PaneFiles io, PaneControl &pane, const QString &path);

/// The overwrite question, word for word.
QString overwriteQuestion(const QString &path);
