#pragma once

#include "sync/switchstate.h"

#include <QObject>

#include <functional>

class FindBar;
class PaneControl;
class QWidget;
class ScrollSynchroniser;

/// The two panes of a window working as a pair: their scroll synchroniser and their find bar,
/// which lies over the pane it works on and makes that pane lead when it moves its view. Both
/// windows that show a pair of panes build it the same way, from here.
class PanePair : public QObject
{
    Q_OBJECT
public:
    /// `window` holds the panes and gets the find bar; `switchState` tells whether the panes
    /// scroll together.
    PanePair(QWidget *window, PaneControl *left, PaneControl *right, std::function<SwitchState()> switchState);

    ScrollSynchroniser &synchroniser() const { return *m_synchroniser; }
    FindBar &findBar() const { return *m_findBar; }

private:
    ScrollSynchroniser *m_synchroniser;
    FindBar *m_findBar;
};
