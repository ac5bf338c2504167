#pragma once

#include <QDateTime>

// The one source of "now" for everything that schedules, stamps or names files by date,
// so that tests can put the program on any day and minute.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};
