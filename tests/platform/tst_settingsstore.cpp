#include "platform/qtplatform.h"

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
    void settingThatCannotBeStoredIsWarned_data()
    {
        QTest::addColumn<QString>("blocker"); // what stands where the store wants to write
        QTest::addColumn<QString>("why");     // empty: the setting is stored, nothing is said
        QTest::newRow("nothing in the way") << "" << "";
        QTest::newRow("settings file is a folder") << "Tarnhollow/Tarnhollow.conf" << "Is a directory";
        QTest::newRow("settings folder is a file") << "Tarnhollow" << "Not a directory";
    }
    void settingThatCannotBeStoredIsWarned()
    {
        QFETCH(QString, blocker);
        QFETCH(QString, why);
        QTemporaryDir home;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
        if (blocker.endsWith(".conf"))
            QVERIFY(QDir(home.path()).mkpath(blocker));
        else if (!blocker.isEmpty())
            QVERIFY(QFile(home.filePath(blocker)).open(QIODevice::WriteOnly));
        const QString warning = "Brassfinch/Check1 was not stored in " + home.filePath("Tarnhollow/Tarnhollow.conf") + ": " + why;
        if (why.isEmpty())
            QTest::failOnWarning(QRegularExpression(".*"));
        else
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(warning) + '$'));
        platform::QtSettingsStore store;
        store.write("Tarnhollow", "Brassfinch", "Check1", "0");
        QCOMPARE(store.read("Tarnhollow", "Brassfinch", "Check1", "1"), QString(why.isEmpty() ? "0" : "1"));
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
