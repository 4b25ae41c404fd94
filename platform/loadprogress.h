#pragma once

#include <QString>

namespace platform {

/// What the user sees of a file being loaded or saved: nothing for a quick one, and for a long one
/// the file's name, how far it has come and a way to stop it.
class LoadProgress
{
public:
    enum class Task { Loading, Saving };

    virtual ~LoadProgress() = default;
    /// A load or save of about `total` bytes (a hint: 0 for a file that does not tell its size)
    /// starts.
    virtual void begin(const QString &fileName, qint64 total, Task task = Task::Loading) = 0;
    /// `done` bytes are in. Returns false once the user has asked to stop the load.
    virtual bool advance(qint64 done) = 0;
    /// The load has ended, whichever way; whatever was shown goes away.
    virtual void end() = 0;
};

} // namespace platform
