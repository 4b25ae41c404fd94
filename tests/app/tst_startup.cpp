#include "app/startup.h"
#include "tests/support/fakeplatform.h"

#include <QTest>

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void titleRuleCutsAtTheLastSpace_data();
    void titleRuleCutsAtTheLastSpace();
    void homePageOpensOnlyOnTheDrawOfSeven_data();
    void homePageOpensOnlyOnTheDrawOfSeven();
    void drawIsSeededFromSecondsSinceMidnight();
};

void TestStartup::titleRuleCutsAtTheLastSpace_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");

    // Nine words, 49 characters; the first eight make exactly 40.
    const QString fortyNine = QStringLiteral("Brass finch shows two texts side by side together");
    QTest::newRow("nine words, 49 characters") << fortyNine << QStringLiteral("Brass finch shows two texts side by side");
    QTest::newRow("two words, 12 characters") << QStringLiteral("Brass Finchy") << QStringLiteral("Brass");
    QTest::newRow("one cut even when short") << QStringLiteral("Side By Side") << QStringLiteral("Side By");
    QTest::newRow("no space keeps the whole name") << QStringLiteral("Brassfinch") << QStringLiteral("Brassfinch");
    QTest::newRow("long tail without a space stops") << QString(QStringLiteral("a ") + QString(45, 'b') + QStringLiteral(" c"))
                                                     << QStringLiteral("a");
}

void TestStartup::titleRuleCutsAtTheLastSpace()
{
    QFETCH(QString, name);
    QFETCH(QString, title);
    QVERIFY(title.size() <= 40);
    QCOMPARE(applicationTitleFor(name), title);
}

void TestStartup::homePageOpensOnlyOnTheDrawOfSeven_data()
{
    QTest::addColumn<double>("fraction");
    QTest::addColumn<bool>("opens");
    QTest::newRow("draw 1") << 0.0 << false;
    QTest::newRow("draw 6") << 0.0599 << false;
    QTest::newRow("draw 7, low edge") << 0.06 << true;
    QTest::newRow("draw 7, high edge") << 0.0699 << true;
    QTest::newRow("draw 8") << 0.07 << false;
    QTest::newRow("draw 100") << 0.9999 << false;
}

void TestStartup::homePageOpensOnlyOnTheDrawOfSeven()
{
    QFETCH(double, fraction);
    QFETCH(bool, opens);
    FakeRandomSource random;
    FakeClock clock;
    random.fraction = fraction;
    QCOMPARE(homePageDrawn(random, clock), opens);
}

void TestStartup::drawIsSeededFromSecondsSinceMidnight()
{
    FakeRandomSource random;
    FakeClock clock;
    clock.seconds = 45296; // 12:34:56
    homePageDrawn(random, clock);
    QCOMPARE(random.seeds, QList<quint32>({45296u}));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
