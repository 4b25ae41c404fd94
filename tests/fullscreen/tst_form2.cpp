#include "app/form1.h"
#include "find/findbar.h"
#include "fullscreen/form2.h"
#include "sync/scrollsynchroniser.h"
#include "tests/support/fakeplatform.h"
#include "textpane/panecontrol.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

// The main window as the program runs it, on fakes, without ending the test when it closes.
struct MainWindow
{
    MainWindow()
    {
        form->setProgramEnd([this] { ++programEnds; });
        form->Form_Load();
        form->show();
        // The user clicks in a window that is up and active, not in one still being shown.
        if (!QTest::qWaitForWindowActive(form.get()))
            qFatal("the main window never became active");
    }

    Form2 &enterFullScreen()
    {
        form->PushButton1->click();
        Q_ASSERT(form->fullScreenWindow());
        return *form->fullScreenWindow();
    }

    FakePlatform fake;
    std::unique_ptr<Form1> form = std::make_unique<Form1>(fake.platform());
    int programEnds = 0;
};

} // namespace

class TestForm2 : public QObject
{
    Q_OBJECT
private slots:
    void roundTripKeepsTextsByteForByte_data();
    void roundTripKeepsTextsByteForByte();
    void eachWindowsTimerAlignsItsPanesAsTheSwitchSays_data();
    void eachWindowsTimerAlignsItsPanesAsTheSwitchSays();
    void panesScrollBarsLookAsInTheMainWindow_data();
    void panesScrollBarsLookAsInTheMainWindow();
    void escapeInTheFindBarKeepsTheView();
};

void TestForm2::roundTripKeepsTextsByteForByte_data()
{
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<QByteArray>("right");
    QTest::addColumn<int>("focus"); // the pane typed into, and left from with Escape
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<QString>("leave");
    QTest::newRow("CRLF and lone CR, Escape in the right pane")
        << QByteArray("one\r\ntwo\rthree\n") << QByteArray("\r\n\r\n") << 2 << QByteArray("x") << "Escape";
    QTest::newRow("NUL bytes, invalid UTF-8, BOM, Escape in the left pane")
        << QByteArray("a\0b\0\0c \xff\xfe", 9) << QByteArray("\xef\xbb\xbf" "caf\xe9 \xc3(") << 1
        << QByteArray() << "Escape";
    QTest::newRow("window manager closes the view")
        << QByteArray("start\r\n") << QByteArray("other") << 1 << QByteArray("typed") << "close view";
    QTest::newRow("main window closed: the program ends")
        << QByteArray("start\r\n") << QByteArray("other") << 1 << QByteArray("typed") << "close main";
}

void TestForm2::roundTripKeepsTextsByteForByte()
{
    QFETCH(QByteArray, left);
    QFETCH(QByteArray, right);
    QFETCH(int, focus);
    QFETCH(QByteArray, typed);
    QFETCH(QString, leave);
    MainWindow main;
    main.form->RichTextBox1->setBytes(left);
    main.form->RichTextBox2->setBytes(right);

    Form2 &full = main.enterFullScreen();
    QVERIFY(!main.form->isVisible());
    // Over the whole of the main window's screen, desktop panels included.
    QVERIFY(full.windowState() & Qt::WindowFullScreen);
    QCOMPARE(full.screen(), main.form->screen());
    QCOMPARE(full.geometry(), full.screen()->geometry());
    QCOMPARE(full.RichTextBox1->bytes(), left);
    QCOMPARE(full.RichTextBox2->bytes(), right);
    QVERIFY(main.fake.messages.shown.isEmpty());
    // Laid out for the size it was given, not the stored one, with the Escape hint unclipped.
    QCOMPARE(full.RichTextBox2->x(), full.width() / 2);
    QVERIFY(full.Label1->width() >= full.Label1->fontMetrics().horizontalAdvance(full.Label1->text()));
    // The left pane takes the focus on entry, and so leads.
    QVERIFY(QTest::qWaitForWindowActive(&full));
    QTRY_COMPARE(full.synchroniser().ActivePane(), ScrollSynchroniser::Leader::Left);

    PaneControl *focused = focus == 1 ? full.RichTextBox1 : full.RichTextBox2;
    focused->setFocus();
    QTRY_COMPARE(full.synchroniser().ActivePane(), ScrollSynchroniser::Leader(focus));
    focused->select(focused->byteCount(), focused->byteCount());
    focused->ensureCaretVisible();
    QTest::keyClicks(focused, QString::fromLatin1(typed)); // other keys reach the pane
    QVERIFY(full.isVisible());
    const QByteArray leftAfter = focus == 1 ? left + typed : left;
    const QByteArray rightAfter = focus == 2 ? right + typed : right;
    QCOMPARE(full.RichTextBox1->bytes(), leftAfter);
    QCOMPARE(full.RichTextBox2->bytes(), rightAfter);

    const bool ended = leave == QLatin1String("close main");
    if (leave == QLatin1String("Escape"))
        QTest::keyClick(focused, Qt::Key_Escape);
    else
        (ended ? static_cast<QWidget *>(main.form.get()) : &full)->close();
    QVERIFY(!full.isVisible());
    QVERIFY(!full.Timer1->isActive());
    QCOMPARE(main.programEnds, ended ? 1 : 0);
    QCOMPARE(main.form->isVisible(), !ended);
    // The view showed the main window's own documents: the edits are there, whatever ended it.
    QCOMPARE(main.form->RichTextBox1->bytes(), leftAfter);
    QCOMPARE(main.form->RichTextBox2->bytes(), rightAfter);
    // A closed view keeps no copy of the texts.
    QCOMPARE(full.RichTextBox1->byteCount() + full.RichTextBox2->byteCount(), 0);
    if (ended)
        return;

    // Entered again, the same window shows the main window's texts as they are now, and its
    // left pane leads again.
    main.form->RichTextBox1->setBytes(QByteArray());
    QCOMPARE(&main.enterFullScreen(), &full);
    QVERIFY(full.Timer1->isActive());
    QCOMPARE(full.RichTextBox1->bytes(), QByteArray());
    QVERIFY(QTest::qWaitForWindowActive(&full));
    QTRY_COMPARE(full.synchroniser().ActivePane(), ScrollSynchroniser::Leader::Left);
}

void TestForm2::eachWindowsTimerAlignsItsPanesAsTheSwitchSays_data()
{
    QTest::addColumn<int>("window"); // 1 the main window, 2 the full-screen view
    QTest::addColumn<bool>("enterFullScreen");
    QTest::addColumn<Qt::CheckState>("switchState");
    QTest::newRow("main window") << 1 << false << Qt::Checked;
    QTest::newRow("main window, hidden behind the full-screen view") << 1 << true << Qt::Checked;
    QTest::newRow("full-screen window, ticked") << 2 << true << Qt::Checked;
    QTest::newRow("full-screen window, unticked") << 2 << true << Qt::Unchecked;
    QTest::newRow("full-screen window, greyed") << 2 << true << Qt::PartiallyChecked;
}

void TestForm2::eachWindowsTimerAlignsItsPanesAsTheSwitchSays()
{
    QFETCH(int, window);
    QFETCH(bool, enterFullScreen);
    QFETCH(Qt::CheckState, switchState);
    MainWindow main;
    main.form->RichTextBox1->setBytes(QByteArray("row\n").repeated(400));
    main.form->RichTextBox2->setBytes(QByteArray("row\n").repeated(400));
    if (enterFullScreen)
        main.enterFullScreen();
    Form1 &form = *main.form;
    PaneControl *left = window == 1 ? form.RichTextBox1 : form.fullScreenWindow()->RichTextBox1;
    PaneControl *right = window == 1 ? form.RichTextBox2 : form.fullScreenWindow()->RichTextBox2;
    // Set while the view is up: the view asks the main window's switch on every tick.
    form.Check1->setTristate(switchState == Qt::PartiallyChecked);
    form.Check1->setCheckState(switchState);

    emit left->focusReceived();
    const QPoint leader(0, 80 * left->lineHeight());
    left->setScrollPosition(leader);
    // No tick is called here: only the window's own timer can move the follower.
    if (switchState == Qt::Checked) {
        QTRY_COMPARE(right->scrollPosition(), leader);
    } else {
        QTest::qWait(3 * int(ScrollSynchroniser::kTickInterval.count()));
        QCOMPARE(right->scrollPosition(), QPoint(0, 0));
    }
    // The other window's panes are not these: their positions stay apart.
    if (enterFullScreen) {
        PaneControl *other = window == 1 ? form.fullScreenWindow()->RichTextBox1 : form.RichTextBox1;
        QCOMPARE(other->scrollPosition(), QPoint(0, 0));
    }
}

void TestForm2::panesScrollBarsLookAsInTheMainWindow_data()
{
    QTest::addColumn<QPalette::ColorRole>("role");
    QTest::newRow("arrows, window text") << QPalette::WindowText;
    QTest::newRow("arrows, button text") << QPalette::ButtonText;
    QTest::newRow("corner and groove") << QPalette::Window;
}

void TestForm2::panesScrollBarsLookAsInTheMainWindow()
{
    QFETCH(QPalette::ColorRole, role);
    MainWindow main;
    Form2 &full = main.enterFullScreen();
    const QColor expected = main.form->RichTextBox1->verticalScrollBar()->palette().color(role);
    for (PaneControl *pane : {full.RichTextBox1, full.RichTextBox2})
        for (QScrollBar *bar : {pane->verticalScrollBar(), pane->horizontalScrollBar()})
            QCOMPARE(bar->palette().color(role), expected);
    // Only the notice is green.
    QCOMPARE(full.Label1->palette().color(QPalette::WindowText), QColor(0, 255, 0));
}

void TestForm2::escapeInTheFindBarKeepsTheView()
{
    MainWindow main;
    main.form->RichTextBox1->setBytes("one two two");
    Form2 &full = main.enterFullScreen();
    QVERIFY(QTest::qWaitForWindowActive(&full));
    QTest::keyClick(full.RichTextBox1, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("two"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(full.RichTextBox1->editor().selection().start, 4);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!full.findChild<FindBar *>()->isVisible());
    QVERIFY(full.isVisible());
    QCOMPARE(QApplication::focusWidget(), full.RichTextBox1);
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
