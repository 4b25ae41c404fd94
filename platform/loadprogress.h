#pragma once

#include <QString>

namespace platform {

/// What the user sees of a file being loaded: nothing for a quick load, and for a long one the
/// file's name, how far the load has come and a way to stop it.
class LoadProgress
{
public:
    virtual ~LoadProgress() = default;
    /// A load of about `total` bytes (a hint: 0 for a file that does not tell its size) starts.
    virtual void begin(const QString &fileName, qint64 total) = 0;
    /// `done` bytes are in. Returns false once the user has asked to stop the load.
    virtual bool advance(qint64 done) = 0;
    /// The load has ended, whichever way; whatever was shown goes away.
    virtual void end() = 0;
};

} // namespace platform
