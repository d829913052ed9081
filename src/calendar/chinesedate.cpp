#include "chinesedate.h"

#include <QHash>

#include <memory>
#include <unicode/calendar.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

namespace {

// ICU counts the Chinese calendar's years from 2637 BC.
constexpr int ExtendedYearOffset = 2637;
constexpr qint64 MsPerDay = 86400000;
constexpr qint64 UnixEpochJulianDay = 2440588;
// Days are taken at noon in China: far from any midnight, whatever the zone did in a year.
constexpr qint64 NoonInChinaMs = 4 * 3600 * 1000;
constexpr qint64 ChinaOffsetMs = 8 * 3600 * 1000;

UDate noonOf(const QDate& date)
{
    return UDate((date.toJulianDay() - UnixEpochJulianDay) * MsPerDay + NoonInChinaMs);
}

QDate dateOf(UDate time)
{
    const auto ms = qint64(time) + ChinaOffsetMs;
    const qint64 days = ms >= 0 ? ms / MsPerDay : -((-ms + MsPerDay - 1) / MsPerDay);
    return QDate::fromJulianDay(days + UnixEpochJulianDay);
}

// One ICU calendar per thread: ICU's calendars are not safe to share. The answers are kept, since
// the stored queries ask the same few days over and over.
class Converter
{
public:
    Converter()
    {
        UErrorCode status = U_ZERO_ERROR;
        m_calendar.reset(icu::Calendar::createInstance(icu::TimeZone::createTimeZone("GMT+08:00"),
                                                       icu::Locale("zh_CN@calendar=chinese"), status));
        if (U_FAILURE(status) || !m_calendar || qstrcmp(m_calendar->getType(), "chinese") != 0) {
            m_calendar.reset();
        }
    }

    std::optional<LunarDate> lunar(const QDate& date)
    {
        if (!m_calendar || !date.isValid()) {
            return std::nullopt;
        }
        const qint64 key = date.toJulianDay();
        if (const auto found = m_lunar.constFind(key); found != m_lunar.constEnd()) {
            return *found;
        }
        UErrorCode status = U_ZERO_ERROR;
        m_calendar->setTime(noonOf(date), status);
        LunarDate result;
        result.year = m_calendar->get(UCAL_EXTENDED_YEAR, status) - ExtendedYearOffset;
        result.month = m_calendar->get(UCAL_MONTH, status) + 1;
        result.leapMonth = m_calendar->get(UCAL_IS_LEAP_MONTH, status) != 0;
        result.day = m_calendar->get(UCAL_DATE, status);
        if (U_FAILURE(status) || !result.isValid()) {
            return std::nullopt;
        }
        remember(m_lunar, key, result);
        return result;
    }

    // The first day of the month and its length, or an invalid day when the year lacks the month.
    std::pair<QDate, int> month(int year, int month, bool leap)
    {
        if (!m_calendar || month < 1 || month > 12) {
            return { QDate(), 0 };
        }
        const int key = (year * 13 + month) * 2 + (leap ? 1 : 0);
        if (const auto found = m_months.constFind(key); found != m_months.constEnd()) {
            return *found;
        }
        UErrorCode status = U_ZERO_ERROR;
        m_calendar->clear();
        m_calendar->set(UCAL_EXTENDED_YEAR, year + ExtendedYearOffset);
        m_calendar->set(UCAL_MONTH, month - 1);
        m_calendar->set(UCAL_IS_LEAP_MONTH, leap ? 1 : 0);
        m_calendar->set(UCAL_DATE, 1);
        m_calendar->set(UCAL_HOUR_OF_DAY, 12);
        const QDate first = dateOf(m_calendar->getTime(status));
        std::pair<QDate, int> result { QDate(), 0 };
        // ICU moves a month the year lacks (a leap month of another number) elsewhere: the way
        // back tells.
        const std::optional<LunarDate> back = U_FAILURE(status) ? std::nullopt : lunar(first);
        if (back && back->year == year && back->month == month && back->leapMonth == leap && back->day == 1) {
            const std::optional<LunarDate> last = lunar(first.addDays(29));
            const bool thirty = last && last->month == month && last->leapMonth == leap;
            result = { first, thirty ? 30 : 29 };
        }
        remember(m_months, key, result);
        return result;
    }

private:
    template<typename Map, typename Key, typename Value>
    static void remember(Map& map, const Key& key, const Value& value)
    {
        // A bound, so that a long-running station's memory does not creep.
        if (map.size() > 200000) {
            map.clear();
        }
        map.insert(key, value);
    }

    std::unique_ptr<icu::Calendar> m_calendar;
    QHash<qint64, LunarDate> m_lunar;
    QHash<int, std::pair<QDate, int>> m_months;
};

Converter& converter()
{
    thread_local Converter instance;
    return instance;
}

bool yearSupported(int year)
{
    return year >= ChineseCalendar::FirstYear && year <= ChineseCalendar::LastYear;
}

const char16_t* const MonthNames[] = { u"正", u"二", u"三", u"四", u"五", u"六",
                                       u"七", u"八", u"九", u"十", u"冬", u"腊" };
const char16_t* const Digits[] = { u"", u"一", u"二", u"三", u"四", u"五", u"六", u"七", u"八", u"九", u"十" };

QString dayName(int day)
{
    if (day <= 10) {
        return QStringLiteral("初") + QString::fromUtf16(Digits[day]);
    }
    if (day < 20) {
        return QStringLiteral("十") + QString::fromUtf16(Digits[day - 10]);
    }
    if (day == 20) {
        return QStringLiteral("二十");
    }
    if (day < 30) {
        return QStringLiteral("廿") + QString::fromUtf16(Digits[day - 20]);
    }
    return QStringLiteral("三十");
}

} // namespace

QString LunarDate::monthDayName() const
{
    if (!isValid()) {
        return QString();
    }
    return (leapMonth ? QStringLiteral("闰") : QString()) + QString::fromUtf16(MonthNames[month - 1])
        + QStringLiteral("月") + dayName(day);
}

namespace ChineseCalendar {

std::optional<LunarDate> fromGregorian(const QDate& date)
{
    const std::optional<LunarDate> lunar = converter().lunar(date);
    if (!lunar || !yearSupported(lunar->year)) {
        return std::nullopt;
    }
    return lunar;
}

int monthLength(int year, int month, bool leapMonth)
{
    return yearSupported(year) ? converter().month(year, month, leapMonth).second : 0;
}

QDate toGregorian(int year, int month, bool leapMonth, int day)
{
    if (!yearSupported(year)) {
        return QDate();
    }
    const auto [first, length] = converter().month(year, month, leapMonth);
    if (!first.isValid() || day < 1 || day > length) {
        return QDate();
    }
    return first.addDays(day - 1);
}

int leapMonthOf(int year)
{
    for (int month = 1; month <= 12; ++month) {
        if (monthLength(year, month, true) > 0) {
            return month;
        }
    }
    return 0;
}

QDate firstSupportedDay()
{
    return toGregorian(FirstYear, 1, false, 1);
}

QDate lastSupportedDay()
{
    const QDate next = converter().month(LastYear + 1, 1, false).first;
    return next.isValid() ? next.addDays(-1) : QDate();
}

bool supports(const QDate& date)
{
    return fromGregorian(date).has_value();
}

QDate birthdayIn(int lunarYear, const LunarDate& birth)
{
    if (!birth.isValid()) {
        return QDate();
    }
    const int length = monthLength(lunarYear, birth.month, false);
    if (length == 0) {
        return QDate();
    }
    return toGregorian(lunarYear, birth.month, false, qMin(birth.day, length));
}

} // namespace ChineseCalendar
