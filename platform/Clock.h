#pragma once

#include <QDateTime>

// The wall clock, replaceable so that time-dependent rules can be tested exactly.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};
