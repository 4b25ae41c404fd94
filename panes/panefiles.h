#pragma once

#include <QString>

class PaneControl;
namespace platform { class FileServices; class MessageBoxes; }

/// What the pane loader and writer reach of the outside world.
struct PaneFiles
{
    platform::FileServices &files;
    platform::MessageBoxes &messages;
};

/// Replaces the pane's whole content with the file's text (UTF-8 kept byte for byte; UTF-16,
/// UTF-32, legacy single-byte text and rich text converted to UTF-8). A missing file shows
/// "File not found" and leaves the pane as it was; any other failure is thrown to the caller.
void LoadPane(PaneFiles io, PaneControl &pane, const QString &path);

/// Writes the pane's bytes, exactly, to `path`, asking first when the file exists. The old file
/// is replaced only once the new text is safely on disk; a failure is thrown to the caller.
/// Returns whether the text was written (not when the user declined to overwrite).
bool SavePane(PaneFiles io, PaneControl &pane, const QString &path);

/// The overwrite question, word for word.
QString overwriteQuestion(const QString &path);
