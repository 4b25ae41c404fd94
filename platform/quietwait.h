#pragma once

#include <QObject>

#include <functional>

namespace platform {

/// Waits on the user-interface thread for work running elsewhere, while the windows go on
/// painting and the timers ticking. No user input reaches the program's windows meanwhile, so no
/// other action can start and nothing is typed into what is being loaded; only an application-modal
/// dialog (the progress of a load) takes input. Closing a window waits too.
class QuietWait : public QObject
{
public:
    /// Makes the waiting side look at `done` again now; may be called from any thread.
    void wake();
    /// Returns once `done` answers true. `tick` runs every `tickMs` meanwhile, on this thread.
    void run(const std::function<bool()> &done, const std::function<void()> &tick, int tickMs);
};

} // namespace platform
