#include "sync/scrollsynchroniser.h"

#include "textpane/panecontrol.h"

#include <algorithm>
#include <limits>

ScrollSynchroniser::ScrollSynchroniser(PaneControl *left, PaneControl *right,
                                       std::function<SwitchState()> switchState, QObject *parent)
    : QObject(parent), m_left(left), m_right(right), m_switchState(std::move(switchState))
{
    follow(m_left, Leader::Left);
    follow(m_right, Leader::Right);
}

void ScrollSynchroniser::follow(PaneControl *pane, Leader leader)
{
    // A pointer that merely passes over a pane makes it lead, as a click or Tab into it does.
    connect(pane, &PaneControl::focusReceived, this, [this, leader] { m_activePane = leader; });
    connect(pane, &PaneControl::pointerMoved, this, [this, leader] { m_activePane = leader; });
}

void ScrollSynchroniser::lead(const PaneControl *pane)
{
    if (pane == m_left)
        m_activePane = Leader::Left;
    else if (pane == m_right)
        m_activePane = Leader::Right;
}

void ScrollSynchroniser::tick()
{
    if (m_switchState() != SwitchState::On)
        return;
    PaneControl *leader = nullptr;
    PaneControl *follower = nullptr;
    if (m_activePane == Leader::Left) {
        leader = m_left;
        follower = m_right;
    } else if (m_activePane == Leader::Right) {
        leader = m_right;
        follower = m_left;
    } else {
        return;
    }
    // The follower is told the position on every tick, moved or not, so a drag of the
    // follower's own scroll bar is undone within one interval.
    QPoint position = leader->scrollPosition();
    if (m_lineMap) {
        const qint64 line = m_lineMap(leader, leader->firstVisibleLine());
        if (line >= 0)
            position.setY(int(std::min<qint64>(line * follower->lineHeight(), std::numeric_limits<int>::max())));
    }
    follower->setScrollPosition(position);
}
