#pragma once

#include <QDateTime>

// The one source of the time of day and of every wait, so that tests can set the time and skip waits.
class Clock
{
public:
    virtual ~Clock();

    virtual QDateTime now() const = 0;
    // Waits ms milliseconds while the calling thread's events keep flowing; returns at once for ms <= 0
    // after one pass of events.
    virtual void wait(int ms) = 0;
    // Waits without serving events (the main thread is frozen meanwhile).
    virtual void sleep(int ms) = 0;

    static Clock& instance();
    // Replaces the clock (tests); nullptr restores the system clock. The caller keeps ownership.
    static void setInstance(Clock* clock);

    static QDateTime currentDateTime() { return instance().now(); }
    static QDate currentDate() { return instance().now().date(); }
    static QTime currentTime() { return instance().now().time(); }
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override;
    void wait(int ms) override;
    void sleep(int ms) override;
};
