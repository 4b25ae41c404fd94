#include "app/actiongate.h"

#include <QApplication>
#include <QScopeGuard>
#include <QShortcut>

ActionGate::ActionGate(QWidget *window, QList<QWidget *> controls)
    : m_window(window), m_controls(std::move(controls))
{
}

bool ActionGate::run(const std::function<void()> &action)
{
    if (m_busy) {
        qWarning("An action was asked for while another one was running; it was refused.");
        return false;
    }
    hold();
    const auto released = qScopeGuard([this] { release(); });
    action();
    return true;
}

void ActionGate::hold()
{
    m_busy = true;
    // A disabled control with the focus would pass it on along the tab order, which ends in a
    // pane, and a pane that takes the focus leads the scrolling: the focus is put away instead.
    QWidget *focus = QApplication::focusWidget();
    if (focus && m_controls.contains(focus)) {
        m_focus = focus;
        focus->clearFocus();
    }
    for (QWidget *control : std::as_const(m_controls))
        if (control->isEnabled()) {
            control->setEnabled(false);
            m_disabled << control;
        }
    for (QShortcut *shortcut : m_window->findChildren<QShortcut *>())
        if (shortcut->isEnabled()) {
            shortcut->setEnabled(false);
            m_disabled << shortcut;
        }
}

void ActionGate::release()
{
    for (QObject *object : std::as_const(m_disabled)) {
        if (auto *widget = qobject_cast<QWidget *>(object))
            widget->setEnabled(true);
        else if (auto *shortcut = qobject_cast<QShortcut *>(object))
            shortcut->setEnabled(true);
    }
    m_disabled.clear();
    if (m_focus && !QApplication::focusWidget())
        m_focus->setFocus(Qt::OtherFocusReason);
    m_focus = nullptr;
    m_busy = false;
}
