#include "chinesedate.h"

#include <QHash>

#include <cmath>
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

// The day (Julian day number, in the calendar's own time of China) of the k-th new moon after
// that of 6 January 2000. ICU's own lunar theory is coarse: where a new moon falls within a few
// minutes of midnight it starts the month on the wrong day (春节 2027 on 7 instead of 6 February,
// 2030 on 2 instead of 3 February). The month's days therefore come from the new moons computed to
// within seconds (Meeus, Astronomical Algorithms, ch. 49, with Espenak and Meeus's ΔT); ICU still
// names the months and places the leap months.
qint64 newMoonDay(qint64 k)
{
    const auto rad = [](double degrees) { return degrees * M_PI / 180.0; };
    const double kk = double(k);
    const double t = kk / 1236.85;
    const double t2 = t * t;
    const double t3 = t2 * t;
    const double t4 = t3 * t;
    double jde = 2451550.09766 + 29.530588861 * kk + 0.00015437 * t2 - 0.000000150 * t3 + 0.00000000073 * t4;
    const double e = 1 - 0.002516 * t - 0.0000074 * t2;
    const double m = rad(2.5534 + 29.10535670 * kk - 0.0000014 * t2 - 0.00000011 * t3);
    const double mp = rad(201.5643 + 385.81693528 * kk + 0.0107582 * t2 + 0.00001238 * t3 - 0.000000058 * t4);
    const double f = rad(160.7108 + 390.67050284 * kk - 0.0016118 * t2 - 0.00000227 * t3 + 0.000000011 * t4);
    const double omega = rad(124.7746 - 1.56375588 * kk + 0.0020672 * t2 + 0.00000215 * t3);
    jde += -0.40720 * std::sin(mp) + 0.17241 * e * std::sin(m) + 0.01608 * std::sin(2 * mp) + 0.01039 * std::sin(2 * f)
        + 0.00739 * e * std::sin(mp - m) - 0.00514 * e * std::sin(mp + m) + 0.00208 * e * e * std::sin(2 * m)
        - 0.00111 * std::sin(mp - 2 * f) - 0.00057 * std::sin(mp + 2 * f) + 0.00056 * e * std::sin(2 * mp + m)
        - 0.00042 * std::sin(3 * mp) + 0.00042 * e * std::sin(m + 2 * f) + 0.00038 * e * std::sin(m - 2 * f)
        - 0.00024 * e * std::sin(2 * mp - m) - 0.00017 * std::sin(omega) - 0.00007 * std::sin(mp + 2 * m)
        + 0.00004 * std::sin(2 * mp - 2 * f) + 0.00004 * std::sin(3 * m) + 0.00003 * std::sin(mp + m - 2 * f)
        + 0.00003 * std::sin(2 * mp + 2 * f) - 0.00003 * std::sin(mp + m + 2 * f) + 0.00003 * std::sin(mp - m + 2 * f)
        - 0.00002 * std::sin(mp - m - 2 * f) - 0.00002 * std::sin(3 * mp + m) + 0.00002 * std::sin(4 * mp);
    const double planetary[14][3] = {
        { 299.77, 0.107408, 0.000325 },  { 251.88, 0.016321, 0.000165 }, { 251.83, 26.651886, 0.000164 },
        { 349.42, 36.412478, 0.000126 }, { 84.66, 18.206239, 0.000110 }, { 141.74, 53.303771, 0.000062 },
        { 207.14, 2.453732, 0.000060 },  { 154.84, 7.306860, 0.000056 }, { 34.52, 27.261239, 0.000047 },
        { 207.19, 0.121824, 0.000042 },  { 291.34, 1.844379, 0.000040 }, { 161.72, 24.198154, 0.000037 },
        { 239.56, 25.513099, 0.000035 }, { 331.55, 3.592518, 0.000023 },
    };
    for (int i = 0; i < 14; ++i) {
        const double argument = planetary[i][0] + planetary[i][1] * kk - (i == 0 ? 0.009173 * t2 : 0.0);
        jde += planetary[i][2] * std::sin(rad(argument));
    }
    // Dynamical time to universal time.
    const double year = 2000 + (jde - 2451545.0) / 365.25;
    double deltaT = 0;
    if (year < 1920) {
        const double u = year - 1900;
        deltaT = -2.79 + 1.494119 * u - 0.0598939 * u * u + 0.0061966 * u * u * u - 0.000197 * u * u * u * u;
    } else if (year < 1941) {
        const double u = year - 1920;
        deltaT = 21.20 + 0.84493 * u - 0.076100 * u * u + 0.0020936 * u * u * u;
    } else if (year < 1961) {
        const double u = year - 1950;
        deltaT = 29.07 + 0.407 * u - u * u / 233 + u * u * u / 2547;
    } else if (year < 1986) {
        const double u = year - 1975;
        deltaT = 45.45 + 1.067 * u - u * u / 260 - u * u * u / 718;
    } else if (year < 2005) {
        const double u = year - 2000;
        deltaT = 63.86 + 0.3345 * u - 0.060374 * u * u + 0.0017275 * u * u * u + 0.000651814 * u * u * u * u
            + 0.00002373599 * u * u * u * u * u;
    } else if (year < 2050) {
        const double u = year - 2000;
        deltaT = 62.92 + 0.32217 * u + 0.005589 * u * u;
    } else {
        const double u = (year - 1820) / 100;
        deltaT = -20 + 32 * u * u - 0.5628 * (2150 - year);
    }
    const double universal = jde - deltaT / 86400.0;
    // Until 1929 the calendar was reckoned in the mean time of Beijing (116°25′ E), since in UTC+8.
    const double offsetHours = universal < 2425612.5 ? 7.0 + 45.0 / 60 + 40.0 / 3600 : 8.0;
    return qint64(std::floor(universal + 0.5 + offsetHours / 24.0));
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
        // The month is the one ICU names in its middle, far from any doubtful first day.
        const auto [k, start] = monthStart(key);
        std::optional<LunarDate> result = icuLunar(QDate::fromJulianDay(start + 14));
        if (result) {
            result->day = int(key - start + 1);
            if (!result->isValid()) {
                result.reset();
            }
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
        m_calendar->set(UCAL_DATE, 15);
        m_calendar->set(UCAL_HOUR_OF_DAY, 12);
        const QDate middle = dateOf(m_calendar->getTime(status));
        std::pair<QDate, int> result { QDate(), 0 };
        // ICU moves a month the year lacks (a leap month of another number) elsewhere: the way
        // back tells.
        const std::optional<LunarDate> back = U_FAILURE(status) ? std::nullopt : icuLunar(middle);
        if (back && back->year == year && back->month == month && back->leapMonth == leap) {
            const auto [k, start] = monthStart(middle.toJulianDay());
            result = { QDate::fromJulianDay(start), int(newMoonDay(k + 1) - start) };
        }
        remember(m_months, key, result);
        return result;
    }

private:
    // ICU's own reading of a day, its month's first day being possibly a day off.
    std::optional<LunarDate> icuLunar(const QDate& date)
    {
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
        return result;
    }

    // The new moon that begins the month holding the day: its number and its day.
    static std::pair<qint64, qint64> monthStart(qint64 day)
    {
        auto k = qint64(std::floor((double(day) - 2451550.1) / 29.530588861));
        while (newMoonDay(k) > day) {
            --k;
        }
        while (newMoonDay(k + 1) <= day) {
            ++k;
        }
        return { k, newMoonDay(k) };
    }

    template <typename Map, typename Key, typename Value>
    static void remember(Map& map, const Key& key, const Value& value)
    {
        // A bound, so that a long-running station's memory does not creep.
        if (map.size() > 200000) {
            map.clear();
        }
        map.insert(key, value);
    }

    std::unique_ptr<icu::Calendar> m_calendar;
    QHash<qint64, std::optional<LunarDate>> m_lunar;
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

const char16_t* const MonthNames[]
    = { u"正", u"二", u"三", u"四", u"五", u"六", u"七", u"八", u"九", u"十", u"冬", u"腊" };
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
