#include "app/hoverfeedback.h"

#include <QMouseEvent>
#include <QWidget>

void HoverFeedback::route(QWidget *control, std::function<void()> handler)
{
    control->setMouseTracking(true);
    control->installEventFilter(this);
    m_handlers.insert(control, std::move(handler));
    connect(control, &QObject::destroyed, this, [this](QObject *gone) { m_handlers.remove(gone); });
}

bool HoverFeedback::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove) {
        const auto handler = m_handlers.constFind(watched);
        const auto *control = static_cast<QWidget *>(watched);
        const QPoint position = static_cast<QMouseEvent *>(event)->position().toPoint();
        // A move that a child ignored reaches its parents too; only the uncovered control's
        // handler answers it.
        if (handler != m_handlers.constEnd() && !control->childAt(position))
            (*handler)();
    }
    return QObject::eventFilter(watched, event);
}
