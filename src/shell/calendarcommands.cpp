#include "calendarcommands.h"

#include "birthdays/daywindow.h"
#include "calendar/anniversaries.h"
#include "calendar/calendarsql.h"
#include "calendar/chinesedate.h"
#include "calendar/icsimport.h"
#include "commandsupport.h"
#include "common/clock.h"
#include "common/helpers.h"
#include "common/inifile.h"
#include "common/runtimeerror.h"
#include "common/services.h"
#include "common/stationsettings.h"
#include "data/calendartables.h"
#include "data/tdm.h"

#include <QFileInfo>
#include <QTextStream>

namespace {

const QString Program = QStringLiteral("kelvora");

QString name(const QSqlRecord& row)
{
    return row.value(QStringLiteral("emp_name")).toString().trimmed();
}

QString monthDay(const QDate& day)
{
    return day.toString(QStringLiteral("MM-dd"));
}

// "张三（35岁）", "李四（八月十五，60岁）", "王五（2月29日生，24岁）".
QString birthdayOf(const QSqlRecord& row, const QDate& day)
{
    QStringList notes;
    const QDate born = QDate::fromString(row.value(QStringLiteral("birthday")).toString(), Qt::ISODate);
    if (DayWindow::isLunar(row)) {
        if (const std::optional<LunarDate> lunar = ChineseCalendar::fromGregorian(born)) {
            notes << QStringLiteral("农历") + lunar->monthDayName();
        }
    } else if (born.month() == 2 && born.day() == 29 && !(day.month() == 2 && day.day() == 29)) {
        notes << QStringLiteral("2月29日生");
    }
    const QVariant age = row.value(QStringLiteral("age"));
    if (!age.isNull()) {
        notes << QStringLiteral("%1岁").arg(age.toInt());
    }
    return name(row) + (notes.isEmpty() ? QString() : QStringLiteral("（%1）").arg(notes.join(QStringLiteral("，"))));
}

void appendGroup(QStringList& groups, const QString& title, const QStringList& names)
{
    if (!names.isEmpty()) {
        groups << title + QStringLiteral("：") + names.join(QStringLiteral("、"));
    }
}

} // namespace

namespace CalendarCommands {

BirthdayQueries queriesOf(TDM& tdm)
{
    BirthdayQueries queries;
    queries.monthDay
        = [&tdm](const QString& tokens, const QString& threshold) { return tdm.qry_month_day(tokens, threshold); };
    queries.month = [&tdm](const QString& month, const QString& threshold) { return tdm.qry_month(month, threshold); };
    queries.anniversaries = [&tdm](const QList<QDate>& days, const QList<int>& years) {
        return Anniversaries::on(tdm.database(), days, years);
    };
    return queries;
}

DayCalendar dayCalendarOf(TDM& tdm)
{
    const IniFile ini(IniFile::defaultPath());
    std::array<bool, 7> weekdays {};
    for (size_t day = 0; day < weekdays.size(); ++day) {
        weekdays[day] = StationSettings::read(ini, StationSettings::CheckBox[day]);
    }
    DayCalendar calendar;
    calendar.settings = CalendarSettings::load(ini);
    BirthdayRules::setLeapDayRule(calendar.settings.leapDay);
    calendar.days = BroadcastDays(weekdays, DayMarks::read(tdm.database()));
    return calendar;
}

void noteOlderFile(TDM& tdm, QTextStream& err)
{
    if (CalendarTables::isOlder(tdm.database())) {
        err << Program << ": " << CalendarTables::olderFileNote(tdm.database()) << Qt::endl;
    }
}

int holidays(const QString& file, bool dryRun, QTextStream& out, QTextStream& err, Clock& clock)
{
    IcsReading reading;
    try {
        reading = IcsImport::read(file);
    } catch (const RuntimeError& error) {
        err << Program << ": cannot import " << file << ": " << error.message() << Qt::endl;
        return 1;
    }
    for (const QString& problem : std::as_const(reading.problems)) {
        err << Program << ": " << file << ": " << problem << "（已略过）" << Qt::endl;
    }
    if (!reading.conflicts.isEmpty()) {
        for (const QString& conflict : std::as_const(reading.conflicts)) {
            err << Program << ": " << file << ": " << conflict << Qt::endl;
        }
        err << Program << ": " << file << " marks days both 休 and 班; nothing imported" << Qt::endl;
        return 1;
    }
    if (reading.marks.isEmpty()) {
        err << Program << ": " << file << " holds no all-day event marked 休, 假 or 班; nothing imported" << Qt::endl;
        return 1;
    }
    TDM tdm(commandServices(clock), &registerCalendarFunctions);
    if (!openCommandDatabase(tdm, err, !dryRun)) {
        return 1;
    }
    if (!dryRun && CalendarTables::upgrade(tdm.database())) {
        out << QStringLiteral("draft.dat 已更新到第 %1 版（节假日表、农历生日）").arg(CalendarTables::CurrentVersion)
            << Qt::endl;
    }
    const HolidayPlan plan = HolidayPlan::of(DayMarks::read(tdm.database()), reading);
    if (!dryRun) {
        HolidayStore::write(tdm.database(), plan.marks());
    }
    out << (dryRun ? QStringLiteral("试导入，日历未改动：") : QStringLiteral("导入完成：")) << plan.summary()
        << Qt::endl;
    for (const QString& line : plan.lines()) {
        out << line << Qt::endl;
    }
    if (reading.ignored > 0) {
        out << QStringLiteral("另有 %1 个事件不是休息日或上班日，已略过。").arg(reading.ignored) << Qt::endl;
    }
    return 0;
}

QString planLine(const QDate& day, const DayCalendar& calendar, const AnnouncementSettings& settings,
                 const BirthdayQueries& queries)
{
    const QString threshold = QString::number(settings.days);
    const BroadcastDays& days = *calendar.days;
    const bool broadcast = days.isBroadcastDay(day);
    QString line = day.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') + weekdayName(day) + QLatin1Char(' ')
        + (broadcast ? QStringLiteral("播报") : QStringLiteral("不播报"));
    const BroadcastDays::Reason reason = days.reason(day);
    if (reason != BroadcastDays::Reason::Weekday) {
        line += QStringLiteral("（%1）").arg(days.reasonText(day));
    }

    QStringList birthdays;
    QStringList lunar;
    QString later;
    if (!broadcast) {
        const QDate next = days.nextBroadcastDay(day);
        later = calendar.settings.catchUp && next.isValid() ? QStringLiteral("，%1补祝").arg(monthDay(next))
                                                            : QStringLiteral("，不播报");
    }
    for (const QSqlRecord& row : DayAnnouncements::dayWindow(day, 0, threshold, queries)) {
        if (!DayWindow::celebratesOn(row, day)) {
            continue;
        }
        QString text = birthdayOf(row, day);
        if (!later.isEmpty()) {
            text = text.endsWith(QStringLiteral("）"))
                ? QString(text.chopped(1) + later + QStringLiteral("）"))
                : QString(text + QStringLiteral("（") + later.mid(1) + QStringLiteral("）"));
        }
        (DayWindow::isLunar(row) ? lunar : birthdays).append(text);
    }
    QStringList caughtUp;
    const QList<QDate> catchUpDays = DayAnnouncements::catchUpDays(day, calendar);
    for (const QSqlRecord& row : DayAnnouncements::catchUpRows(catchUpDays, threshold, queries)) {
        caughtUp << name(row) + QStringLiteral("（%1）").arg(monthDay(DayWindow::celebratedDay(row)));
    }
    QStringList anniversaries;
    for (const AnniversaryEntry& entry : DayAnnouncements::anniversaries(day, catchUpDays, calendar, queries)) {
        anniversaries << entry.name
                + (entry.day == day ? QStringLiteral("（%1年）").arg(entry.years)
                                    : QStringLiteral("（%1年，%2）").arg(entry.years).arg(monthDay(entry.day)));
    }
    QStringList groups;
    appendGroup(groups, QStringLiteral("生日"), birthdays);
    appendGroup(groups, QStringLiteral("农历生日"), lunar);
    appendGroup(groups, QStringLiteral("补祝"), caughtUp);
    appendGroup(groups, QStringLiteral("入职周年"), anniversaries);
    if (!groups.isEmpty()) {
        line += QStringLiteral("  ") + groups.join(QStringLiteral("；"));
    }
    return line;
}

int plan(const QDate& month, QTextStream& out, QTextStream& err, Clock& clock)
{
    DayClock day(clock.currentDate(), clock);
    TDM tdm(commandServices(day), &registerCalendarFunctions);
    if (!openCommandDatabase(tdm, err, false)) {
        return 1;
    }
    noteOlderFile(tdm, err);
    const AnnouncementSettings settings = AnnouncementSettings::read(IniFile(IniFile::defaultPath()));
    const DayCalendar calendar = dayCalendarOf(tdm);
    const BirthdayQueries queries = queriesOf(tdm);
    const QDate first(month.year(), month.month(), 1);
    for (QDate date = first; date.month() == first.month(); date = date.addDays(1)) {
        day.setDay(date);
        out << planLine(date, calendar, settings, queries) << Qt::endl;
    }
    return 0;
}

} // namespace CalendarCommands
