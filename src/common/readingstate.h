#pragma once

#include <QDateTime>

#include <atomic>

// The flags that the speaking thread shares with the main thread. Speech writes them; music and the
// scheduler only read them.
struct ReadingState
{
    std::atomic<bool> stopflag { false }; // end the reading after the current piece
    std::atomic<bool> threadreading { false }; // a thread reading has been started this run
    std::atomic<bool> isreading { false }; // a reading is in progress (the music ducks)
    std::atomic<int> readmode { 0 }; // 0: from the caret to the end; 1: the captured range
    std::atomic<bool> standalone { true }; // the thread re-enables the reading controls when it ends
    std::atomic<qint64> lastreadendMs { 0 }; // when the last thread reading ended, ms since the epoch

    QDateTime lastreadend() const { return QDateTime::fromMSecsSinceEpoch(lastreadendMs.load()); }
    void setLastreadend(const QDateTime& when) { lastreadendMs.store(when.toMSecsSinceEpoch()); }
};
