#pragma once

#include "handlers/errorreport.h"
#include "platform/failure.h"

#include <QMetaObject>
#include <QString>

#include <QtGlobal>

#include <exception>
#include <utility>

namespace platform { class MessageBoxes; }

/// Runs the numbered steps of a guarded handler. A step that fails shows one error report with
/// the handler's location and the step's line, and the handler goes on with its next step.
class GuardedHandler
{
public:
    GuardedHandler(platform::MessageBoxes &messages, QString location)
        : m_messages(messages), m_location(std::move(location)) {}

    /// Runs one step; returns false when it failed (and was reported).
    template<typename Step>
    bool step(int line, Step &&action)
    {
        try {
            std::forward<Step>(action)();
            return true;
        } catch (...) {
            report(line, std::current_exception());
            return false;
        }
    }

    /// Evaluates the test of a conditional step. A test that fails to evaluate is reported and
    /// counts as passed, so the handler goes on inside the branch the test governs.
    template<typename Test>
    bool test(int line, Test &&condition)
    {
        try {
            return std::forward<Test>(condition)();
        } catch (...) {
            report(line, std::current_exception());
            return true;
        }
    }

    /// The handler `handler` (pass `__func__`) of the window class `window`: its location text is
    /// built from the class and the function themselves, so no second copy of a name can drift.
    static GuardedHandler of(platform::MessageBoxes &messages, const QMetaObject &window,
                             const char *handler)
    {
        return {messages, locationText(QLatin1String(window.className()), QLatin1String(handler))};
    }

    const QString &location() const { return m_location; }

private:
    void report(int line, std::exception_ptr failure);

    platform::MessageBoxes &m_messages;
    QString m_location;
};

/// Runs a handler that has no error report (ticks, hover, focus, the switch, closing a window).
/// Its failure is logged under `name` (pass `__func__`) and dropped, so that nothing escapes into
/// the event loop.
template<typename Handler>
void runUnguarded(const char *name, Handler &&handler) noexcept
{
    try {
        std::forward<Handler>(handler)();
    } catch (const platform::Failure &failure) {
        qWarning("%s: %s", name, qPrintable(failure.message()));
    } catch (const std::exception &failure) {
        qWarning("%s: %s", name, failure.what());
    } catch (...) {
        qWarning("%s failed", name);
    }
}
