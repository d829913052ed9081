#pragma once

#include <QDate>
#include <QString>

#include <optional>

// A day of the Chinese (lunar) calendar. The year is the Gregorian year in which that lunar year
// begins (the year of 春节), so 2024-02-09 is day 30 of month 12 of lunar year 2023.
struct LunarDate
{
    int year = 0;
    int month = 0; // 1..12
    bool leapMonth = false; // 闰月: the month repeated after the month of the same number
    int day = 0; // 1..30

    bool isValid() const { return month >= 1 && month <= 12 && day >= 1 && day <= 30; }
    // "八月十五", "闰六月初三", "正月初一", "腊月三十".
    QString monthDayName() const;
    bool operator==(const LunarDate&) const = default;
};

// Conversions between Gregorian days and the Chinese calendar, through ICU's Chinese calendar
// (Debian's ICU ships no header for the class itself, so it is reached as icu::Calendar with the
// locale's calendar=chinese). Only lunar years FirstYear..LastYear are answered: outside them the
// published tables and the astronomical rules part ways. Safe to call from any thread.
namespace ChineseCalendar {

constexpr int FirstYear = 1901;
constexpr int LastYear = 2099;

// The lunar day of a Gregorian day; none outside the supported lunar years.
std::optional<LunarDate> fromGregorian(const QDate& date);
// The Gregorian day of a lunar day; invalid when that year has no such month or day.
QDate toGregorian(int year, int month, bool leapMonth, int day);
// Days of that month of that lunar year (29 or 30); 0 when the year has no such month.
int monthLength(int year, int month, bool leapMonth);
// The leap month of the lunar year (1..12), or 0 when it has none.
int leapMonthOf(int year);
// The first and the last Gregorian day that the supported lunar years cover.
QDate firstSupportedDay();
QDate lastSupportedDay();
bool supports(const QDate& date);

// The Gregorian day on which somebody born on that lunar day celebrates in the lunar year: the
// month of the birth's number (a leap-month birth in the ordinary month of that number), its 29th
// when the birth day is the 30th and the month has 29 days this year. Invalid outside the years.
QDate birthdayIn(int lunarYear, const LunarDate& birth);

} // namespace ChineseCalendar
