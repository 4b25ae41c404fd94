#include "platform/applicationtitle.h"

namespace platform {

namespace {
// Until start-up sets it, the title is the program's built-in one.
QString &title()
{
    static QString value = QStringLiteral("Brassfinch");
    return value;
}
} // namespace

QString applicationTitle() { return title(); }
void setApplicationTitle(const QString &value) { title() = value; }

} // namespace platform
