#include "handlers/errorreport.h"
#include "handlers/guardedhandler.h"
#include "tests/support/fakeplatform.h"

#include <QTest>

#include <new>

using platform::Failure;

class TestErrorReport : public QObject
{
    Q_OBJECT
private slots:
    void reportTextJoinsItsPartsExactly_data();
    void reportTextJoinsItsPartsExactly();
    void reportIsAWarningWithOneOkButton();

    void everyFailingStepGivesOneBoxInStepOrder();
    void failingTestRunsTheBranchItGoverns();
    void failureInsideACalledOperationNamesTheCallingStep();
    void failuresOtherThanPlatformOnesAreReportedToo();
};

void TestErrorReport::reportTextJoinsItsPartsExactly_data()
{
    QTest::addColumn<QString>("location");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("expected");

    QTest::newRow("pointer file at start-up")
        << locationText("Form1", "Form_Load") << 104 << "Invalid picture"
        << "Invalid picture\r\nin Quillmere2021/08/31.Form1.Form_Load at line 104\r\r"
           "Please email screenshot of this message to support@tarnhollow.org";
    QTest::newRow("first step, empty description")
        << locationText("Form1", "PushButton9_Click") << 100 << ""
        << "\r\nin Quillmere2021/08/31.Form1.PushButton9_Click at line 100\r\r"
           "Please email screenshot of this message to support@tarnhollow.org";
    QTest::newRow("description with markup stays text")
        << locationText("Form2", "Form_Load") << 114 << "<b>Disk full</b>"
        << "<b>Disk full</b>\r\nin Quillmere2021/08/31.Form2.Form_Load at line 114\r\r"
           "Please email screenshot of this message to support@tarnhollow.org";
}

void TestErrorReport::reportTextJoinsItsPartsExactly()
{
    QFETCH(QString, location);
    QFETCH(int, line);
    QFETCH(QString, description);
    QFETCH(QString, expected);
    QCOMPARE(errorReportText(location, line, description), expected);
}

void TestErrorReport::reportIsAWarningWithOneOkButton()
{
    FakeMessageBoxes messages;
    ShowErrorReport(messages, locationText("Form1", "Form_Load"), 130, "Type mismatch");
    QCOMPARE(messages.shown.size(), 1);
    const platform::MessageRequest &box = messages.shown.first();
    QCOMPARE(box.title, QStringLiteral("Application Error"));
    QCOMPARE(box.icon, platform::MessageIcon::Warning);
    QCOMPARE(box.buttons, platform::MessageButtons::Ok);
    QVERIFY(box.text.startsWith("Type mismatch\r\nin Quillmere2021/08/31.Form1.Form_Load at line 130"));
}

void TestErrorReport::everyFailingStepGivesOneBoxInStepOrder()
{
    FakeMessageBoxes messages;
    GuardedHandler h(messages, locationText("Form1", "Form_Load"));
    QStringList ran;
    h.step(100, [&] { ran << "100"; throw Failure("first"); });
    h.step(102, [&] { ran << "102"; });
    h.step(104, [&] { ran << "104"; throw Failure("second"); });
    h.step(106, [&] { ran << "106"; throw Failure("third"); });
    QCOMPARE(ran, QStringList({"100", "102", "104", "106"}));
    QCOMPARE(messages.shown.size(), 3);
    QVERIFY(messages.shown[0].text.startsWith("first\r\n"));
    QVERIFY(messages.shown[0].text.contains("Form_Load at line 100\r\r"));
    QVERIFY(messages.shown[1].text.contains("at line 104\r\r"));
    QVERIFY(messages.shown[2].text.startsWith("third\r\n"));
    QVERIFY(messages.shown[2].text.contains("at line 106\r\r"));
}

void TestErrorReport::failingTestRunsTheBranchItGoverns()
{
    FakeMessageBoxes messages;
    GuardedHandler h(messages, locationText("Form1", "Form_Load"));
    bool governedRan = false;
    if (h.test(102, []() -> bool { throw Failure("cannot tell"); }))
        h.step(104, [&] { governedRan = true; });
    QVERIFY2(governedRan, "a test that fails to evaluate must go on inside its branch");
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY(messages.shown[0].text.contains("at line 102\r\r"));
}

void TestErrorReport::failureInsideACalledOperationNamesTheCallingStep()
{
    FakeMessageBoxes messages;
    GuardedHandler h(messages, locationText("Form1", "PushButton3_Click"));
    auto loader = [](const QString &path) { throw Failure("Permission denied: " + path); };
    h.step(122, [&] { loader("/x/a.txt"); });
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.shown[0].text,
             errorReportText(locationText("Form1", "PushButton3_Click"), 122, "Permission denied: /x/a.txt"));
}

void TestErrorReport::failuresOtherThanPlatformOnesAreReportedToo()
{
    FakeMessageBoxes messages;
    GuardedHandler h(messages, "in x ");
    bool later = false;
    h.step(100, [] { throw std::bad_alloc(); });
    h.step(102, [] { throw std::runtime_error("odd"); });
    h.step(104, [] { throw 42; });
    h.step(106, [&] { later = true; });
    QVERIFY(later);
    QCOMPARE(messages.shown.size(), 3);
    QVERIFY(messages.shown[0].text.startsWith("Out of memory\r\n"));
    QVERIFY(messages.shown[1].text.startsWith("odd\r\n"));
}

QTEST_GUILESS_MAIN(TestErrorReport)
#include "tst_errorreport.moc"
