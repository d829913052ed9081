#pragma once

#include <QDate>
#include <QList>
#include <QSqlRecord>
#include <QString>

// The month-day tokens ("mm-dd") that the day-window query matches, and the test of a stored
// birthday text against a day.
namespace DayWindow {

// "mm-dd" of the date.
QString token(const QDate& date);

// The dates today - days .. today + days in ascending order, as tokens joined by single blanks.
// Only 0..3 days are allowed on each side; any other value gives an empty list.
QString tokens(const QDate& today, int days);

// The eleven dates from today - 10 to today, ascending.
QString previousDays(const QDate& today);

// The days as tokens joined by single blanks, in their order.
QString tokensOf(const QList<QDate>& days);

// True when the birthday text "yyyy-mm-dd" names a real date whose month and day are the day's.
// Missing, short or malformed texts never match.
bool isBirthdayOn(const QString& birthday, const QDate& day);

// The day a row of the stored queries celebrates: its column celebrated (the calendar's rules: 29
// February, lunar birthdays); a file whose queries predate it gives none, and the row's month and
// day of birth in the day's year count.
bool celebratesOn(const QSqlRecord& row, const QDate& day);
QDate celebratedDay(const QSqlRecord& row);
// A lunar birthday (the column lunar is 1).
bool isLunar(const QSqlRecord& row);

// Rows of people whose birthday fell on a day without a broadcast carry the field catch_up = 1.
bool isCatchUp(const QSqlRecord& row);
// The day window's rows with the catch-up rows: each catch-up row marked, in day order among the
// window's, and a row the window already holds (the same person and day) marked in its place.
QList<QSqlRecord> withCatchUp(const QList<QSqlRecord>& window, const QList<QSqlRecord>& catchUp);

} // namespace DayWindow
