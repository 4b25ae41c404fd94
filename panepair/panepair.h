#pragma once

#include "sync/switchstate.h"

#include <QObject>

#include <functional>

class CompareActions;
class CompareBar;
class CompareSession;
class CompareState;
class FindBar;
class PaneControl;
class QWidget;
class ScrollSynchroniser;

/// The two panes of a window working as a pair: their scroll synchroniser, their find bar, which
/// lies over the pane it works on and makes that pane lead when it moves its view, and compare
/// mode, which marks where they differ and keeps corresponding lines side by side while they
/// scroll together. Both windows that show a pair of panes build it the same way, from here.
class PanePair : public QObject
{
    Q_OBJECT
public:
    /// `window` holds the panes and gets the find bar; `switchState` tells whether the panes
    /// scroll together; `compare` whether they are compared (shared by the windows).
    PanePair(QWidget *window, PaneControl *left, PaneControl *right, std::function<SwitchState()> switchState,
             CompareState &compare);

    ScrollSynchroniser &synchroniser() const { return *m_synchroniser; }
    FindBar &findBar() const { return *m_findBar; }
    CompareSession &compareSession() const { return *m_compareSession; }
    CompareBar &compareBar() const { return *m_compareBar; }
    CompareActions &compareActions() const { return *m_compareActions; }

private:
    ScrollSynchroniser *m_synchroniser;
    FindBar *m_findBar;
    CompareSession *m_compareSession;
    CompareBar *m_compareBar;
    CompareActions *m_compareActions;
};
