#include "stylesheetfiles.h"

#include <QDir>
#include <QRegularExpression>

QStringList styleSheetFiles(const QString &sheet)
{
    static const QRegularExpression comment(QStringLiteral(R"(/\*.*?\*/)"),
                                            QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression url(QStringLiteral(R"re(url\(\s*(?:"([^"]*)"|'([^']*)'|([^)]*?))\s*\))re"),
                                        QRegularExpression::CaseInsensitiveOption);
    QString text = sheet;
    text.replace(comment, QStringLiteral(" "));
    QStringList files;
    for (const QRegularExpressionMatch &match : url.globalMatch(text)) {
        QString name;
        for (int quoting = 1; quoting <= 3 && name.isEmpty(); ++quoting)
            name = match.captured(quoting);
        if (name.isEmpty() || name.startsWith(QLatin1Char(':'))
            || name.startsWith(QLatin1String("qrc:"), Qt::CaseInsensitive))
            continue;
        files << QDir::current().absoluteFilePath(name);
    }
    return files;
}
