#include "app/commandline.h"
#include "app/form1.h"
#include "compare/comparestate.h"
#include "platform/filename.h"
#include "platform/qtplatform.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Read before the application starts, so help and usage errors need no display.
    // File names are taken as the system's bytes, so one that is not UTF-8 can still be opened.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << platform::decodeFileName(argv[i]);
    const CommandLine line = parseCommandLine(arguments, platform::currentFolder());
    if (!line.run) {
        std::fputs(line.output.toLocal8Bit().constData(), stdout);
        std::fputs(line.error.toLocal8Bit().constData(), stderr);
        return line.exitStatus;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("brassfinch"));
    QApplication::setDesktopFileName(QStringLiteral("org.tarnhollow.Brassfinch"));

    platform::QtPlatform qtPlatform;
    Form1 window(qtPlatform.platform());
    window.Form_Load();
    window.show();
    // The named files open once the window is up, as if chosen with Open File 1 and Open File 2.
    // Compare mode comes on after them, so the two texts are compared once, not after each load.
    window.compareState().setOptions(line.compareOptions);
    QTimer::singleShot(0, &window, [&window, files = line.files, compare = line.compare] {
        if (files.size() > 0)
            window.PushButton3_Click({files[0]});
        if (files.size() > 1)
            window.PushButton4_Click({files[1]});
        if (compare)
            window.compareState().setOn(true);
    });
    return QApplication::exec();
}
