#include "broadcastdays.h"

#include "common/helpers.h"

#include <utility>

BroadcastDays::BroadcastDays(const std::array<bool, 7>& weekdays, DayMarks marks)
    : m_weekdays(weekdays)
    , m_marks(std::move(marks))
{
}

int BroadcastDays::weekdayNumber(const QDate& date)
{
    // Qt counts Monday 1 .. Sunday 7.
    return date.dayOfWeek() % 7 + 1;
}

BroadcastDays::Reason BroadcastDays::reason(const QDate& day) const
{
    if (const DayMark* mark = m_marks.find(day)) {
        return mark->kind == DayMark::Kind::DayOff ? Reason::DayOff : Reason::WorkingDay;
    }
    return m_weekdays[size_t(weekdayNumber(day) - 1)] ? Reason::Weekday : Reason::WeekdayOff;
}

bool BroadcastDays::isBroadcastDay(const QDate& day) const
{
    if (!day.isValid()) {
        return false;
    }
    const Reason why = reason(day);
    return why == Reason::Weekday || why == Reason::WorkingDay;
}

QString BroadcastDays::markName(const QDate& day) const
{
    const DayMark* mark = m_marks.find(day);
    return mark ? mark->name : QString();
}

QString BroadcastDays::reasonText(const QDate& day) const
{
    const QString name = markName(day);
    const QString named = name.isEmpty() ? QString() : QLatin1Char(' ') + name;
    switch (reason(day)) {
    case Reason::Weekday:
        return weekdayName(day) + QStringLiteral("播报");
    case Reason::WeekdayOff:
        return weekdayName(day) + QStringLiteral("不播报");
    case Reason::DayOff:
        return QStringLiteral("休息日") + named;
    case Reason::WorkingDay:
        return QStringLiteral("调休上班日") + named;
    }
    return QString();
}

QDate BroadcastDays::previousBroadcastDay(const QDate& day) const
{
    for (int back = 1; back <= CatchUpLimitDays; ++back) {
        const QDate earlier = day.addDays(-back);
        if (isBroadcastDay(earlier)) {
            return earlier;
        }
    }
    return QDate();
}

QDate BroadcastDays::nextBroadcastDay(const QDate& day) const
{
    for (int ahead = 1; ahead <= CatchUpLimitDays; ++ahead) {
        const QDate later = day.addDays(ahead);
        if (isBroadcastDay(later)) {
            return later;
        }
    }
    return QDate();
}

QList<QDate> BroadcastDays::catchUpDays(const QDate& day) const
{
    QList<QDate> days;
    if (!isBroadcastDay(day)) {
        return days;
    }
    const QDate previous = previousBroadcastDay(day);
    const QDate first = previous.isValid() ? previous.addDays(1) : day.addDays(-CatchUpLimitDays);
    for (QDate d = first; d < day; d = d.addDays(1)) {
        days.append(d);
    }
    return days;
}
