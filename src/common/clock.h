#pragma once

#include <QDateTime>

// The one source of the time of day, of elapsed time and of every wait, so that tests can set the time
// and skip waits. Passed to whoever needs it; only the system clock reads the machine's clocks.
class Clock
{
public:
    virtual ~Clock();

    virtual QDateTime now() const = 0;
    // Milliseconds on a monotonic clock from an arbitrary start: what intervals are measured in, so a
    // wall clock that is set (by hand, by time synchronisation) never stretches or shortens them.
    virtual qint64 elapsedMs() const = 0;
    // Waits ms milliseconds while the calling thread's events keep flowing; returns at once for ms <= 0
    // after one pass of events.
    virtual void wait(int ms) = 0;
    // Waits without serving events (the calling thread is frozen meanwhile).
    virtual void sleep(int ms) = 0;

    QDate currentDate() const { return now().date(); }
    QTime currentTime() const { return now().time(); }

    // The machine's clock (the program's own; tests pass their fake instead).
    static Clock& system();
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override;
    qint64 elapsedMs() const override;
    void wait(int ms) override;
    void sleep(int ms) override;
};
