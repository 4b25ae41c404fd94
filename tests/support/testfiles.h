#pragma once

#include <QDir>
#include <QFile>
#include <QTest>

/// Small file chores shared by the pane tests.

inline void writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path + QLatin1Char(' ') + file.errorString()));
    QCOMPARE(file.write(data), data.size());
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

/// Every name in the folder, hidden ones included, so a left-over temporary file shows.
inline QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}
