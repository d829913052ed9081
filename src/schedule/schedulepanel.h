#pragma once

#include "scheduler.h"

#include <QDate>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <array>
#include <functional>

class QAbstractButton;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QTimeEdit;

// The controls of the main window that the scheduler reads and presses.
struct ScheduleControls
{
    QTimeEdit* TimeEdit1 = nullptr;
    QTimeEdit* TimeEdit2 = nullptr;
    std::array<QCheckBox*, 7> chk {}; // chk1 (Sunday) .. chk7 (Saturday)
    QPlainTextEdit* Memo1 = nullptr;
    QLineEdit* edt_song = nullptr;
    QAbstractButton* SB_repeat1 = nullptr;
    QAbstractButton* bj_play = nullptr;
    QAbstractButton* bj_stop = nullptr;
    QAbstractButton* SB_stop = nullptr;
    QCheckBox* chk_rollover = nullptr; // daily rollover; absent means off
};

// The scheduler on the main window: owns `timer_autoplay` (100 ms, always running), reads the schedule
// panel on each tick and presses the reading and music buttons. A change of the time range re-arms the
// start. Constructed at the step of the main window's creation that resets the scheduler's state.
class SchedulePanel final : public QObject, private ScheduleActions
{
    Q_OBJECT
public:
    // hooks may be set later (setHooks); until then no repetition runs and no song can be played.
    SchedulePanel(const ScheduleControls& controls, BroadcastHooks* hooks, QObject* parent = nullptr);
    ~SchedulePanel() override;

    void setHooks(BroadcastHooks* hooks) { m_hooks = hooks; }
    // What the company's calendar says of a day; without it every day is ordinary.
    void setCalendarDay(std::function<CalendarDay(const QDate&)> calendar) { m_calendarDay = std::move(calendar); }

    // The tick of timer_autoplay.
    void timer_autoplayTimer();
    // The first tick of a new day with the rollover on: everything stopped as at the end of the range,
    // the editor emptied, the day's list and announcement rebuilt and the scheduler as after start-up.
    void rollover();
    QTimer* timer_autoplay() { return &m_timer_autoplay; }
    const Scheduler& scheduler() const { return m_scheduler; }
    ScheduleInputs inputs() const;

private:
    bool repetitionActive() const override;
    void play_the_song() override;
    QString song_endtime() const override;
    void pressRepeat() override;
    void pressMusicPlay() override;
    void pressMusicStop() override;
    void pressReadingStop() override;

    ScheduleControls m_controls;
    BroadcastHooks* m_hooks;
    Scheduler m_scheduler;
    QTimer m_timer_autoplay;
    QDate m_lastDay; // the day of the last tick (of start-up before the first)
    std::function<CalendarDay(const QDate&)> m_calendarDay;
};
