#pragma once

#include "platform/Clock.h"

// A clock that stands still until the test moves it.
class FakeClock : public Clock
{
public:
    explicit FakeClock(const QDateTime &start = QDateTime(QDate(2026, 12, 6), QTime(14, 3, 27)))
        : m_now(start)
    {
    }
    QDateTime now() const override { return m_now; }
    void set(const QDateTime &now) { m_now = now; }
    void set(const QDate &date, const QTime &time) { m_now = QDateTime(date, time); }

private:
    QDateTime m_now;
};
