#include "windowkit/programicon.h"

#include "platform/failure.h"

namespace {

// The sizes that ship ready-drawn from the SVG, as in the icon theme.
constexpr int kSizes[] = {16, 24, 32, 48, 64, 128, 256};

} // namespace

QIcon programIcon()
{
    // PNGs need no plug-in, where the SVG needs Qt's SVG plug-in at run time. Nor is the SVG
    // added on top: Qt's SVG icon engine would then ignore the PNGs and list no sizes, which
    // window managers ask for; between the sizes the nearest PNG is scaled.
    QIcon icon;
    for (int size : kSizes)
        icon.addFile(QStringLiteral(":/icons/%1x%1/org.tarnhollow.Brassfinch.png").arg(size), QSize(size, size));
    if (icon.pixmap(32, 32).isNull())
        throw platform::Failure(QStringLiteral("The program icon could not be loaded"));
    return icon;
}
