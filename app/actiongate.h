#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

/// Lets one action of a window run at a time. A load or a save waits with the window painting,
/// and a question waits in a dialog; meanwhile the window's controls and shortcuts are disabled,
/// so neither a click, a key, a drop nor a screen reader's "press" can start a second action
/// inside the first, and a call that comes anyway is refused.
class ActionGate
{
public:
    /// `window` owns the shortcuts to disable; `controls` are its buttons and switches.
    ActionGate(QWidget *window, QList<QWidget *> controls);

    /// Runs `action` unless another is running; returns whether it ran.
    bool run(const std::function<void()> &action);
    bool isBusy() const { return m_busy; }

private:
    void hold();
    void release();

    QWidget *m_window;
    QList<QWidget *> m_controls;
    QList<QObject *> m_disabled;
    QPointer<QWidget> m_focus;
    bool m_busy = false;
};
