#pragma once

#include <QString>

// What the scheduler needs from the reading and music controllers besides pressing their buttons.
// The main window implements it by forwarding to them.
class BroadcastHooks
{
public:
    virtual ~BroadcastHooks();

    // The repetition timer `readcycled` is on: a repeated reading is still running.
    virtual bool repetitionActive() const = 0;
    // Plays the designated song once and sets song_endtime to the time of day it ends.
    virtual void play_the_song() = 0;
    // Time of day ("HH:mm:ss", zero-padded 24-hour) at which the designated song ends; "00:00:00" until
    // a song was started.
    virtual QString song_endtime() const = 0;
    // A new day with the daily rollover on: song_endtime back to "00:00:00", and the birthday list
    // and the day's announcement rebuilt as at start-up (RefreshBirthdays).
    virtual void newDay() { }
};
