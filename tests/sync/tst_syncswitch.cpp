#include "platform/failure.h"
#include "sync/syncswitch.h"
#include "tests/support/fakeplatform.h"

#include <QCheckBox>
#include <QTest>

namespace {
const QString kKey = QStringLiteral("Tarnhollow/Brassfinch/Check1");
}

namespace {
// The main window's Check1_Click records every change.
void wireAsTheWindowDoes(SyncSwitch &sw)
{
    QObject::connect(&sw, &SyncSwitch::changed, &sw, &SyncSwitch::record);
}
} // namespace

class TestSyncSwitch : public QObject
{
    Q_OBJECT
private slots:
    void unusableStoredTextFailsAndKeepsTheBox_data();
    void unusableStoredTextFailsAndKeepsTheBox();
    void everyChangeIsStoredAtOnceWithItsCaption();
    void clickFromGreyedTicksAndNeverReturnsToGreyed();
};

void TestSyncSwitch::unusableStoredTextFailsAndKeepsTheBox_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("message");
    QTest::newRow("letters") << "abc" << "Type mismatch";
    QTest::newRow("empty text") << "" << "Type mismatch";
    QTest::newRow("beyond 16 bits") << "40000" << "Overflow";
    QTest::newRow("no state of the box") << "3" << "Invalid property value";
    QTest::newRow("negative") << "-1" << "Invalid property value";
    QTest::newRow("fraction") << "1.5" << "Type mismatch";
}

void TestSyncSwitch::unusableStoredTextFailsAndKeepsTheBox()
{
    QFETCH(QString, stored);
    QFETCH(QString, message);
    FakeSettingsStore settings;
    settings.values.insert(kKey, stored);
    QCheckBox box;
    SyncSwitch sw(&box, settings);
    wireAsTheWindowDoes(sw);
    try {
        sw.restore();
        QFAIL("an unusable stored value must fail");
    } catch (const platform::Failure &failure) {
        QCOMPARE(failure.message(), message);
    }
    QCOMPARE(sw.state(), SwitchState::Off);
    QCOMPARE(settings.values.value(kKey), stored); // kept until the next change
    QCOMPARE(settings.writes, 0);
}

void TestSyncSwitch::everyChangeIsStoredAtOnceWithItsCaption()
{
    FakeSettingsStore settings;
    QCheckBox box;
    SyncSwitch sw(&box, settings);
    wireAsTheWindowDoes(sw);
    sw.restore(); // absent: on, and the change is written back
    QCOMPARE(settings.values.value(kKey), QStringLiteral("1"));

    box.click();
    QCOMPARE(settings.values.value(kKey), QStringLiteral("0"));
    QCOMPARE(box.text(), QStringLiteral("Synchronous Scrolling is off"));
    box.click();
    QCOMPARE(settings.values.value(kKey), QStringLiteral("1"));
    QCOMPARE(box.text(), QStringLiteral("Synchronous Scrolling is on"));
}

void TestSyncSwitch::clickFromGreyedTicksAndNeverReturnsToGreyed()
{
    FakeSettingsStore settings;
    settings.values.insert(kKey, "2");
    QCheckBox box;
    SyncSwitch sw(&box, settings);
    wireAsTheWindowDoes(sw);
    sw.restore();
    QCOMPARE(sw.state(), SwitchState::Greyed);
    box.click();
    QCOMPARE(sw.state(), SwitchState::On);
    box.click();
    box.click();
    QCOMPARE(sw.state(), SwitchState::On);
    QCOMPARE(settings.values.value(kKey), QStringLiteral("1"));
}

QTEST_MAIN(TestSyncSwitch)
#include "tst_syncswitch.moc"
