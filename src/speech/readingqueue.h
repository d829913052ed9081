#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <deque>
#include <mutex>

// The queue of readings: one reads at a time, the others wait for their turn in the order they were
// started. Ending the program releases every waiting reading at once.
class ReadingQueue final
{
public:
    ReadingQueue() = default;
    Q_DISABLE_COPY_MOVE(ReadingQueue)

    // A new reading joins the end of the queue (on the thread that starts it); returns its ticket.
    quint64 join();
    // Blocks until the ticket is at the head of the queue (true) or the queue was closed (false).
    bool waitForTurn(quint64 ticket);
    // The reading leaves the queue, whether or not it had its turn.
    void leave(quint64 ticket);
    // No reading gets its turn any more; the waiting ones return at once.
    void close();
    bool isClosed() const;
    // Readings in the queue (the one reading included).
    int size() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<quint64> m_tickets;
    quint64 m_last = 0;
    bool m_closed = false;
};
