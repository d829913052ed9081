#pragma once

#include "broadcastdays.h"
#include "calendarsettings.h"
#include "daymarks.h"

#include <QDate>
#include <QSqlDatabase>

#include <array>
#include <functional>
#include <optional>

// The calendar a day's announcement follows: which days broadcast, and the calendar's settings.
// Without the days, every day is a broadcast day with nothing to catch up.
struct DayCalendar
{
    std::optional<BroadcastDays> days;
    CalendarSettings settings;
};

// The running station's calendar: the marked days of draft.dat and the [Calendar] settings, kept in
// memory for the scheduler's ticks and the time announcements, read again when the holiday tab or
// the command line changed them. The weekday boxes are asked as they stand on the window.
class StationCalendar final
{
public:
    using Weekdays = std::function<std::array<bool, 7>()>;

    StationCalendar(QSqlDatabase db, Weekdays weekdays, QString iniPath);

    // Reads the settings (and sets the 29 February rule the stored queries follow) and the marked
    // days. Throws RuntimeError with the database's text; the days then stay as they were.
    void reload();
    const DayMarks& marks() const { return m_marks; }
    const CalendarSettings& settings() const { return m_settings; }

    BroadcastDays broadcastDays() const;
    // For the scheduler: why a day broadcasts or not; logs once a day a day off or a working day.
    BroadcastDays::Reason reasonFor(const QDate& day);
    // The time announcements stay silent on a day off unless the settings say otherwise.
    bool telltimeSilentOn(const QDate& day) const;
    // For a composition: the days and the settings as the files now hold them. Throws RuntimeError.
    DayCalendar dayCalendar() const;

private:
    QSqlDatabase m_db;
    Weekdays m_weekdays;
    QString m_iniPath;
    DayMarks m_marks;
    CalendarSettings m_settings;
    QDate m_loggedDay;
};
