#pragma once

#include "sync/switchstate.h"

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

    /// The leading pane, with the values it is known by. Never goes back to None.
    enum class Leader : qint16 { None = 0, Left = 1, Right = 2 };

    /// `switchState` reads the main window's switch at every tick.
    ScrollSynchroniser(PaneControl *left, PaneControl *right, std::function<SwitchState()> switchState,
                       QObject *parent = nullptr);

    Leader ActivePane() const { return m_activePane; }
    /// Makes `pane` the leader, as its focus would: a pane whose view a find moved keeps it.
    void lead(const PaneControl *pane);

    /// The follower's line that stands beside `line` of the leader, or -1 where lines do not
    /// correspond (then positions are copied as they are).
    using LineMap = std::function<qint64(const PaneControl *leader, qint64 line)>;
    /// Lets the follower show the line that corresponds to the leader's first line rather than
    /// the same position; the horizontal position is copied still.
    void setLineMap(LineMap map) { m_lineMap = std::move(map); }

    /// One poll: when the switch is exactly on and a leader is known, the follower is put at the
    /// leader's position. The leader is never moved.
    void tick();

private:
    void follow(PaneControl *pane, Leader leader);

    PaneControl *m_left;
    PaneControl *m_right;
    std::function<SwitchState()> m_switchState;
    Leader m_activePane = Leader::None;
    LineMap m_lineMap;
};
