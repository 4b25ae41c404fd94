#pragma once

#include <QHash>
#include <QObject>

#include <functional>

class QWidget;

/// Delivers mouse moves to per-control hover handlers. A control's handler runs for moves over
/// the part of the control that no child covers: a move over a button that the button passes on
/// to the window does not also run the window's handler.
class HoverFeedback : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    /// Runs `handler` on every move over `control`; turns on mouse tracking so moves without a
    /// pressed button arrive too.
    void route(QWidget *control, std::function<void()> handler);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QHash<QObject *, std::function<void()>> m_handlers;
};
