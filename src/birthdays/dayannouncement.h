#pragma once

#include "calendar/anniversaries.h"
#include "calendar/stationcalendar.h"
#include "composer.h"

#include <QDate>
#include <QList>
#include <QSqlRecord>
#include <QString>

#include <functional>
#include <optional>

class IniFile;

// The stored queries the birthday list runs; the data module's in the program, recordings in tests.
struct BirthdayQueries
{
    // qry_month_day: month-day tokens and the joining-days threshold.
    std::function<QList<QSqlRecord>(const QString& tokens, const QString& threshold)> monthDay;
    // qry_month: a two-digit month and the threshold.
    std::function<QList<QSqlRecord>(const QString& month, const QString& threshold)> month;
    // The work anniversaries on those days for those year counts; none when not given.
    std::function<QList<AnniversaryEntry>(const QList<QDate>& days, const QList<int>& years)> anniversaries;
};

// The settings that start-up loads into the controls the announcement is composed from, with their
// defaults and within the controls' ranges.
struct AnnouncementSettings
{
    int days = 90; // System/Days -> SpinEdit3, the joining-days threshold
    int showdays = 1; // System/Showdays -> SpinEdit4, 0..3
    std::array<bool, 3> readGroup {}; // System/Read_add1..3 -> chk_read1..3
    bool nextMonth = true; // System/Next_month -> chk_next
    QString mainread; // System/Mainread -> MainreadText
    QString organisation; // System/Company -> edt_user

    static AnnouncementSettings read(const IniFile& ini);
};

// One day's list and announcement, as RefreshBirthdays makes them.
struct DayAnnouncement
{
    // The day-window query's rows, with the people whose birthday fell on a day without a broadcast
    // since the previous broadcast day (marked catch_up, see DayWindow::withCatchUp).
    QList<QSqlRecord> result;
    QList<QDate> catchUpDays;
    QList<AnniversaryEntry> anniversaries; // when they are switched on
    Composition composition; // Keep when nobody is there
};

namespace DayAnnouncements {

// Composes for the people; next month's names come from queries.month.
Composition compose(const QList<BirthdayEntry>& entries, const CompositionInputs& inputs, const QString& threshold,
                    const BirthdayQueries& queries, const QString& iniPath, const OtherGreetings& others = {});

// The day-window query's rows around the day.
QList<QSqlRecord> dayWindow(const QDate& day, int showdays, const QString& threshold, const BirthdayQueries& queries);

// The days whose people the broadcast of `day` greets as well (none when the catch-up is off).
QList<QDate> catchUpDays(const QDate& day, const DayCalendar& calendar);
// The rows of the people who celebrated on those days.
QList<QSqlRecord> catchUpRows(const QList<QDate>& days, const QString& threshold, const BirthdayQueries& queries);
// The anniversaries of `day` and of the catch-up days, when they are switched on.
QList<AnniversaryEntry> anniversaries(const QDate& day, const QList<QDate>& catchUpDays, const DayCalendar& calendar,
                                      const BirthdayQueries& queries);
// The catch-up rows' names and the anniversaries, with the calendar's texts.
OtherGreetings othersOf(const QList<QSqlRecord>& rows, const QList<AnniversaryEntry>& anniversaries,
                        const CalendarSettings& settings);

// The composition for the people of a day-window result whose birthday is on inputs.today, the
// catch-up rows among them and the anniversaries; nobody at all composes nothing (Keep).
Composition forResult(const QList<QSqlRecord>& result, const CompositionInputs& inputs, const QString& threshold,
                      const BirthdayQueries& queries, const QString& iniPath,
                      const QList<AnniversaryEntry>& anniversaries = {}, const CalendarSettings& settings = {});

// Every step, as RefreshBirthdays takes them. Throws what the queries throw.
DayAnnouncement forDay(int showdays, const QString& threshold, const CompositionInputs& inputs,
                       const BirthdayQueries& queries, const QString& iniPath, const DayCalendar& calendar = {});

// What the editor holds after the composition, starting from what it held before.
QString editorTextAfter(const Composition& composition, const QString& before);

} // namespace DayAnnouncements
