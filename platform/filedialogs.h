#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace platform {

/// One entry of a dialog's file-type list: the label the user reads and the pattern it applies.
struct FileFilter
{
    QString label;
    QString pattern;
    bool operator==(const FileFilter &) const = default;
};

struct FileDialogOptions
{
    QString title;
    QList<FileFilter> filters;
    QString fileName;          ///< proposed name (save) or pre-selected name (open); may be empty
    bool allowMultiple = false; ///< open only: several files of one folder
};

/// The platform's open and save dialogs.
class FileDialogs
{
public:
    virtual ~FileDialogs() = default;
    /// Full paths of the chosen files in the dialog's order; empty when the user cancelled.
    virtual QStringList getOpenFileNames(const FileDialogOptions &options) = 0;
    /// The chosen full path; empty when the user cancelled. Never asks about overwriting.
    virtual QString getSaveFileName(const FileDialogOptions &options) = 0;
};

} // namespace platform
