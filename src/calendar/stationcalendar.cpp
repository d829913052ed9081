#include "stationcalendar.h"

#include "common/eventlog.h"
#include "common/inifile.h"
#include "common/runtimeerror.h"

#include <utility>

StationCalendar::StationCalendar(QSqlDatabase db, Weekdays weekdays, QString iniPath)
    : m_db(std::move(db))
    , m_weekdays(std::move(weekdays))
    , m_iniPath(std::move(iniPath))
{
}

void StationCalendar::reload()
{
    m_settings = CalendarSettings::load(IniFile(m_iniPath));
    BirthdayRules::setLeapDayRule(m_settings.leapDay);
    if (m_db.isOpen()) {
        m_marks = DayMarks::read(m_db);
    }
    m_loggedDay = QDate();
}

BroadcastDays StationCalendar::broadcastDays() const
{
    return BroadcastDays(m_weekdays ? m_weekdays() : std::array<bool, 7> {}, m_marks);
}

BroadcastDays::Reason StationCalendar::reasonFor(const QDate& day)
{
    if (day != m_loggedDay && m_loggedDay.isValid() && m_db.isOpen()) {
        // A new day: days marked meanwhile from the command line count from now on.
        try {
            m_marks = DayMarks::read(m_db);
        } catch (const RuntimeError& error) {
            logEvent(QStringLiteral("the days off cannot be read: ") + error.message());
        }
    }
    const BroadcastDays days = broadcastDays();
    const BroadcastDays::Reason reason = days.reason(day);
    if (day != m_loggedDay) {
        m_loggedDay = day;
        if (reason == BroadcastDays::Reason::DayOff || reason == BroadcastDays::Reason::WorkingDay) {
            logEvent(QStringLiteral("%1: %2").arg(day.toString(Qt::ISODate), days.reasonText(day))
                     + (reason == BroadcastDays::Reason::DayOff ? QStringLiteral(", no broadcast")
                                                                : QStringLiteral(", broadcast")));
        }
    }
    return reason;
}

bool StationCalendar::telltimeSilentOn(const QDate& day) const
{
    if (m_settings.telltimeOnDaysOff) {
        return false;
    }
    const DayMark* mark = m_marks.find(day);
    return mark && mark->kind == DayMark::Kind::DayOff;
}

DayCalendar StationCalendar::dayCalendar() const
{
    DayCalendar calendar;
    // Read again for each composition: the command line may have marked days meanwhile.
    calendar.days = BroadcastDays(m_weekdays ? m_weekdays() : std::array<bool, 7> {},
                                  m_db.isOpen() ? DayMarks::read(m_db) : m_marks);
    calendar.settings = CalendarSettings::load(IniFile(m_iniPath));
    return calendar;
}
