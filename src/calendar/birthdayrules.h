#pragma once

#include <QDate>
#include <QString>

// Where somebody born on 29 February is greeted in a common year.
enum class LeapDayRule { February28, March1 };

// On which day a person celebrates: the month and day of birth; 29 February in a common year on
// the day the station's rule names; a lunar birthday (农历生日) on the Gregorian day of its lunar
// month and day in each lunar year.
namespace BirthdayRules {

// The station's rule for 29 February; February28 until set. Process-wide, as the stored queries
// of every connection follow it.
LeapDayRule leapDayRule();
void setLeapDayRule(LeapDayRule rule);

// The first day in first..last on which somebody born on `birth` celebrates; invalid when none
// (or a lunar birth outside the supported lunar years).
QDate celebrationBetween(const QDate& birth, bool lunar, const QDate& first, const QDate& last);
bool celebratesOn(const QDate& birth, bool lunar, const QDate& day);
// The age reached at the celebration on `day`: whole years, counted in lunar years for a lunar
// birthday (so a late-winter lunar birthday never repeats an age).
int ageOn(const QDate& birth, bool lunar, const QDate& day);

// A lunar birthday can be kept for this date of birth (its lunar year is one ICU answers for
// sure); otherwise the clear message why not.
QString lunarProblem(const QDate& birth);

// "yyyy-mm-dd" read strictly, digit by digit; invalid for anything else.
QDate parseDay(QStringView text);

} // namespace BirthdayRules
