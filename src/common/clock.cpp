#include "clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

Clock::~Clock() = default;

Clock& Clock::system()
{
    static SystemClock clock;
    return clock;
}

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

qint64 SystemClock::elapsedMs() const
{
    // The monotonic clock's reading; QElapsedTimer's reference is the same for every timer.
    QElapsedTimer timer;
    timer.start();
    return timer.msecsSinceReference();
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
