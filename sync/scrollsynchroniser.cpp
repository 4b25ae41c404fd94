#include "sync/scrollsynchroniser.h"

#include "textpane/panecontrol.h"

ScrollSynchroniser::ScrollSynchroniser(PaneControl *left, PaneControl *right,
                                       std::function<int()> switchState, QObject *parent)
    : QObject(parent), m_left(left), m_right(right), m_switchState(std::move(switchState))
{
    follow(m_left, kLeftLeads);
    follow(m_right, kRightLeads);
}

void ScrollSynchroniser::follow(PaneControl *pane, qint16 number)
{
    // A pointer that merely passes over a pane makes it lead, as a click or Tab into it does.
    connect(pane, &PaneControl::focusReceived, this, [this, number] { m_activePane = number; });
    connect(pane, &PaneControl::pointerMoved, this, [this, number] { m_activePane = number; });
}

void ScrollSynchroniser::tick()
{
    constexpr int kSwitchOn = 1;
    if (m_switchState() != kSwitchOn)
        return;
    PaneControl *leader = nullptr;
    PaneControl *follower = nullptr;
    if (m_activePane == kLeftLeads) {
        leader = m_left;
        follower = m_right;
    } else if (m_activePane == kRightLeads) {
        leader = m_right;
        follower = m_left;
    } else {
        return;
    }
    // The follower is told the position on every tick, moved or not, so a drag of the
    // follower's own scroll bar is undone within one interval.
    follower->setScrollPosition(leader->scrollPosition());
}
