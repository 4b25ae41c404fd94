#include "platform/quietwait.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace platform {

namespace {

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

/// Holds user input off every window but the active modal one while it is installed.
class InputHold final : public QObject
{
public:
    InputHold() { qApp->installEventFilter(this); }
    ~InputHold() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *target, QEvent *event) override
    {
        if (!isUserInput(event->type()))
            return false;
        const QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return true;
        if (auto *widget = qobject_cast<QWidget *>(target))
            return widget != modal && !modal->isAncestorOf(widget);
        if (auto *window = qobject_cast<QWindow *>(target))
            return window != modal->windowHandle();
        return true;
    }
};

} // namespace

void QuietWait::wake()
{
    QMetaObject::invokeMethod(this, [] {}, Qt::QueuedConnection);
}

void QuietWait::run(const std::function<bool()> &done, const std::function<void()> &tick, int tickMs)
{
    if (done())
        return;
    InputHold hold;
    QTimer timer;
    timer.start(tickMs);
    QObject::connect(&timer, &QTimer::timeout, this, tick);
    // Every event that arrives, the worker's wake-up among them, is followed by a look at `done`.
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace platform
