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

// The scheduler on the main window: owns `timer_autoplay` (100 ms, always running), reads the schedule
// panel on each tick and starts and stops the reading and the music through their controllers. A change
// of the time range re-arms the start. Constructed at the step of the main window's creation that resets
// the scheduler's state.
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

    // The tick of timer_autoplay.
    void timer_autoplayTimer();
    // The first tick of a new day with the rollover on: everything stopped as at the end of the range,
    // the editor emptied, the day's list and announcement rebuilt and the scheduler as after start-up.
    void rollover();
    QTimer* timer_autoplay() { return &m_timer_autoplay; }
    const Scheduler& scheduler() const { return m_scheduler; }
    ScheduleInputs inputs() const;

private:
    ScheduleControls m_controls;
    Clock& m_clock;
    Dialogs& m_dialogs;
    ScheduleActions* m_actions = nullptr;
    std::function<void()> m_newDay;
    Scheduler m_scheduler;
    QTimer m_timer_autoplay;
    QDate m_lastDay; // the day of the last tick (of start-up before the first)
};
