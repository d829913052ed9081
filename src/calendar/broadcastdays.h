#pragma once

#include "daymarks.h"

#include <QDate>
#include <QList>
#include <QString>

#include <array>

// Which days the station broadcasts on: a day off (休) never, a working day (班) always, any other
// day when its weekday box is ticked. It works from the calendar and the boxes alone, never from
// what was really broadcast, so every day's answer is known in advance.
class BroadcastDays final
{
public:
    enum class Reason {
        Weekday, // a ticked weekday
        WeekdayOff, // an unticked weekday
        DayOff, // marked 休
        WorkingDay // marked 班
    };
    // How far back the catch-up looks at most.
    static constexpr int CatchUpLimitDays = 31;

    // weekdays[n - 1]: the box of weekday n, 1 = Sunday .. 7 = Saturday (chk1 .. chk7).
    BroadcastDays(const std::array<bool, 7>& weekdays, DayMarks marks);

    bool isBroadcastDay(const QDate& day) const;
    Reason reason(const QDate& day) const;
    // The holiday's name of a marked day; empty otherwise.
    QString markName(const QDate& day) const;
    // "星期日不播报", "休息日 国庆节", "调休上班日 国庆补班", "星期一播报": the reason in words.
    QString reasonText(const QDate& day) const;
    // The last broadcast day before `day`, within CatchUpLimitDays; invalid when there is none.
    QDate previousBroadcastDay(const QDate& day) const;
    QDate nextBroadcastDay(const QDate& day) const;
    // The days without a broadcast since the previous broadcast day, oldest first, whose people
    // the broadcast of `day` greets as well: none when `day` itself has no broadcast; at most
    // CatchUpLimitDays back when no broadcast day comes before.
    QList<QDate> catchUpDays(const QDate& day) const;

    const DayMarks& marks() const { return m_marks; }
    const std::array<bool, 7>& weekdays() const { return m_weekdays; }

    // Weekday number of the date: 1 = Sunday .. 7 = Saturday.
    static int weekdayNumber(const QDate& date);

private:
    std::array<bool, 7> m_weekdays;
    DayMarks m_marks;
};
