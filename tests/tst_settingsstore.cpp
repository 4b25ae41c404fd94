#include "qtplatform.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestSettingsStore : public QObject
{
    Q_OBJECT
private slots:
    void settingThatCannotBeStoredIsWarned_data();
    void settingThatCannotBeStoredIsWarned();
};

void TestSettingsStore::settingThatCannotBeStoredIsWarned_data()
{
    QTest::addColumn<QString>("blocker"); // what stands where the store wants to write
    QTest::addColumn<QString>("why");     // empty: the setting is stored, nothing is said
    QTest::newRow("nothing in the way") << "" << "";
    QTest::newRow("settings file is a folder") << "Tarnhollow/Tarnhollow.conf" << "Is a directory";
    QTest::newRow("settings folder is a file") << "Tarnhollow" << "Not a directory";
}

void TestSettingsStore::settingThatCannotBeStoredIsWarned()
{
    QFETCH(QString, blocker);
    QFETCH(QString, why);
    QTemporaryDir home;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
    const QString file = home.filePath(QStringLiteral("Tarnhollow/Tarnhollow.conf"));
    if (blocker.endsWith(QLatin1String(".conf")))
        QVERIFY(QDir(home.path()).mkpath(blocker));
    else if (!blocker.isEmpty())
        QVERIFY(QFile(home.filePath(blocker)).open(QIODevice::WriteOnly));

    if (why.isEmpty())
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    else
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(
                                               QStringLiteral("Brassfinch/Check1 was not stored in ") + file
                                               + QStringLiteral(": ") + why)
                                           + QLatin1Char('$')));
    platform::QtSettingsStore store;
    store.write(QStringLiteral("Tarnhollow"), QStringLiteral("Brassfinch"), QStringLiteral("Check1"),
                QStringLiteral("0"));
    QCOMPARE(store.read(QStringLiteral("Tarnhollow"), QStringLiteral("Brassfinch"), QStringLiteral("Check1"),
                        QStringLiteral("1")),
             why.isEmpty() ? QStringLiteral("0") : QStringLiteral("1"));
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
