#pragma once

#include <QString>

namespace platform { class FileServices; }
class QWidget;
class SkinFramework;

/// The skin file, in the program's folder.
inline const QString kSkinFile = QStringLiteral("x/o.cjs");

/// Dresses `window` in the skin beside the program, if one is there (only a plain file counts):
/// first the window, its frames, check boxes, option buttons and labels take the button colour,
/// then the skin is loaded and laid over the window. Throws platform::Failure from the step that
/// failed; what was done before it stays done.
void applyTheme(QWidget *window, SkinFramework &skin, const platform::FileServices &files,
                const QString &programDirectory);
