#include "readingqueue.h"

#include <algorithm>

quint64 ReadingQueue::join()
{
    std::lock_guard lock(m_mutex);
    m_tickets.push_back(++m_last);
    return m_last;
}

bool ReadingQueue::waitForTurn(quint64 ticket)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_closed || (!m_tickets.empty() && m_tickets.front() == ticket); });
    return !m_closed;
}

void ReadingQueue::leave(quint64 ticket)
{
    {
        std::lock_guard lock(m_mutex);
        m_tickets.erase(std::remove(m_tickets.begin(), m_tickets.end(), ticket), m_tickets.end());
    }
    m_changed.notify_all();
}

void ReadingQueue::close()
{
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_changed.notify_all();
}

bool ReadingQueue::isClosed() const
{
    std::lock_guard lock(m_mutex);
    return m_closed;
}

int ReadingQueue::size() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_tickets.size());
}
