#include "clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>

namespace {
std::atomic<Clock*> g_override { nullptr };
}

Clock::~Clock() = default;

Clock& Clock::instance()
{
    static SystemClock systemClock;
    Clock* clock = g_override.load();
    return clock ? *clock : systemClock;
}

void Clock::setInstance(Clock* clock)
{
    g_override.store(clock);
}

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

void SystemClock::wait(int ms)
{
    // Short sleeps between passes of events: the wait looks the same to the user but leaves the core idle.
    QElapsedTimer timer;
    timer.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const qint64 left = ms - timer.elapsed();
        if (left <= 0) {
            break;
        }
        QThread::msleep(static_cast<unsigned long>(qMin<qint64>(left, 5)));
    } while (timer.elapsed() < ms);
}

void SystemClock::sleep(int ms)
{
    if (ms > 0) {
        QThread::msleep(static_cast<unsigned long>(ms));
    }
}
