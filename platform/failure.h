#pragma once

#include <QString>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace platform {

/// A failed operation, carrying the message that the platform itself gave for it
/// (`QFile::errorString()`, `strerror`, ...). Guarded handlers turn it into the error report.
class Failure : public std::runtime_error
{
public:
    explicit Failure(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}

    QString message() const { return m_message; }

private:
    QString m_message;
};

/// The system's own words for memory running out.
inline Failure outOfMemory()
{
    return Failure(QString::fromLocal8Bit(std::strerror(ENOMEM)));
}

/// A report's words about a file: its name, then what happened to it.
inline QString aboutFile(const QString &path, const QString &message)
{
    return path + QStringLiteral(": ") + message;
}

} // namespace platform
