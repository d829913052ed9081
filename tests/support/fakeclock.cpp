#include "fakeclock.h"

#include <QCoreApplication>

FakeClock::FakeClock(const QDateTime& start)
    : m_now(start)
{
}

FakeClock::FakeClock(int year, int month, int day, int hour, int minute, int second)
    : FakeClock(QDateTime(QDate(year, month, day), QTime(hour, minute, second)))
{
}

FakeClock::~FakeClock() = default;

QDateTime FakeClock::now() const
{
    QMutexLocker lock(&m_mutex);
    return m_now;
}

qint64 FakeClock::elapsedMs() const
{
    QMutexLocker lock(&m_mutex);
    return m_elapsed;
}

void FakeClock::wait(int ms)
{
    advance(qMax(0, ms));
    {
        QMutexLocker lock(&m_mutex);
        m_waited += qMax(0, ms);
    }
    QCoreApplication::processEvents();
}

void FakeClock::sleep(int ms)
{
    advance(qMax(0, ms));
    QMutexLocker lock(&m_mutex);
    m_waited += qMax(0, ms);
}

void FakeClock::set(const QDateTime& when)
{
    QMutexLocker lock(&m_mutex);
    m_now = when;
}

void FakeClock::setTime(const QTime& time)
{
    QMutexLocker lock(&m_mutex);
    m_now.setTime(time);
}

void FakeClock::advance(qint64 ms)
{
    QMutexLocker lock(&m_mutex);
    m_now = m_now.addMSecs(ms);
    m_elapsed += ms;
}

qint64 FakeClock::waited() const
{
    QMutexLocker lock(&m_mutex);
    return m_waited;
}
