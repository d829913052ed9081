#pragma once

#include "composer.h"

#include <QDate>
#include <QList>
#include <QSqlRecord>
#include <QString>

#include <functional>

class IniFile;

// The stored queries the birthday list runs; the data module's in the program, recordings in tests.
struct BirthdayQueries
{
    // qry_month_day: month-day tokens and the joining-days threshold.
    std::function<QList<QSqlRecord>(const QString& tokens, const QString& threshold)> monthDay;
    // qry_month: a two-digit month and the threshold.
    std::function<QList<QSqlRecord>(const QString& month, const QString& threshold)> month;
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
    QList<QSqlRecord> result; // the day-window query's rows
    Composition composition; // Keep when the result is empty
};

namespace DayAnnouncements {

// Composes for the people; next month's names come from queries.month.
Composition compose(const QList<BirthdayEntry>& entries, const CompositionInputs& inputs, const QString& threshold,
                    const BirthdayQueries& queries, const QString& iniPath);

// The day-window query's rows around the day.
QList<QSqlRecord> dayWindow(const QDate& day, int showdays, const QString& threshold, const BirthdayQueries& queries);

// The composition for the people of a day-window result whose birthday is on inputs.today; an empty
// result composes nothing (Keep).
Composition forResult(const QList<QSqlRecord>& result, const CompositionInputs& inputs, const QString& threshold,
                      const BirthdayQueries& queries, const QString& iniPath);

// Both steps, as RefreshBirthdays takes them. Throws what the queries throw.
DayAnnouncement forDay(int showdays, const QString& threshold, const CompositionInputs& inputs,
                       const BirthdayQueries& queries, const QString& iniPath);

// What the editor holds after the composition, starting from what it held before.
QString editorTextAfter(const Composition& composition, const QString& before);

} // namespace DayAnnouncements
