#include "windowkit/programicon.h"

#include "platform/failure.h"

QIcon programIcon()
{
    QIcon icon(QStringLiteral(":/icons/org.tarnhollow.Brassfinch.svg"));
    if (icon.pixmap(32, 32).isNull())
        throw platform::Failure(QStringLiteral("The program icon could not be loaded"));
    return icon;
}
