#include "app/form1.h"
#include "app/startup.h"
#include "platform/applicationtitle.h"
#include "sync/syncswitch.h"
#include "tests/support/fakeplatform.h"
#include "tests/support/testfiles.h"
#include "textpane/panecontrol.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QShortcut>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
const QString kKey = QStringLiteral("Tarnhollow/Brassfinch/Check1");
}

class TestForm1 : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void controlsStandWhereTheLayoutPutsThem_data();
    void controlsStandWhereTheLayoutPutsThem();
    void windowIsFixedAndItsTimerRunsFromCreation();

    void startUpNamesTheWindowAndEmptiesThePanes();
    void startUpRestoresTheSwitch_data();
    void startUpRestoresTheSwitch();
    void homePageOpensOnTheDrawOfSeven();
    void focusStartsInTheLeftPane();
    void closingEndsTheProgramWithoutAQuestion();
    void eachButtonActsOnItsOwnPaneAndReportsUnderItsOwnName_data();
    void eachButtonActsOnItsOwnPaneAndReportsUnderItsOwnName();
    void anActionRunsAloneWithTheControlsDisabled();

private:
    FakePlatform m_fake;
};

void TestForm1::init()
{
    m_fake.messages.shown.clear();
    m_fake.settings.values.clear();
    m_fake.shell.urls.clear();
    m_fake.random.fraction = 0.5;
    platform::setApplicationTitle(QStringLiteral("Brassfinch"));
}

void TestForm1::controlsStandWhereTheLayoutPutsThem_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("geometry"); // pixels, relative to the parent
    QTest::addColumn<qreal>("points");

    QTest::newRow("Frame1") << "Frame1" << "Text File #1" << QRect(8, 8, 256, 321) << 9.0;
    QTest::newRow("Frame3") << "Frame3" << "Text File #2" << QRect(272, 8, 256, 321) << 9.0;
    QTest::newRow("Frame2") << "Frame2" << "Down Arrow Sync Option" << QRect(8, 470, 520, 59) << 9.0;
    QTest::newRow("RichTextBox1") << "RichTextBox1" << "" << QRect(16, 20, 224, 289) << 9.0;
    QTest::newRow("RichTextBox2") << "RichTextBox2" << "" << QRect(16, 20, 224, 289) << 9.0;
    QTest::newRow("Check1") << "Check1" << "Synchronous Scrolling is x" << QRect(16, 20, 489, 27) << 11.25;
    QTest::newRow("PushButton3") << "PushButton3" << "Open File 1" << QRect(8, 337, 256, 27) << 11.25;
    QTest::newRow("PushButton4") << "PushButton4" << "Open File 2" << QRect(272, 337, 256, 27) << 11.25;
    QTest::newRow("PushButton2") << "PushButton2" << "Save File 1" << QRect(8, 371, 256, 27) << 11.25;
    QTest::newRow("PushButton5") << "PushButton5" << "Save File 2" << QRect(272, 371, 256, 27) << 11.25;
    QTest::newRow("PushButton7") << "PushButton7" << "Clear File 1" << QRect(8, 405, 256, 27) << 11.25;
    QTest::newRow("PushButton6") << "PushButton6" << "Clear File 2" << QRect(272, 405, 256, 27) << 11.25;
    QTest::newRow("PushButton9") << "PushButton9" << "Load Sample/Example Files" << QRect(8, 439, 256, 27) << 11.25;
    QTest::newRow("PushButton1") << "PushButton1" << "Show Full Screen" << QRect(272, 439, 256, 27) << 11.25;
}

void TestForm1::controlsStandWhereTheLayoutPutsThem()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, geometry);
    QFETCH(qreal, points);

    Form1 form(m_fake.platform());
    const QMap<QString, QWidget *> controls{
        {"Frame1", form.Frame1}, {"Frame2", form.Frame2}, {"Frame3", form.Frame3},
        {"RichTextBox1", form.RichTextBox1}, {"RichTextBox2", form.RichTextBox2}, {"Check1", form.Check1},
        {"PushButton1", form.PushButton1}, {"PushButton2", form.PushButton2}, {"PushButton3", form.PushButton3},
        {"PushButton4", form.PushButton4}, {"PushButton5", form.PushButton5}, {"PushButton6", form.PushButton6},
        {"PushButton7", form.PushButton7}, {"PushButton9", form.PushButton9}};
    QWidget *control = controls.value(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(control->font().family(), QStringLiteral("Arial"));
    QVERIFY(control->font().bold());
    QCOMPARE(control->font().pointSizeF(), points);
    if (auto *box = qobject_cast<QGroupBox *>(control))
        QCOMPARE(box->title(), caption);
    else if (auto *button = qobject_cast<QAbstractButton *>(control))
        QCOMPARE(button->text(), caption);
}

void TestForm1::windowIsFixedAndItsTimerRunsFromCreation()
{
    Form1 form(m_fake.platform());
    QCOMPARE(form.size(), QSize(536, 538));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(form.palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(form.RichTextBox1->parentWidget() == form.Frame1);
    QVERIFY(form.RichTextBox2->parentWidget() == form.Frame3);
    QVERIFY(form.Check1->parentWidget() == form.Frame2);
    QVERIFY(form.Timer1->isActive());
    QCOMPARE(form.Timer1->interval(), 100);
}

void TestForm1::startUpNamesTheWindowAndEmptiesThePanes()
{
    Form1 form(m_fake.platform());
    form.RichTextBox1->setBytes("left");
    form.RichTextBox2->setBytes("right");
    form.Form_Load();
    QCOMPARE(form.windowTitle(), QStringLiteral("Brassfinch"));
    QVERIFY(!form.windowIcon().isNull());
    QCOMPARE(platform::applicationTitle(), applicationTitleFor(kProductName));
    QVERIFY(form.RichTextBox1->bytes().isEmpty());
    QVERIFY(form.RichTextBox2->bytes().isEmpty());
    QVERIFY2(m_fake.messages.shown.isEmpty(), "a clean start shows no message");
}

void TestForm1::startUpRestoresTheSwitch_data()
{
    QTest::addColumn<QString>("stored"); // null: absent
    QTest::addColumn<Qt::CheckState>("state");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("reports");
    QTest::newRow("first start") << QString() << Qt::Checked << "Synchronous Scrolling is on" << 0;
    QTest::newRow("stored 0") << "0" << Qt::Unchecked << "Synchronous Scrolling is off" << 0;
    QTest::newRow("stored 2") << "2" << Qt::PartiallyChecked << "Synchronous Scrolling is off" << 0;
    QTest::newRow("letters") << "on" << Qt::Unchecked << "Synchronous Scrolling is off" << 1;
}

void TestForm1::startUpRestoresTheSwitch()
{
    QFETCH(QString, stored);
    QFETCH(Qt::CheckState, state);
    QFETCH(QString, caption);
    QFETCH(int, reports);
    if (!stored.isNull())
        m_fake.settings.values.insert(kKey, stored);
    Form1 form(m_fake.platform());
    form.Form_Load();
    QCOMPARE(form.Check1->checkState(), state);
    QCOMPARE(form.Check1->text(), caption);
    QCOMPARE(m_fake.messages.shown.size(), reports);
    if (reports) {
        QCOMPARE(m_fake.messages.shown[0].title, QStringLiteral("Application Error"));
        QVERIFY(m_fake.messages.shown[0].text.contains("\r\nin Quillmere2021/08/31.Form1.Form_Load at line 130\r\r"));
        QCOMPARE(m_fake.settings.values.value(kKey), stored);
    }
}

void TestForm1::homePageOpensOnTheDrawOfSeven()
{
    m_fake.random.fraction = 0.065;
    Form1 form(m_fake.platform());
    form.Form_Load();
    QCOMPARE(m_fake.shell.urls, QList<QUrl>({kHomePage}));
    QVERIFY(m_fake.messages.shown.isEmpty());
}

void TestForm1::focusStartsInTheLeftPane()
{
    Form1 form(m_fake.platform());
    form.Form_Load();
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(form.RichTextBox1));
}

void TestForm1::closingEndsTheProgramWithoutAQuestion()
{
    Form1 form(m_fake.platform());
    form.Form_Load();
    form.RichTextBox1->setBytes("unsaved");
    int ended = 0;
    form.setProgramEnd([&] { ++ended; });
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(form.close());
    QCOMPARE(ended, 1);
    QVERIFY(m_fake.messages.shown.isEmpty());
}

void TestForm1::eachButtonActsOnItsOwnPaneAndReportsUnderItsOwnName_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("chosen"); // the dialog's answer in the scratch folder, if asked
    QTest::addColumn<QString>("report"); // where the one error report says it failed
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<QByteArray>("right");
    QTest::addColumn<QByteArray>("saved");

    // The panes hold "one" and "two" before each click. "folder" is a folder: no file loads from
    // it; "none/" does not exist: no file is written there.
    QTest::newRow("Save File 1") << "PushButton2" << "out.txt" << "" << QByteArray("one")
                                 << QByteArray("two") << QByteArray("one");
    QTest::newRow("Save File 2") << "PushButton5" << "out.txt" << "" << QByteArray("one")
                                 << QByteArray("two") << QByteArray("two");
    QTest::newRow("Save File 1 fails") << "PushButton2" << "none/out.txt" << "PushButton2_Click at line 114"
                                       << QByteArray("one") << QByteArray("two") << QByteArray();
    QTest::newRow("Save File 2 fails") << "PushButton5" << "none/out.txt" << "PushButton5_Click at line 114"
                                       << QByteArray("one") << QByteArray("two") << QByteArray();
    // A file that cannot be opened leaves the pane's text as it was.
    QTest::newRow("Open File 1 fails") << "PushButton3" << "folder" << "PushButton3_Click at line 122"
                                       << QByteArray("one") << QByteArray("two") << QByteArray();
    QTest::newRow("Open File 2 fails") << "PushButton4" << "folder" << "PushButton4_Click at line 120"
                                       << QByteArray("one") << QByteArray("two") << QByteArray();
    QTest::newRow("Clear File 1") << "PushButton7" << "" << "" << QByteArray() << QByteArray("two")
                                  << QByteArray();
    QTest::newRow("Clear File 2") << "PushButton6" << "" << "" << QByteArray("one") << QByteArray()
                                  << QByteArray();
    // The first sample is a folder here; the second loads.
    QTest::newRow("Samples fail") << "PushButton9" << "" << "PushButton9_Click at line 106"
                                  << QByteArray("one\r") << QByteArray("sample two\r") << QByteArray();
}

void TestForm1::eachButtonActsOnItsOwnPaneAndReportsUnderItsOwnName()
{
    QFETCH(QString, button);
    QFETCH(QString, chosen);
    QFETCH(QString, report);
    QFETCH(QByteArray, left);
    QFETCH(QByteArray, right);
    QFETCH(QByteArray, saved);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("folder") && QDir(dir.path()).mkpath("Samples/sample1.txt"));
    QFile sample(dir.filePath("Samples/sample2.txt"));
    QVERIFY(sample.open(QIODevice::WriteOnly) && sample.write("sample two") == 10);
    sample.close();
    FakePlatform fake;
    fake.programDirectory = dir.path();
    if (!chosen.isEmpty()) {
        fake.dialogs.openAnswers.push_back({dir.filePath(chosen)});
        fake.dialogs.saveAnswers.push_back(dir.filePath(chosen));
    }
    Form1 form(fake.platform());
    form.RichTextBox1->setBytes("one");
    form.RichTextBox2->setBytes("two");

    form.findChild<QPushButton *>(button)->click();

    QStringList reports;
    for (const platform::MessageRequest &box : fake.messages.shown)
        if (box.title == QLatin1String("Application Error"))
            reports << box.text.section(QStringLiteral("\r\n"), 1).section(QStringLiteral("\r\r"), 0, 0);
    const QStringList expected{QStringLiteral("in Quillmere2021/08/31.Form1.") + report};
    QCOMPARE(reports, report.isEmpty() ? QStringList() : expected);
    QCOMPARE(form.RichTextBox1->bytes(), left);
    QCOMPARE(form.RichTextBox2->bytes(), right);
    QFile file(dir.filePath(chosen));
    QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), saved);
}

void TestForm1::anActionRunsAloneWithTheControlsDisabled()
{
    // A screen reader presses a button while a save waits on its question: that second action
    // must not run inside the first, and nothing of the window may start one meanwhile.
    QTemporaryDir dir;
    const QString target = dir.filePath("old.txt");
    writeFile(target, "old");
    writeFile(dir.filePath("other.txt"), "other");
    FakePlatform fake;
    Form1 form(fake.platform());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.RichTextBox1->setBytes("left");
    form.PushButton2->setFocus();
    fake.dialogs.saveAnswers = {target};
    const QList<QWidget *> controls{form.PushButton1, form.PushButton2, form.PushButton3, form.PushButton4, form.PushButton5,
                                    form.PushButton6, form.PushButton7, form.PushButton9, form.Check1};
    QStringList enabledDuring;
    fake.messages.onShow = [&](const platform::MessageRequest &) {
        for (QWidget *control : controls)
            if (control->isEnabled())
                enabledDuring << control->objectName();
        for (QShortcut *shortcut : form.findChildren<QShortcut *>())
            if (shortcut->isEnabled())
                enabledDuring << shortcut->key().toString();
        form.PushButton3_Click({dir.filePath("other.txt")});
        form.PushButton7_Click();
    };
    fake.messages.answers = {platform::MessageAnswer::No};
    form.PushButton2_Click();

    QCOMPARE(fake.messages.shown.size(), 1); // the question alone
    QCOMPARE(enabledDuring, QStringList());
    QCOMPARE(form.RichTextBox1->bytes(), QByteArray("left"));
    for (QWidget *control : controls)
        QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
    QCOMPARE(QApplication::focusWidget(), form.PushButton2);
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
