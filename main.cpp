#include "app/form1.h"
#include "platform/qtplatform.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("brassfinch"));
    QApplication::setDesktopFileName(QStringLiteral("org.tarnhollow.Brassfinch"));

    platform::QtPlatform qtPlatform;
    Form1 window(qtPlatform.platform());
    window.Form_Load();
    window.show();
    return QApplication::exec();
}
