#include "fakeplatform.h"
#include "form1.h"
#include "form2.h"
#include "panecontrol.h"
#include "scrollsynchroniser.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

QByteArray longText(int lines)
{
    QByteArray text;
    for (int i = 0; i < lines; ++i)
        text += "row " + QByteArray::number(i) + ' ' + QByteArray(300, 'y') + '\n';
    return text;
}

// The main window as the program runs it, on fakes, without ending the test when it closes.
struct MainWindow
{
    MainWindow()
    {
        form = std::make_unique<Form1>(fake.platform());
        form->setProgramEnd([this] { ++programEnds; });
        form->Form_Load();
        form->show();
        // The user clicks in a window that is up and active, not in one still being shown.
        active = QTest::qWaitForWindowActive(form.get());
    }

    Form2 &enterFullScreen()
    {
        Q_ASSERT(active);
        form->PushButton1->click();
        Form2 *fullScreen = form->fullScreenWindow();
        Q_ASSERT(fullScreen);
        return *fullScreen;
    }

    FakePlatform fake;
    std::unique_ptr<Form1> form;
    int programEnds = 0;
    bool active = false;
};

} // namespace

class TestForm2 : public QObject
{
    Q_OBJECT
private slots:
    void entryShowsBothTextsAndHidesMainWindow();
    void roundTripKeepsTextsByteForByte_data();
    void roundTripKeepsTextsByteForByte();
    void escapeLeavesWhicheverPaneHasFocus_data();
    void escapeLeavesWhicheverPaneHasFocus();
    void otherKeysReachThePane();
    void secondEntryShowsMainWindowsCurrentTexts();
    void closingMainWindowCopiesNothingBack();
    void windowManagerCloseBringsMainWindowBack();
    void fullScreenPanesFollowMainWindowsSwitch_data();
    void fullScreenPanesFollowMainWindowsSwitch();
    void eachWindowsTimerAlignsItsPanes_data();
    void eachWindowsTimerAlignsItsPanes();
};

void TestForm2::entryShowsBothTextsAndHidesMainWindow()
{
    MainWindow main;
    main.form->RichTextBox1->SetText("left\r\ntext");
    main.form->RichTextBox2->SetText("right text");

    Form2 &full = main.enterFullScreen();
    QVERIFY(!main.form->isVisible());
    QVERIFY(full.isVisible());
    QVERIFY(full.windowState() & Qt::WindowMaximized);
    QCOMPARE(full.RichTextBox1->Text(), QByteArray("left\r\ntext"));
    QCOMPARE(full.RichTextBox2->Text(), QByteArray("right text"));
    QCOMPARE(full.Label1->text(), QStringLiteral("ESC To Exit"));
    QVERIFY2(full.Label1->width() >= full.Label1->fontMetrics().horizontalAdvance(full.Label1->text()),
             "the Escape hint is clipped");
    QVERIFY(main.fake.messages.shown.isEmpty());

    // The left pane takes the focus on entry, and so leads.
    QVERIFY(QTest::qWaitForWindowActive(&full));
    QTRY_COMPARE(full.synchroniser().ActivePane(), 1);

    // Laid out for the size it was given, not the stored one.
    QCOMPARE(full.RichTextBox2->x(), full.width() / 2);
    QCOMPARE(full.RichTextBox1->width(), full.RichTextBox2->width());
}

void TestForm2::roundTripKeepsTextsByteForByte_data()
{
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<QByteArray>("right");
    QTest::addColumn<QByteArray>("typedLeft");

    QTest::newRow("empty panes") << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("CRLF and lone CR") << QByteArray("one\r\ntwo\rthree\n") << QByteArray("\r\n\r\n")
                                      << QByteArray();
    QTest::newRow("NUL bytes") << QByteArray("a\0b\0\0c", 6) << QByteArray("\0", 1) << QByteArray();
    QTest::newRow("invalid UTF-8") << QByteArray("caf\xe9 \xff\xfe \xc3(") << QByteArray("\xef\xbb\xbf" "bom")
                                   << QByteArray();
    QTest::newRow("edited in full screen") << QByteArray("start\r\n") << QByteArray("other")
                                           << QByteArray("typed");
}

void TestForm2::roundTripKeepsTextsByteForByte()
{
    QFETCH(QByteArray, left);
    QFETCH(QByteArray, right);
    QFETCH(QByteArray, typedLeft);

    MainWindow main;
    main.form->RichTextBox1->SetText(left);
    main.form->RichTextBox2->SetText(right);
    Form2 &full = main.enterFullScreen();
    QCOMPARE(full.RichTextBox1->Text(), left);
    QCOMPARE(full.RichTextBox2->Text(), right);

    QByteArray expectedLeft = left;
    if (!typedLeft.isEmpty()) {
        QVERIFY(QTest::qWaitForWindowActive(&full));
        full.RichTextBox1->setFocus();
        full.RichTextBox1->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
        QTest::keyClicks(full.RichTextBox1, QString::fromLatin1(typedLeft));
        expectedLeft += typedLeft;
        QCOMPARE(full.RichTextBox1->Text(), expectedLeft);
    }

    QTest::keyClick(full.RichTextBox1, Qt::Key_Escape);
    QVERIFY(!full.isVisible());
    QVERIFY(main.form->isVisible());
    QCOMPARE(main.form->RichTextBox1->Text(), expectedLeft);
    QCOMPARE(main.form->RichTextBox2->Text(), right);
}

void TestForm2::escapeLeavesWhicheverPaneHasFocus_data()
{
    QTest::addColumn<int>("pane");
    QTest::newRow("left pane") << 1;
    QTest::newRow("right pane") << 2;
}

void TestForm2::escapeLeavesWhicheverPaneHasFocus()
{
    QFETCH(int, pane);
    MainWindow main;
    main.form->RichTextBox2->SetText("right before");
    Form2 &full = main.enterFullScreen();
    QVERIFY(QTest::qWaitForWindowActive(&full));
    PaneControl *focused = pane == 1 ? full.RichTextBox1 : full.RichTextBox2;
    focused->setFocus();
    QTRY_VERIFY(focused->hasFocus());
    full.RichTextBox2->SetText("right after");

    QTest::keyClick(focused, Qt::Key_Escape);
    QVERIFY(!full.isVisible());
    QVERIFY(main.form->isVisible());
    QCOMPARE(main.form->RichTextBox2->Text(), QByteArray("right after"));
    QCOMPARE(main.programEnds, 0);
}

void TestForm2::otherKeysReachThePane()
{
    MainWindow main;
    Form2 &full = main.enterFullScreen();
    QVERIFY(QTest::qWaitForWindowActive(&full));
    full.RichTextBox2->setFocus();
    QTest::keyClicks(full.RichTextBox2, QStringLiteral("ab"));
    QVERIFY(full.isVisible());
    QCOMPARE(full.RichTextBox2->Text(), QByteArray("ab"));
}

void TestForm2::secondEntryShowsMainWindowsCurrentTexts()
{
    MainWindow main;
    main.form->RichTextBox1->SetText("first left");
    main.form->RichTextBox2->SetText("first right");
    Form2 &first = main.enterFullScreen();
    QVERIFY(QTest::qWaitForWindowActive(&first));
    first.RichTextBox2->setFocus();
    QTRY_COMPARE(first.synchroniser().ActivePane(), 2);
    QTest::keyClick(first.RichTextBox2, Qt::Key_Escape);

    main.form->RichTextBox1->SetText("second left");
    main.form->RichTextBox2->SetText(QByteArray());
    Form2 &second = main.enterFullScreen();
    QCOMPARE(&second, &first); // one window object for the whole run
    QVERIFY(second.isVisible());
    QVERIFY(second.Timer1->isActive());
    QCOMPARE(second.RichTextBox1->Text(), QByteArray("second left"));
    QCOMPARE(second.RichTextBox2->Text(), QByteArray());
    // Loaded anew, the window gives the focus to its first pane, which leads again.
    QVERIFY(QTest::qWaitForWindowActive(&second));
    QTRY_COMPARE(second.synchroniser().ActivePane(), 1);
    QVERIFY(second.RichTextBox1->hasFocus());
}

void TestForm2::closingMainWindowCopiesNothingBack()
{
    MainWindow main;
    main.form->RichTextBox1->SetText("kept left");
    main.form->RichTextBox2->SetText("kept right");
    Form2 &full = main.enterFullScreen();
    full.RichTextBox1->SetText("changed left");
    full.RichTextBox2->SetText(QByteArray());

    main.form->close();
    QCOMPARE(main.programEnds, 1);
    QVERIFY(!full.isVisible());
    QVERIFY(!full.Timer1->isActive());
    QCOMPARE(main.form->RichTextBox1->Text(), QByteArray("kept left"));
    QCOMPARE(main.form->RichTextBox2->Text(), QByteArray("kept right"));
}

void TestForm2::windowManagerCloseBringsMainWindowBack()
{
    MainWindow main;
    Form2 &full = main.enterFullScreen();
    full.RichTextBox1->SetText("edited");

    full.close(); // as a window manager's close does, without Escape
    QVERIFY(!full.isVisible());
    QVERIFY(main.form->isVisible());
    QCOMPARE(main.form->RichTextBox1->Text(), QByteArray("edited"));
    QVERIFY(!full.Timer1->isActive());
}

void TestForm2::fullScreenPanesFollowMainWindowsSwitch_data()
{
    QTest::addColumn<Qt::CheckState>("switchState");
    QTest::addColumn<bool>("follows");
    QTest::newRow("ticked") << Qt::Checked << true;
    QTest::newRow("unticked") << Qt::Unchecked << false;
    QTest::newRow("greyed") << Qt::PartiallyChecked << false;
}

void TestForm2::fullScreenPanesFollowMainWindowsSwitch()
{
    QFETCH(Qt::CheckState, switchState);
    QFETCH(bool, follows);
    MainWindow main;
    main.form->RichTextBox1->SetText(longText(400));
    main.form->RichTextBox2->SetText(longText(400));
    Form2 &full = main.enterFullScreen();
    main.form->Check1->setTristate(switchState == Qt::PartiallyChecked);
    main.form->Check1->setCheckState(switchState);

    emit full.RichTextBox2->pointerMoved();
    QCOMPARE(full.synchroniser().ActivePane(), 2);
    const QPoint leader(0, 120 * full.RichTextBox2->lineHeight());
    full.RichTextBox2->setScrollPosition(leader);
    full.synchroniser().tick();
    QCOMPARE(full.RichTextBox1->scrollPosition(), follows ? leader : QPoint(0, 0));
    QCOMPARE(full.RichTextBox2->scrollPosition(), leader);
    // The main window's panes are not the full-screen ones: their positions stay apart.
    QCOMPARE(main.form->RichTextBox1->scrollPosition(), QPoint(0, 0));
}

void TestForm2::eachWindowsTimerAlignsItsPanes_data()
{
    QTest::addColumn<bool>("enterFullScreen");
    QTest::addColumn<bool>("fullScreenPanes");
    QTest::newRow("main window") << false << false;
    QTest::newRow("main window, hidden behind the full-screen view") << true << false;
    QTest::newRow("full-screen window") << true << true;
}

void TestForm2::eachWindowsTimerAlignsItsPanes()
{
    QFETCH(bool, enterFullScreen);
    QFETCH(bool, fullScreenPanes);
    MainWindow main;
    main.form->RichTextBox1->SetText(longText(400));
    main.form->RichTextBox2->SetText(longText(400));
    PaneControl *left = main.form->RichTextBox1;
    PaneControl *right = main.form->RichTextBox2;
    if (enterFullScreen) {
        Form2 &full = main.enterFullScreen();
        QVERIFY(!main.form->isVisible());
        if (fullScreenPanes) {
            left = full.RichTextBox1;
            right = full.RichTextBox2;
        }
    }
    emit left->focusReceived();
    const QPoint leader(0, 80 * left->lineHeight());
    left->setScrollPosition(leader);
    // No tick is called here: only the window's own timer can move the follower.
    QTRY_COMPARE(right->scrollPosition(), leader);
}

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
