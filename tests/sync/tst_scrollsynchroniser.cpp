#include "sync/scrollsynchroniser.h"
#include "textpane/panecontrol.h"

#include <QHBoxLayout>
#include <QScrollBar>
#include <QTest>
#include <QWidget>

#include <memory>

using Leader = ScrollSynchroniser::Leader;

namespace {

// Two shown panes side by side, as a window holds them, with long lines that scroll well down
// and well to the right, and a switch the test sets.
struct PanePair
{
    PanePair()
    {
        QByteArray text;
        for (int i = 0; i < 500; ++i)
            text += "line " + QByteArray::number(i) + ' ' + QByteArray(400, 'x') + "\r\n";
        auto *layout = new QHBoxLayout(&window);
        for (PaneControl *pane : {left, right}) {
            layout->addWidget(pane);
            pane->setBytes(text);
        }
        window.resize(600, 300);
        window.show();
        // Up and active, so that the focus the window gives its first pane makes no pane lead.
        if (!QTest::qWaitForWindowActive(&window))
            qFatal("the panes' window never became active");
        sync = std::make_unique<ScrollSynchroniser>(left, right, [this] { return switchState; });
    }

    // x in pixels, y in whole lines, as the panes hold them.
    QPoint at(int x, int lines) const { return {x, lines * left->lineHeight()}; }

    QWidget window;
    PaneControl *left = new PaneControl(&window);
    PaneControl *right = new PaneControl(&window);
    SwitchState switchState = SwitchState::On;
    std::unique_ptr<ScrollSynchroniser> sync;
};

} // namespace

class TestScrollSynchroniser : public QObject
{
    Q_OBJECT
private slots:
    void followerTakesLeaderPositionOnlyWhenSwitchIsOnAndLeaderKnown_data();
    void followerTakesLeaderPositionOnlyWhenSwitchIsOnAndLeaderKnown();
    void pointerPassingOverFollowerMakesItLead();
    void clickOnFollowerScrollBarStealsNoLead_data();
    void clickOnFollowerScrollBarStealsNoLead();
};

void TestScrollSynchroniser::followerTakesLeaderPositionOnlyWhenSwitchIsOnAndLeaderKnown_data()
{
    QTest::addColumn<SwitchState>("switchState");
    QTest::addColumn<Leader>("activePane");
    for (SwitchState state : {SwitchState::Off, SwitchState::On, SwitchState::Greyed})
        for (Leader active : {Leader::None, Leader::Left, Leader::Right})
            QTest::addRow("switch %d, leader %d", int(state), int(active)) << state << active;
}

void TestScrollSynchroniser::followerTakesLeaderPositionOnlyWhenSwitchIsOnAndLeaderKnown()
{
    QFETCH(SwitchState, switchState);
    QFETCH(Leader, activePane);
    PanePair pair;
    if (activePane != Leader::None)
        emit (activePane == Leader::Left ? pair.left : pair.right)->focusReceived();
    QCOMPARE(pair.sync->ActivePane(), activePane);
    // Apart both down and sideways, so a follower that takes only one of them shows.
    const QPoint left = pair.at(120, 40);
    const QPoint right = pair.at(10, 3);
    pair.left->setScrollPosition(left);
    pair.right->setScrollPosition(right);

    pair.switchState = switchState;
    pair.sync->tick();
    const bool syncs = switchState == SwitchState::On && activePane != Leader::None;
    QCOMPARE(pair.left->scrollPosition(), syncs && activePane == Leader::Right ? right : left);
    QCOMPARE(pair.right->scrollPosition(), syncs && activePane == Leader::Left ? left : right);

    // Switched on from unticked or greyed, the follower catches up within one tick.
    pair.switchState = SwitchState::On;
    pair.sync->tick();
    QCOMPARE(pair.left->scrollPosition(), activePane == Leader::Right ? right : left);
    QCOMPARE(pair.right->scrollPosition(), activePane == Leader::Left ? left : right);
    if (activePane == Leader::None)
        return;

    // Moved by its own scroll bars, reached from outside the pane (no focus, no pointer over its
    // text), the follower is put back on the next tick, down or sideways.
    PaneControl *follower = activePane == Leader::Left ? pair.right : pair.left;
    const QPoint leader = follower->scrollPosition();
    for (QScrollBar *bar : {follower->verticalScrollBar(), follower->horizontalScrollBar()}) {
        // The engine widens the horizontal range shortly after it has drawn the long lines.
        QTRY_VERIFY(bar->maximum() > bar->value() + 7);
        bar->setValue(bar->value() + 7);
        QVERIFY2(follower->scrollPosition() != leader, "the scroll bar did not move the follower");
        pair.sync->tick();
        QCOMPARE(follower->scrollPosition(), leader);
    }
    QCOMPARE(pair.sync->ActivePane(), activePane);
}

void TestScrollSynchroniser::pointerPassingOverFollowerMakesItLead()
{
    PanePair pair;
    emit pair.left->focusReceived();

    // No click: the pointer only moves across the right pane's text area.
    QTest::mouseMove(pair.right->viewport(), QPoint(30, 30));
    QTest::mouseMove(pair.right->viewport(), QPoint(60, 40));
    QCOMPARE(pair.sync->ActivePane(), Leader::Right);
    QVERIFY(!pair.right->hasFocus());
}

void TestScrollSynchroniser::clickOnFollowerScrollBarStealsNoLead_data()
{
    QTest::addColumn<Leader>("leader");
    QTest::addColumn<Qt::Orientation>("bar");
    for (Leader leader : {Leader::Left, Leader::Right})
        for (Qt::Orientation bar : {Qt::Vertical, Qt::Horizontal})
            QTest::addRow("%s leads, %s bar", leader == Leader::Left ? "left" : "right",
                          bar == Qt::Vertical ? "vertical" : "horizontal")
                << leader << bar;
}

void TestScrollSynchroniser::clickOnFollowerScrollBarStealsNoLead()
{
    QFETCH(Leader, leader);
    QFETCH(Qt::Orientation, bar);
    PanePair pair;
    PaneControl *leading = leader == Leader::Left ? pair.left : pair.right;
    PaneControl *follower = leader == Leader::Left ? pair.right : pair.left;
    leading->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(leading->hasFocus());
    emit leading->focusReceived(); // the left pane had the focus already
    pair.sync->tick();
    const QPoint position = follower->scrollPosition();

    // A click in the page area near the far end of the follower's scroll bar pages it on.
    QScrollBar *scrollBar = bar == Qt::Vertical ? follower->verticalScrollBar() : follower->horizontalScrollBar();
    QTRY_VERIFY(scrollBar->maximum() > 0);
    const QPoint farEnd = bar == Qt::Vertical ? QPoint(scrollBar->width() / 2, scrollBar->height() * 3 / 4)
                                              : QPoint(scrollBar->width() * 3 / 4, scrollBar->height() / 2);
    QTest::mouseClick(scrollBar, Qt::LeftButton, {}, farEnd);
    QVERIFY2(follower->scrollPosition() != position, "the click did not scroll the follower");

    QVERIFY(leading->hasFocus());
    QCOMPARE(pair.sync->ActivePane(), leader);
    pair.sync->tick();
    QCOMPARE(follower->scrollPosition(), position);

    // A click into its text still gives the follower the focus and the lead.
    QTest::mouseClick(follower->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    QVERIFY(follower->hasFocus());
    QCOMPARE(pair.sync->ActivePane(), leader == Leader::Left ? Leader::Right : Leader::Left);
}

QTEST_MAIN(TestScrollSynchroniser)
#include "tst_scrollsynchroniser.moc"
