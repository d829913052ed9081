#pragma once

#include <QDate>
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

// True when the birthday text "yyyy-mm-dd" names a real date whose month and day are the day's.
// Missing, short or malformed texts never match.
bool isBirthdayOn(const QString& birthday, const QDate& day);

} // namespace DayWindow
