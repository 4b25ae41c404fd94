#pragma once

#include <QtGlobal>

namespace platform {

class RandomSource
{
public:
    virtual ~RandomSource() = default;
    virtual void seed(quint32 value) = 0;
    /// A fraction from 0 up to, but excluding, 1.
    virtual double nextFraction() = 0;
};

class Clock
{
public:
    virtual ~Clock() = default;
    virtual int secondsSinceMidnight() const = 0;
};

} // namespace platform
