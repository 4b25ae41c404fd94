#include "panecontrol.h"
#include "scrollsynchroniser.h"

#include <QHBoxLayout>
#include <QScrollBar>
#include <QTest>
#include <QWidget>

#include <memory>

namespace {

// Long numbered lines, so both panes can scroll well down and well to the right.
QByteArray longText(int lines)
{
    QByteArray text;
    const QByteArray tail(400, 'x');
    for (int i = 0; i < lines; ++i)
        text += "line " + QByteArray::number(i) + ' ' + tail + "\r\n";
    return text;
}

// Two shown panes side by side, as a window holds them, with a switch the test sets.
struct PanePair
{
    PanePair()
    {
        window.resize(600, 300);
        auto *layout = new QHBoxLayout(&window);
        left = new PaneControl(&window);
        right = new PaneControl(&window);
        layout->addWidget(left);
        layout->addWidget(right);
        left->SetText(longText(500));
        right->SetText(longText(500));
        window.show();
        sync = std::make_unique<ScrollSynchroniser>(left, right, [this] { return switchState; });
    }

    // Vertical positions in whole lines, as the panes hold them.
    QPoint at(int xPixels, int lines) const { return {xPixels, lines * left->lineHeight()}; }

    QWidget window;
    PaneControl *left = nullptr;
    PaneControl *right = nullptr;
    int switchState = 1;
    std::unique_ptr<ScrollSynchroniser> sync;
};

void makeLead(PaneControl *pane)
{
    emit pane->focusReceived();
}

} // namespace

class TestScrollSynchroniser : public QObject
{
    Q_OBJECT
private slots:
    void followerTakesLeaderPositionOnlyWhenSwitchIsOnAndLeaderKnown_data();
    void followerTakesLeaderPositionOnlyWhenSwitchIsOnAndLeaderKnown();
    void followerScrolledByItsOwnScrollBarIsPutBack_data();
    void followerScrolledByItsOwnScrollBarIsPutBack();
    void pointerPassingOverFollowerMakesItLead();
    void switchingOnAlignsFollowerWithinOneTick_data();
    void switchingOnAlignsFollowerWithinOneTick();
};

void TestScrollSynchroniser::followerTakesLeaderPositionOnlyWhenSwitchIsOnAndLeaderKnown_data()
{
    QTest::addColumn<int>("switchState");
    QTest::addColumn<int>("activePane");
    QTest::addColumn<QPoint>("leftStart");  // x in pixels, y in lines
    QTest::addColumn<QPoint>("rightStart");

    const QList<std::pair<const char *, std::pair<QPoint, QPoint>>> starts{
        {"left ahead", {QPoint(120, 40), QPoint(0, 3)}},
        {"right ahead", {QPoint(0, 2), QPoint(250, 90)}},
        {"only sideways apart", {QPoint(300, 10), QPoint(10, 10)}},
    };
    for (int state : {0, 1, 2}) {
        for (int active : {0, 1, 2}) {
            for (const auto &[name, points] : starts) {
                QTest::addRow("switch %d, leader %d, %s", state, active, name)
                    << state << active << points.first << points.second;
            }
        }
    }
}

void TestScrollSynchroniser::followerTakesLeaderPositionOnlyWhenSwitchIsOnAndLeaderKnown()
{
    QFETCH(int, switchState);
    QFETCH(int, activePane);
    QFETCH(QPoint, leftStart);
    QFETCH(QPoint, rightStart);

    PanePair pair;
    if (activePane == 1)
        makeLead(pair.left);
    else if (activePane == 2)
        makeLead(pair.right);
    QCOMPARE(pair.sync->ActivePane(), activePane);

    const QPoint left = pair.at(leftStart.x(), leftStart.y());
    const QPoint right = pair.at(rightStart.x(), rightStart.y());
    pair.left->setScrollPosition(left);
    pair.right->setScrollPosition(right);
    QCOMPARE(pair.left->scrollPosition(), left);
    QCOMPARE(pair.right->scrollPosition(), right);

    pair.switchState = switchState;
    pair.sync->tick();

    const bool syncs = switchState == 1 && activePane != 0;
    const QPoint expectedLeft = syncs && activePane == 2 ? right : left;
    const QPoint expectedRight = syncs && activePane == 1 ? left : right;
    QCOMPARE(pair.left->scrollPosition(), expectedLeft);
    QCOMPARE(pair.right->scrollPosition(), expectedRight);
}

void TestScrollSynchroniser::followerScrolledByItsOwnScrollBarIsPutBack_data()
{
    QTest::addColumn<Qt::Orientation>("bar");
    QTest::newRow("vertical") << Qt::Vertical;
    QTest::newRow("horizontal") << Qt::Horizontal;
}

void TestScrollSynchroniser::followerScrolledByItsOwnScrollBarIsPutBack()
{
    QFETCH(Qt::Orientation, bar);
    PanePair pair;
    makeLead(pair.left);
    const QPoint leader = pair.at(80, 25);
    pair.left->setScrollPosition(leader);
    pair.sync->tick();
    QCOMPARE(pair.right->scrollPosition(), leader);

    // The scroll bar is reached from outside the pane: no focus, no pointer over its text.
    QScrollBar *scrollBar = bar == Qt::Vertical ? pair.right->verticalScrollBar()
                                                : pair.right->horizontalScrollBar();
    // The engine widens the horizontal range shortly after it has drawn the long lines.
    QTRY_VERIFY(scrollBar->maximum() > scrollBar->value() + 7);
    scrollBar->setValue(scrollBar->value() + 7);
    QVERIFY2(pair.right->scrollPosition() != leader, "the scroll bar did not move the follower");
    QCOMPARE(pair.sync->ActivePane(), 1);

    pair.sync->tick();
    QCOMPARE(pair.right->scrollPosition(), leader);
    QCOMPARE(pair.left->scrollPosition(), leader);
}

void TestScrollSynchroniser::pointerPassingOverFollowerMakesItLead()
{
    PanePair pair;
    QVERIFY(QTest::qWaitForWindowExposed(&pair.window));
    makeLead(pair.left);
    pair.left->setScrollPosition(pair.at(0, 10));
    pair.sync->tick();

    // No click: the pointer only moves across the right pane's text area.
    QTest::mouseMove(pair.right->viewport(), QPoint(30, 30));
    QTest::mouseMove(pair.right->viewport(), QPoint(60, 40));
    QCOMPARE(pair.sync->ActivePane(), 2);
    QVERIFY(!pair.right->hasFocus());

    const QPoint moved = pair.at(40, 70);
    pair.right->setScrollPosition(moved);
    pair.sync->tick();
    QCOMPARE(pair.left->scrollPosition(), moved);
    QCOMPARE(pair.right->scrollPosition(), moved);
}

void TestScrollSynchroniser::switchingOnAlignsFollowerWithinOneTick_data()
{
    QTest::addColumn<int>("offState");
    QTest::newRow("from unticked") << 0;
    QTest::newRow("from greyed") << 2;
}

void TestScrollSynchroniser::switchingOnAlignsFollowerWithinOneTick()
{
    QFETCH(int, offState);
    PanePair pair;
    pair.switchState = offState;
    makeLead(pair.right);
    const QPoint leader = pair.at(333, 61);
    const QPoint follower = pair.at(17, 4);
    pair.right->setScrollPosition(leader);
    pair.left->setScrollPosition(follower);
    pair.sync->tick();
    QCOMPARE(pair.left->scrollPosition(), follower);

    pair.switchState = 1;
    pair.sync->tick();
    QCOMPARE(pair.left->scrollPosition(), leader);
    QCOMPARE(pair.right->scrollPosition(), leader);
}

QTEST_MAIN(TestScrollSynchroniser)
#include "tst_scrollsynchroniser.moc"
