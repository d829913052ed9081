#pragma once

#include "scheduler.h"

class Dialogs;
class MusicPlayer;
class ReadingController;

// The scheduler's actions on the reading controller and the music player themselves. Each runs on its
// own: one that fails is shown in the error box, and the next still runs, as the buttons' handlers do.
class BroadcastActions final : public ScheduleActions
{
public:
    BroadcastActions(ReadingController& reading, MusicPlayer& music, Dialogs& dialogs);

    void startRepetition() override;
    void playMusic() override;
    void stopMusic() override;
    void stopReading() override;
    bool repetitionActive() const override;
    void play_the_song(const QString& path) override;
    QString song_endtime() const override;

private:
    ReadingController& m_reading;
    MusicPlayer& m_music;
    Dialogs& m_dialogs;
};
