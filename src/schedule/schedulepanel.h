#pragma once

#include "scheduler.h"

#include <QDate>
#include <QObject>
#include <QTimer>

#include <array>
#include <functional>

class Clock;
class Dialogs;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QTimeEdit;

// The controls of the main window that the scheduler reads.
struct ScheduleControls
{
    QTimeEdit* TimeEdit1 = nullptr;
    QTimeEdit* TimeEdit2 = nullptr;
    std::array<QCheckBox*, 7> chk {}; // chk1 (Sunday) .. chk7 (Saturday)
    QPlainTextEdit* Memo1 = nullptr;
    QLineEdit* edt_song = nullptr;
    QCheckBox* chk_rollover = nullptr; // daily rollover; absent means off
};

// The scheduler on the main window: owns `timer_autoplay`, a single-shot timer that each tick arms for
// the scheduler's next look (every 100 ms while a broadcast is under way, else the next moment the clock
// can change something, at most a second away), reads the schedule panel on each tick and starts and stops the reading
// and the music through their controllers. A change of the time range re-arms the start. Constructed at the step of the
// main window's creation that resets the scheduler's state.
class SchedulePanel final : public QObject
{
    Q_OBJECT
public:
    // actions may be set later (setActions); until then a tick does nothing. newDay runs at the daily
    // rollover, after the scheduler's reset: the day's list and announcement are rebuilt.
    SchedulePanel(const ScheduleControls& controls, Clock& clock, Dialogs& dialogs, QObject* parent = nullptr);
    ~SchedulePanel() override;

    void setActions(ScheduleActions* actions) { m_actions = actions; }
    void setNewDay(std::function<void()> newDay) { m_newDay = std::move(newDay); }
    // Composes today's announcement into the editor (emptied before): with the rollover off, a broadcast
    // on another day than the editor's text was composed on runs it first.
    void setRecompose(std::function<void()> recompose) { m_recompose = std::move(recompose); }
    // The day the editor's text was last composed or edited on.
    QDate composedOn() const { return m_composedOn; }
    // What the company's calendar says of a day; without it every day is ordinary.
    void setCalendarDay(std::function<CalendarDay(const QDate&)> calendar) { m_calendarDay = std::move(calendar); }

    // The tick of timer_autoplay.
    void timer_autoplayTimer();
    // A reading or a track of music has just started: after the range it is stopped at once.
    void readingStarted();
    void musicStarted();
    // The first tick of a new day with the rollover on: everything stopped as at the end of the range,
    // the editor emptied, the day's list and announcement rebuilt and the scheduler as after start-up
    // (a day that had its broadcast keeps it).
    void rollover();
    QTimer* timer_autoplay() { return &m_timer_autoplay; }
    // Ticks at the next turn of the event loop: something the clock cannot foresee has changed.
    void lookSoon();
    const Scheduler& scheduler() const { return m_scheduler; }
    ScheduleInputs inputs() const;

private:
    ScheduleControls m_controls;
    Clock& m_clock;
    Dialogs& m_dialogs;
    ScheduleActions* m_actions = nullptr;
    std::function<void()> m_newDay;
    std::function<void()> m_recompose;
    Scheduler m_scheduler;
    QTimer m_timer_autoplay;
    QDate m_lastDay; // the day of the last tick (of start-up before the first)
    QDate m_composedOn; // the day of the editor's text (start-up's, when nothing changed it since)
    std::function<CalendarDay(const QDate&)> m_calendarDay;
};
