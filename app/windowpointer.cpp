#include "app/windowpointer.h"

#include <QEvent>
#include <QScopedValueRollback>
#include <QWidget>

WindowPointer::WindowPointer(MousePointer &pointer, QWidget *window)
    : QObject(window), m_window(window)
{
    connect(&pointer, &MousePointer::changed, this, &WindowPointer::show);
    coveredWidgets();
}

void WindowPointer::setCustomCursor(const QCursor &cursor)
{
    m_custom = cursor;
    if (m_shown == PointerShape::Custom)
        refresh();
}

QCursor WindowPointer::shapeFor(PointerShape value) const
{
    if (value == PointerShape::Busy)
        return QCursor(Qt::WaitCursor);
    return m_custom.value_or(QCursor(Qt::PointingHandCursor));
}

QList<QWidget *> WindowPointer::coveredWidgets()
{
    QList<QWidget *> widgets{m_window};
    for (QWidget *child : m_window->findChildren<QWidget *>()) {
        if (child->window() == m_window)
            widgets << child;
    }
    // Watched from the start: a filter installed while a control's event is being delivered
    // would make Qt hand that event to the control's other filters twice.
    for (QWidget *widget : widgets) {
        if (!m_watched.contains(widget)) {
            m_watched.insert(widget);
            widget->installEventFilter(this);
        }
    }
    return widgets;
}

void WindowPointer::show(PointerShape value)
{
    // Hover handlers set the shape on every mouse move; only a change needs the controls.
    if (value == m_shown)
        return;
    m_shown = value;
    refresh();
}

void WindowPointer::refresh()
{
    QScopedValueRollback<bool> applying(m_applying, true);
    const QList<QWidget *> widgets = coveredWidgets();
    if (m_shown == PointerShape::Default) {
        for (QWidget *widget : widgets)
            giveBack(widget, m_own.value(widget));
        m_own.clear();
        return;
    }
    const QCursor cursor = shapeFor(m_shown);
    for (QWidget *widget : widgets) {
        if (!m_own.contains(widget))
            m_own.insert(widget, {widget->testAttribute(Qt::WA_SetCursor), widget->cursor()});
        widget->setCursor(cursor);
    }
}

void WindowPointer::giveBack(QWidget *widget, const OwnCursor &own)
{
    if (own.set)
        widget->setCursor(own.cursor);
    else
        widget->unsetCursor();
}

bool WindowPointer::eventFilter(QObject *watched, QEvent *event)
{
    // The text engine sets its own pointer on every mouse move: that becomes the control's own
    // pointer, given back with the default shape, while the covering shape stays on top. The
    // window also hears of every change of its native pointer, ours among them: not its own.
    if (event->type() == QEvent::CursorChange && m_shown != PointerShape::Default && !m_applying) {
        auto *widget = static_cast<QWidget *>(watched);
        const QCursor covering = shapeFor(m_shown);
        if (widget->cursor() != covering) {
            m_own.insert(widget, {widget->testAttribute(Qt::WA_SetCursor), widget->cursor()});
            QScopedValueRollback<bool> applying(m_applying, true);
            widget->setCursor(covering);
        }
    }
    return QObject::eventFilter(watched, event);
}
