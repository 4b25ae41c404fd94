#include "app/visualtheme.h"

#include "app/skinframework.h"
#include "platform/fileservices.h"
#include "windowkit/background.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QRadioButton>

namespace {

// Panes and push buttons keep their colours; the plain-coloured controls follow the window.
bool takesWindowColour(const QWidget *control)
{
    return qobject_cast<const QCheckBox *>(control) || qobject_cast<const QRadioButton *>(control)
           || qobject_cast<const QGroupBox *>(control) || qobject_cast<const QLabel *>(control);
}

} // namespace

void applyTheme(QWidget *window, SkinFramework &skin, const platform::FileServices &files,
                const QString &programDirectory)
{
    const QString path = programDirectory + QLatin1Char('/') + kSkinFile;
    if (!files.listsAsPlainFile(path))
        return;

    const QColor buttonFace = QGuiApplication::palette().color(QPalette::Button);
    paintBackground(window, buttonFace);
    for (QWidget *control : window->findChildren<QWidget *>()) {
        if (takesWindowColour(control))
            paintBackground(control, buttonFace);
    }

    skin.loadSkin(path, QString());
    skin.setOptions(skin.options() | SkinFramework::kReplaceSheet);
    skin.setSkinEnabled(true);
    skin.setPolishAtOnce(true);
    skin.applyWindow(window);
}
