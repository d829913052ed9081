#include "birthdayrules.h"

#include "chinesedate.h"

#include <atomic>

namespace {

std::atomic<LeapDayRule> g_leapDayRule { LeapDayRule::February28 };

QDate plainIn(const QDate& birth, int year)
{
    if (birth.month() == 2 && birth.day() == 29 && !QDate::isLeapYear(year)) {
        return g_leapDayRule.load() == LeapDayRule::March1 ? QDate(year, 3, 1) : QDate(year, 2, 28);
    }
    return QDate(year, birth.month(), birth.day());
}

} // namespace

namespace BirthdayRules {

LeapDayRule leapDayRule()
{
    return g_leapDayRule.load();
}

void setLeapDayRule(LeapDayRule rule)
{
    g_leapDayRule.store(rule);
}

QDate celebrationBetween(const QDate& birth, bool lunar, const QDate& first, const QDate& last)
{
    if (!birth.isValid() || !first.isValid() || !last.isValid() || last < first) {
        return QDate();
    }
    if (!lunar) {
        for (int year = first.year(); year <= last.year(); ++year) {
            const QDate day = plainIn(birth, year);
            if (day >= first && day <= last) {
                return day;
            }
        }
        return QDate();
    }
    const std::optional<LunarDate> born = ChineseCalendar::fromGregorian(birth);
    if (!born) {
        return QDate();
    }
    // The lunar years that touch the span; a span beyond the supported years finds nothing there.
    const std::optional<LunarDate> from = ChineseCalendar::fromGregorian(first);
    const std::optional<LunarDate> to = ChineseCalendar::fromGregorian(last);
    const int firstYear = from ? from->year : ChineseCalendar::FirstYear;
    const int lastYear = to ? to->year : ChineseCalendar::LastYear;
    if (!from && !to) {
        return QDate();
    }
    for (int year = firstYear; year <= lastYear; ++year) {
        const QDate day = ChineseCalendar::birthdayIn(year, *born);
        if (day.isValid() && day >= first && day <= last) {
            return day;
        }
    }
    return QDate();
}

bool celebratesOn(const QDate& birth, bool lunar, const QDate& day)
{
    return celebrationBetween(birth, lunar, day, day).isValid();
}

int ageOn(const QDate& birth, bool lunar, const QDate& day)
{
    if (lunar) {
        const std::optional<LunarDate> born = ChineseCalendar::fromGregorian(birth);
        const std::optional<LunarDate> now = ChineseCalendar::fromGregorian(day);
        if (born && now) {
            return now->year - born->year;
        }
    }
    return day.year() - birth.year();
}

QString lunarProblem(const QDate& birth)
{
    if (!birth.isValid()) {
        return QStringLiteral("没有有效的生日，不能按农历过生日");
    }
    if (!ChineseCalendar::supports(birth)) {
        return QStringLiteral("农历生日只能用于 %1 至 %2 之间出生的人（农历 %3 至 %4 年），%5 不在其中")
            .arg(ChineseCalendar::firstSupportedDay().toString(QStringLiteral("yyyy-MM-dd")),
                 ChineseCalendar::lastSupportedDay().toString(QStringLiteral("yyyy-MM-dd")))
            .arg(ChineseCalendar::FirstYear)
            .arg(ChineseCalendar::LastYear)
            .arg(birth.toString(QStringLiteral("yyyy-MM-dd")));
    }
    return QString();
}

QDate parseDay(QStringView text)
{
    if (text.size() != 10 || text.at(4) != QLatin1Char('-') || text.at(7) != QLatin1Char('-')) {
        return QDate();
    }
    int parts[3] = { 0, 0, 0 };
    const int starts[3] = { 0, 5, 8 };
    const int lengths[3] = { 4, 2, 2 };
    for (int p = 0; p < 3; ++p) {
        for (int i = starts[p]; i < starts[p] + lengths[p]; ++i) {
            const char16_t c = text.at(i).unicode();
            if (c < u'0' || c > u'9') {
                return QDate();
            }
            parts[p] = parts[p] * 10 + (c - u'0');
        }
    }
    return QDate(parts[0], parts[1], parts[2]);
}

} // namespace BirthdayRules
