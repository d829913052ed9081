#pragma once

#include "common/clock.h"

#include <QMutex>

// A settable clock: waits advance it at once, so tests run whole days without waiting.
class FakeClock final : public Clock
{
public:
    explicit FakeClock(const QDateTime& start = QDateTime(QDate(2024, 3, 4), QTime(9, 0)));
    FakeClock(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
    ~FakeClock() override;

    QDateTime now() const override;
    // Advances the time by ms and serves pending events once.
    void wait(int ms) override;
    void sleep(int ms) override;

    void set(const QDateTime& when);
    void setTime(const QTime& time);
    void advance(qint64 ms);
    // Milliseconds that wait() and sleep() were asked for in all.
    qint64 waited() const;

private:
    mutable QMutex m_mutex;
    QDateTime m_now;
    qint64 m_waited = 0;
};
