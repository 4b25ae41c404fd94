#pragma once

#include <QString>

namespace platform {

/// The per-user store of named text values, addressed by application, section and key.
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;
    virtual QString read(const QString &application, const QString &section, const QString &key,
                         const QString &defaultValue) const = 0;
    /// Written through to disk at once, so the value survives a crash.
    virtual void write(const QString &application, const QString &section, const QString &key,
                       const QString &value) = 0;
};

} // namespace platform
