#pragma once

#include "common/clock.h"

#include <QMutex>

// A settable clock: waits advance it at once, so tests run whole days without waiting. Its elapsed
// time moves with waits and advance(), never with set(): setting the time is a step of the wall clock.
class FakeClock final : public Clock
{
public:
    explicit FakeClock(const QDateTime& start = QDateTime(QDate(2024, 3, 4), QTime(9, 0)));
    FakeClock(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
    ~FakeClock() override;

    QDateTime now() const override;
    qint64 elapsedMs() const override;
    // Advances the time by ms and serves pending events once.
    void wait(int ms) override;
    void sleep(int ms) override;

    // Steps the wall clock (by hand, by time synchronisation): elapsed time stays as it is.
    void set(const QDateTime& when);
    void setTime(const QTime& time);
    // Time passes: the wall clock and elapsed time move together.
    void advance(qint64 ms);
    // Milliseconds that wait() and sleep() were asked for in all.
    qint64 waited() const;

private:
    mutable QMutex m_mutex;
    QDateTime m_now;
    qint64 m_elapsed = 0;
    qint64 m_waited = 0;
};
