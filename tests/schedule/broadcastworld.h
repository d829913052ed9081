#pragma once

#include "schedule/scheduler.h"

#include <QDateTime>
#include <QList>
#include <QString>

// A small model of the reading and music controllers as the scheduler relies on them: the repetition
// timer ticks once a second, each reading takes readingMs, the next starts intervalS seconds after the
// previous one ended; the designated song ends songLengthS seconds after play_the_song. Every action is
// logged with the time it happened.
class BroadcastWorld final : public ScheduleActions
{
public:
    enum class Music { None, Background, Song };
    struct Event
    {
        QString what;
        QDateTime when;
    };

    int readtimes = 2;
    int intervalS = 60;
    qint64 readingMs = 20000;
    int songLengthS = 180;
    bool voiceChosen = true;

    QDateTime now;
    QList<Event> events;
    Music music = Music::None;
    bool readcycled = false;
    bool isreading = false;
    int readcount = 0;
    QString endtime = QStringLiteral("00:00:00");
    QString songPath;

    QStringList names() const
    {
        QStringList result;
        for (const Event& event : events) {
            result << event.what;
        }
        return result;
    }
    int count(const QString& what) const
    {
        int n = 0;
        for (const Event& event : events) {
            n += event.what == what ? 1 : 0;
        }
        return n;
    }
    QDateTime first(const QString& what) const
    {
        for (const Event& event : events) {
            if (event.what == what) {
                return event.when;
            }
        }
        return {};
    }

    // Moves the world to the time t: the readings end and the repetition timer ticks on its own.
    void advanceTo(const QDateTime& t)
    {
        while (readcycled && m_nextCycle <= t) {
            const QDateTime at = m_nextCycle;
            m_nextCycle = m_nextCycle.addMSecs(1000);
            endReadingBy(at);
            readcycledTimer(at);
        }
        endReadingBy(t);
        now = t;
    }

    bool repetitionActive() const override { return readcycled; }
    QString song_endtime() const override { return endtime; }
    void play_the_song(const QString& path) override
    {
        songPath = path;
        log(QStringLiteral("song"));
        music = Music::Song;
        endtime = now.time().addSecs(songLengthS).toString(QStringLiteral("HH:mm:ss"));
    }
    void startRepetition() override
    {
        log(QStringLiteral("repeat"));
        if (!voiceChosen) {
            return; // the warning; the repetition timer stays off
        }
        readcount = 0;
        isreading = true;
        readcycled = true;
        m_nextCycle = now.addMSecs(1000);
    }
    void playMusic() override
    {
        log(QStringLiteral("play"));
        music = Music::Background;
    }
    void stopMusic() override
    {
        log(QStringLiteral("musicstop"));
        music = Music::None;
    }
    void stopReading() override
    {
        log(QStringLiteral("readstop"));
        readcycled = false;
        isreading = false;
        m_readingEnds = QDateTime();
    }
    // A reading started with the play button.
    void readByHand()
    {
        isreading = true;
        m_readingEnds = now.addMSecs(readingMs);
    }

    QList<QDateTime> readingStarts;
    QList<QDateTime> readingEnds;

private:
    void log(const QString& what) { events.append({ what, now }); }

    void endReadingBy(const QDateTime& t)
    {
        if (m_readingEnds.isValid() && m_readingEnds <= t) {
            readingEnds.append(m_readingEnds);
            m_lastReadEnd = m_readingEnds;
            m_readingEnds = QDateTime();
            isreading = false;
        }
    }

    void startReading(const QDateTime& at)
    {
        readingStarts.append(at);
        isreading = true;
        m_readingEnds = at.addMSecs(readingMs);
    }

    void readcycledTimer(const QDateTime& at)
    {
        if (readcount <= readtimes && isreading && readcount == 0) {
            readcount = 1;
            startReading(at);
        }
        if (!isreading && readcount >= readtimes) {
            readcycled = false;
            return;
        }
        if (!isreading && readcount > 0 && readcount < readtimes && at > m_lastReadEnd.addSecs(intervalS)) {
            ++readcount;
            startReading(at);
        }
    }

    QDateTime m_nextCycle;
    QDateTime m_readingEnds;
    QDateTime m_lastReadEnd;
};
