#include "readingstate.h"

void ReadingState::readingStarted()
{
    std::lock_guard lock(m_mutex);
    ++m_readings;
    m_claimed = false;
    m_released = false;
}

void ReadingState::readingEnded(const QDateTime& when, qint64 elapsedMs)
{
    std::lock_guard lock(m_mutex);
    // The end is stamped with the count: the repetition never pairs a finished reading with the end of
    // the one before it.
    m_lastreadend = when;
    m_lastreadendElapsed = elapsedMs;
    if (m_readings > 0) {
        --m_readings;
    }
}

void ReadingState::readingWithdrawn()
{
    std::lock_guard lock(m_mutex);
    if (m_readings > 0) {
        --m_readings;
    }
}

void ReadingState::claim()
{
    std::lock_guard lock(m_mutex);
    m_claimed = true;
    m_released = false;
}

void ReadingState::release()
{
    std::lock_guard lock(m_mutex);
    m_claimed = false;
    m_released = true;
}

bool ReadingState::isreading() const
{
    std::lock_guard lock(m_mutex);
    return !m_released && (m_readings > 0 || m_claimed);
}

void ReadingState::announcementStarted()
{
    std::lock_guard lock(m_mutex);
    ++m_announcements;
}

void ReadingState::announcementEnded()
{
    std::lock_guard lock(m_mutex);
    if (m_announcements > 0) {
        --m_announcements;
    }
}

bool ReadingState::voiceSounds() const
{
    std::lock_guard lock(m_mutex);
    return m_announcements > 0 || (!m_released && (m_readings > 0 || m_claimed));
}

int ReadingState::readings() const
{
    std::lock_guard lock(m_mutex);
    return m_readings;
}

QDateTime ReadingState::lastreadend() const
{
    std::lock_guard lock(m_mutex);
    return m_lastreadend;
}

qint64 ReadingState::lastreadendElapsed() const
{
    std::lock_guard lock(m_mutex);
    return m_lastreadendElapsed;
}
