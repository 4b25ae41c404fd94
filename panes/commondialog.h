#pragma once

#include "platform/filedialogs.h"

#include <QString>
#include <QStringList>

/// The window's one file dialog object, shared by the open and save actions. It keeps its
/// properties between uses, so Save offers the name that the last open or save chose.
class CommonDialog
{
public:
    /// Several files of one folder may be chosen.
    static constexpr long kAllowMultiSelect = 0x200;

    explicit CommonDialog(platform::FileDialogs &dialogs) : m_dialogs(dialogs) {}

    /// Shows the open dialog. Returns false when the user cancelled; then `FileName` is empty and
    /// no file is chosen. After several files, `FileName` holds the last of them (the one a
    /// pane ends up showing), and `FileNames` all of them in the dialog's order.
    bool ShowOpen();
    /// Takes `paths` as the open dialog's answer without showing it: files named on the command
    /// line or dropped onto the window.
    void takeOpenAnswer(const QStringList &paths);
    /// Shows the save dialog, offering `FileName`. Returns false when the user cancelled; then
    /// `FileName` keeps its value.
    bool ShowSave();

    /// The full paths that the last open dialog returned, in its order.
    const QStringList &FileNames() const { return m_fileNames; }

    /// "label|pattern|label|pattern|" as the dialog's list of file types, in that order.
    static QList<platform::FileFilter> parseFilter(const QString &filter);

    QString FileName;
    long Flags = 0;
    QString DialogTitle;
    QString Filter;

private:
    platform::FileDialogOptions options() const;

    platform::FileDialogs &m_dialogs;
    QStringList m_fileNames;
};
