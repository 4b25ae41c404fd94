#include "panes/commondialog.h"

QList<platform::FileFilter> CommonDialog::parseFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QList<platform::FileFilter> filters;
    // A label without its pattern (the text after the last bar) is no entry.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (!parts[i].isEmpty() || !parts[i + 1].isEmpty())
            filters.append({parts[i], parts[i + 1]});
    }
    return filters;
}

platform::FileDialogOptions CommonDialog::options() const
{
    platform::FileDialogOptions options;
    options.title = DialogTitle;
    options.filters = parseFilter(Filter);
    options.fileName = FileName;
    options.allowMultiple = (Flags & kAllowMultiSelect) != 0;
    return options;
}

bool CommonDialog::ShowOpen()
{
    takeOpenAnswer(m_dialogs.getOpenFileNames(options()));
    return !m_fileNames.isEmpty();
}

void CommonDialog::takeOpenAnswer(const QStringList &paths)
{
    m_fileNames = paths;
    FileName = m_fileNames.isEmpty() ? QString() : m_fileNames.constLast();
}

bool CommonDialog::ShowSave()
{
    platform::FileDialogOptions saveOptions = options();
    saveOptions.allowMultiple = false;
    const QString chosen = m_dialogs.getSaveFileName(saveOptions);
    if (chosen.isEmpty())
        return false;
    FileName = chosen;
    return true;
}
