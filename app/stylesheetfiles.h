#pragma once

#include <QString>
#include <QStringList>

/// The files that a style sheet names in `url(...)`, quoted or not, as Qt will open them: a
/// relative name stands for the current folder, as Qt resolves it for a sheet given as text.
/// Qt's own resources (":/..." and "qrc:") are left out, and so is anything inside a comment.
QStringList styleSheetFiles(const QString &sheet);
