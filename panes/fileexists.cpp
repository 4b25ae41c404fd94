#include "panes/fileexists.h"

#include "platform/fileservices.h"

#include <exception>

bool FileExists(const platform::FileServices &files, QString path)
{
    try {
        files.lastModified(path);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}
