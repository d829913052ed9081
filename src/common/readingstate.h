#pragma once

#include <QDateTime>

#include <atomic>
#include <mutex>

// The reading state that the speaking threads share with the main thread. Whether a reading is in
// progress (`isreading`, which the music ducking, the repetition and the scheduler read) has one source
// of truth: the readings counted from the moment the main thread starts one until its thread's end
// steps, under one lock together with the end's time stamp, so no interleaving of a start and an end
// can show a running reading as not in progress.
class ReadingState final
{
public:
    // Main thread, before the reading's thread exists: the reading counts from now on (also while it
    // waits for its turn). It is in progress even when the user stopped an earlier one.
    void readingStarted();
    // The end steps of a reading's thread: stamps lastreadend and stops counting the reading, at once.
    void readingEnded(const QDateTime& when, qint64 elapsedMs);
    // A reading whose thread never ran stops counting, without an end to stamp.
    void readingWithdrawn();
    // The whole-text loop has been started: a reading is in progress before its first thread exists.
    void claim();
    // Stop and play: no reading is in progress from now on, although a thread may still finish its piece.
    // A reading started later is in progress again.
    void release();

    bool isreading() const;

    // A time announcement sounds (its chime, then its sentence) from started to ended. Counted apart from
    // the readings: the music ducks under it, while the repetition and the scheduler, which follow
    // isreading, are not misled.
    void announcementStarted();
    void announcementEnded();
    // What the music's ducking follows: a reading is in progress or an announcement sounds.
    bool voiceSounds() const;
    // Readings started whose threads have not run their end steps (running or waiting for their turn).
    int readings() const;
    // When the last thread reading ended: the time of day and the clock's elapsed milliseconds.
    QDateTime lastreadend() const;
    qint64 lastreadendElapsed() const;

    // Single flags, each with one writer at a time (see the speaking thread).
    std::atomic<bool> stopflag { false }; // end the reading after the current piece
    std::atomic<bool> threadreading { false }; // a thread reading has been started this run
    std::atomic<int> readmode { 0 }; // 0: from the caret to the end; 1: the captured range
    std::atomic<bool> standalone { true }; // the thread re-enables the reading controls when it ends

private:
    mutable std::mutex m_mutex;
    int m_readings = 0;
    int m_announcements = 0;
    bool m_claimed = false;
    bool m_released = false;
    QDateTime m_lastreadend;
    qint64 m_lastreadendElapsed = 0;
};
