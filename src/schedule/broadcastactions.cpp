#include "broadcastactions.h"

#include "common/errorguard.h"
#include "music/musicplayer.h"
#include "speech/readingcontroller.h"

BroadcastActions::BroadcastActions(ReadingController& reading, MusicPlayer& music, Dialogs& dialogs)
    : m_reading(reading)
    , m_music(music)
    , m_dialogs(dialogs)
{
}

void BroadcastActions::startRepetition()
{
    guarded(m_dialogs, [this] { m_reading.startRepetition(); });
}

void BroadcastActions::playMusic()
{
    guarded(m_dialogs, [this] { m_music.bj_playClick(); });
}

void BroadcastActions::stopMusic()
{
    guarded(m_dialogs, [this] { m_music.bj_stopClick(); });
}

void BroadcastActions::stopReading()
{
    guarded(m_dialogs, [this] { m_reading.endReadings(); });
}

bool BroadcastActions::repetitionActive() const
{
    return m_reading.repetitionActive();
}

void BroadcastActions::play_the_song(const QString& path)
{
    guarded(m_dialogs, [&] { m_music.play_the_song(path); });
}

QString BroadcastActions::song_endtime() const
{
    return m_music.song_endtime();
}
