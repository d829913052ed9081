#pragma once

#include "daymarks.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What an iCalendar file (.ics, as the public holiday calendars that calendar programs subscribe
// to) says about days off and working days.
struct IcsReading
{
    QList<DayMark> marks; // by day, each day once
    QStringList problems; // events that cannot be read, one line each
    QStringList conflicts; // days that the file marks both 休 and 班, one line each
    int events = 0; // VEVENTs in the file
    int ignored = 0; // events that are neither (元宵, 七夕) or not all-day
};

// Reads .ics files through libical. An all-day event whose summary holds 班 (上班, 补班) marks
// working days; one whose summary holds 休 or 假 marks days off; every other event is passed over.
// An event covers DTSTART up to, not including, DTEND (one day without DTEND).
namespace IcsImport {

constexpr qint64 MaxFileBytes = 16 * 1024 * 1024;
// A longer event is a mistake, not a holiday.
constexpr int MaxEventDays = 366;

// Throws RuntimeError when the file cannot be read, is too large, or is not iCalendar.
IcsReading read(const QString& path);
IcsReading parse(const QByteArray& bytes);

// The kind a summary names, if any (班 before 休 and 假: "假期调休上班" is a working day).
std::optional<DayMark::Kind> kindOf(const QString& summary);
// The holiday's name: the summary without a marker of its own ("国庆节（休）", "国庆节 休").
QString nameOf(const QString& summary);

} // namespace IcsImport

// What an import would change in the table, for the preview before it is saved.
struct HolidayPlan
{
    struct Change
    {
        DayMark mark;
        std::optional<DayMark> before; // none: a new day
    };

    QList<Change> changes; // by day
    int unchanged = 0; // days the table already holds as the file says

    int added() const;
    int changed() const;
    QList<DayMark> marks() const;
    // "新增 12 天，更改 1 天，未变 3 天。"
    QString summary() const;
    // One line per change: "2026-10-01 星期四 休 国庆节（新增）", "… （原为 班 …）".
    QStringList lines() const;

    static HolidayPlan of(const DayMarks& current, const IcsReading& reading);
};
