#include "unwritable.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

QString systemMessage(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString whyUnwritable(const QString &path)
{
    struct stat info {};
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return systemMessage(EISDIR);
        if (::access(name.constData(), W_OK) != 0)
            return systemMessage(errno);
    } else if (errno != ENOENT) {
        return systemMessage(errno);
    } else {
        // The file would be made: the nearest folder that exists must let us add to it.
        QString folder = QFileInfo(path).absolutePath();
        for (;;) {
            const QByteArray folderName = QFile::encodeName(folder);
            if (::stat(folderName.constData(), &info) == 0) {
                if (!S_ISDIR(info.st_mode))
                    return systemMessage(ENOTDIR);
                if (::access(folderName.constData(), W_OK | X_OK) != 0)
                    return systemMessage(errno);
                break;
            }
            if (errno != ENOENT)
                return systemMessage(errno);
            const QString parent = QFileInfo(folder).absolutePath();
            if (parent == folder)
                break;
            folder = parent;
        }
    }
    return QStringLiteral("The file could not be written");
}

} // namespace platform
