#pragma once

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QTime>

#include <array>

// What the company's calendar says of a day: an ordinary day follows its weekday box, a day off
// (休) has neither broadcast nor designated song, a working day (班) broadcasts whatever its box says.
enum class CalendarDay { Ordinary, DayOff, WorkingDay };

// The schedule panel as one tick of the scheduler sees it.
struct ScheduleInputs
{
    QTime rangeStart; // TimeEdit1
    QTime rangeEnd; // TimeEdit2
    // The weekday boxes chk1 .. chk7 by weekday number 1 (Sunday) .. 7 (Saturday): weekdays[n - 1].
    std::array<bool, 7> weekdays {};
    QString editorText; // Memo1
    QString songFile; // edt_song
    CalendarDay calendarDay = CalendarDay::Ordinary;
};

// What a tick starts and stops: the reading controller's and the music player's own commands (the
// handlers of SB_repeat1, bj_play, bj_stop and SB_stop call the same), and what it asks of them.
class ScheduleActions
{
public:
    virtual ~ScheduleActions();

    // The whole-text loop: the repeated reading of the editor text (SB_repeat1Click).
    virtual void startRepetition() = 0;
    // The background music from the selected or first entry of the list (bj_playClick).
    virtual void playMusic() = 0;
    // Stops and frees the music stream; harmless when nothing plays (bj_stopClick).
    virtual void stopMusic() = 0;
    // Stops the readings and the repetition as SB_stopClick does, but leaves the voice's queue alone, so
    // a time announcement waiting there is still said; harmless when nothing is read.
    virtual void stopReading() = 0;
    // The repetition timer `readcycled` is on: a repeated reading is still running.
    virtual bool repetitionActive() const = 0;
    // Plays the designated song once and sets song_endtime to the time of day it ends.
    virtual void play_the_song(const QString& path) = 0;
    // Time of day ("HH:mm:ss", zero-padded 24-hour) at which the designated song ends; "00:00:00" until
    // a song was started.
    virtual QString song_endtime() const = 0;
};

// The automatic broadcast: at most one start per run (one more after each change of the time range),
// the designated song at most once per run, and readings and music held stopped after the end of the
// range: stopped once when the range ends, and after that each one as it starts (readingStarted,
// musicStarted), never on a timer. The rules work only on the time they are given, so a clock that
// jumps never replays a backlog.
class Scheduler final
{
public:
    // Weekday number of the date: 1 = Sunday .. 7 = Saturday.
    static int weekdayNumber(const QDate& date);
    // The editor holds something to read once blanks and control characters are trimmed from both ends.
    static bool editorHasText(const QString& text);
    // Both ends inclusive, to the millisecond. A range whose end is before its start never holds.
    static bool rangeHolds(const QTime& now, const QTime& start, const QTime& end);
    // The text form of a time of day that step 2 compares with song_endtime.
    static QString timeText(const QTime& time);
    // From the end of the range until midnight, readings and music are held stopped. Never for a range
    // whose end is before its start: it never holds, so there is nothing to end.
    static bool afterRange(const QTime& now, const QTime& start, const QTime& end);

    // One tick of timer_autoplay: the four steps in their order.
    void tick(const QDateTime& now, const ScheduleInputs& inputs, ScheduleActions& actions);
    // The day broadcasts: a working day of the calendar, or an ordinary day whose weekday box is ticked
    // (never a day off). Steps 1 and 3 both ask it.
    static bool broadcastDay(const QDate& day, const ScheduleInputs& inputs);
    // Step 1 starts the broadcast at now, given text in the editor: the day's box is ticked, the range
    // holds, no broadcast has started this run (since the last change of the range) and none on this date.
    bool startDue(const QDateTime& now, const ScheduleInputs& inputs) const;

    // A reading (by hand or by a repetition) or a track of music has just started: after the range it
    // is stopped at once.
    void readingStarted(const QDateTime& now, const ScheduleInputs& inputs, ScheduleActions& actions);
    void musicStarted(const QDateTime& now, const ScheduleInputs& inputs, ScheduleActions& actions);

    // TimeEdit1 or TimeEdit2 changed: the start may happen once more, also on a day that had one.
    void timeRangeChanged();
    // The state after the main window's creation, or after the daily rollover: the days that had a
    // broadcast are kept, so a clock set back to such a day does not broadcast it again.
    void reset();

    // While a broadcast is under way (a repetition runs, the designated song plays) the scheduler looks
    // every BusyTickMs; otherwise it rests until the next moment at which the clock alone can change
    // something (the range's start, the first moment after its end, midnight), but never longer than
    // SafetyTickMs, which notices a clock set forward or back. What the clock cannot foresee (an
    // edited control, a reading started by hand) makes the panel look at once.
    static constexpr int BusyTickMs = 100;
    static constexpr int SafetyTickMs = 1000;
    // How long the scheduler may rest after its tick at now.
    qint64 restAfter(const QDateTime& now, const ScheduleInputs& inputs, const ScheduleActions& actions) const;

    bool auto_started() const { return m_auto_started; }
    bool song_checked() const { return m_song_checked; }
    bool song_started() const { return m_song_started; }
    bool song_done() const { return m_song_done; }

private:
    bool m_auto_started = false;
    bool m_song_checked = false;
    bool m_song_started = false;
    bool m_song_done = false;
    bool m_afterRange = false; // the last tick came after the range
    QSet<QDate> m_broadcastDays; // the dates whose broadcast has started
};
