#pragma once

#include <QObject>

#include <chrono>
#include <functional>

class PaneControl;

/// Keeps the two panes of one window at the same scroll position while the switch is on.
/// The pane the user last focused or pointed at leads; each tick copies its position, x and y
/// in pixels, to the other pane.
class ScrollSynchroniser : public QObject
{
    Q_OBJECT
public:
    /// How often each window's timer ticks the synchroniser; the follower lags by at most this.
    static constexpr std::chrono::milliseconds kTickInterval{100};

    static constexpr qint16 kNoLeader = 0;
    static constexpr qint16 kLeftLeads = 1;
    static constexpr qint16 kRightLeads = 2;

    /// `switchState` reads the main window's switch (0 off, 1 on, 2 greyed) at every tick.
    ScrollSynchroniser(PaneControl *left, PaneControl *right, std::function<int()> switchState,
                       QObject *parent = nullptr);

    /// The leading pane: 0 none yet, 1 the left, 2 the right. Never goes back to 0.
    qint16 ActivePane() const { return m_activePane; }

    /// One poll: when the switch is exactly on and a leader is known, the follower is put at the
    /// leader's position. The leader is never moved.
    void tick();

private:
    void follow(PaneControl *pane, qint16 number);

    PaneControl *m_left;
    PaneControl *m_right;
    std::function<int()> m_switchState;
    qint16 m_activePane = kNoLeader;
};
