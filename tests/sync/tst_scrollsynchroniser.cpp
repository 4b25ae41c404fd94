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

QTEST_MAIN(TestScrollSynchroniser)
#include "tst_scrollsynchroniser.moc"
