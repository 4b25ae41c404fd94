#pragma once

#include <QString>

#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

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

/// Runs `work`, a step on the file at `path`, so that what it fails with names the file.
template<typename Work>
decltype(auto) namingFile(const QString &path, Work &&work)
{
    try {
        return std::forward<Work>(work)();
    } catch (const Failure &failure) {
        throw Failure(aboutFile(path, failure.message()));
    } catch (const std::bad_alloc &) {
        throw Failure(aboutFile(path, outOfMemory().message()));
    }
}

} // namespace platform
