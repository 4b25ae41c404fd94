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

namespace {

// One left-to-right pass: each pair of backslashes becomes one; a replaced pair is not looked at
// again, so a run of n becomes n/2 rounded up.
QString foldBackslashPairs(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        result += text[i];
        if (text[i] == QLatin1Char('\\') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\\'))
            ++i;
    }
    return result;
}

} // namespace

QString CleanPath(const QString &path)
{
    const QChar backslash = QLatin1Char('\\');
    if (!path.startsWith(backslash))
        return foldBackslashPairs(path);
    qsizetype k = 1;
    while (k < path.size() && path[k] == backslash)
        ++k;
    return QStringLiteral("\\\\") + foldBackslashPairs(path.mid(k));
}
