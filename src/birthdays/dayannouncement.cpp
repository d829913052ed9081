#include "dayannouncement.h"

#include "common/inifile.h"
#include "common/linebreaks.h"
#include "common/stationsettings.h"
#include "contentsettings.h"
#include "daywindow.h"

#include <algorithm>
#include <climits>

AnnouncementSettings AnnouncementSettings::read(const IniFile& ini)
{
    using namespace StationSettings;
    AnnouncementSettings s;
    s.days = readWithin(ini, Days);
    s.showdays = readWithin(ini, Showdays);
    for (size_t n = 0; n < s.readGroup.size(); ++n) {
        s.readGroup[n] = StationSettings::read(ini, ReadAdd[n]);
    }
    s.nextMonth = StationSettings::read(ini, NextMonth);
    // Stored with its line breaks escaped; the content settings' rules make the text spoken.
    s.mainread = ContentSettings::mainreadText(unescapeLineBreaks(StationSettings::read(ini, Mainread)));
    s.organisation = StationSettings::read(ini, Company);
    return s;
}

namespace DayAnnouncements {

Composition compose(const QList<BirthdayEntry>& entries, const CompositionInputs& inputs, const QString& threshold,
                    const BirthdayQueries& queries, const QString& iniPath, const OtherGreetings& others)
{
    return Composer(iniPath).compose(
        entries, inputs,
        [&](const QString& month) {
            QStringList names;
            if (queries.month) {
                for (const QSqlRecord& record : queries.month(month, threshold)) {
                    names.append(record.value(QStringLiteral("emp_name")).toString());
                }
            }
            return names;
        },
        others);
}

QList<QSqlRecord> dayWindow(const QDate& day, int showdays, const QString& threshold, const BirthdayQueries& queries)
{
    return queries.monthDay ? queries.monthDay(DayWindow::tokens(day, showdays), threshold) : QList<QSqlRecord>();
}

QList<QDate> catchUpDays(const QDate& day, const DayCalendar& calendar)
{
    if (!calendar.settings.catchUp || !calendar.days) {
        return {};
    }
    return calendar.days->catchUpDays(day);
}

QList<QSqlRecord> catchUpRows(const QList<QDate>& days, const QString& threshold, const BirthdayQueries& queries)
{
    QList<QSqlRecord> rows;
    if (days.isEmpty() || !queries.monthDay) {
        return rows;
    }
    // The days lie within a month before today, so each token stands for its own day.
    for (const QSqlRecord& row : queries.monthDay(DayWindow::tokensOf(days), threshold)) {
        if (std::any_of(days.cbegin(), days.cend(),
                        [&row](const QDate& d) { return DayWindow::celebratesOn(row, d); })) {
            rows.append(row);
        }
    }
    return rows;
}

QList<AnniversaryEntry> anniversaries(const QDate& day, const QList<QDate>& catchUpDays, const DayCalendar& calendar,
                                      const BirthdayQueries& queries)
{
    if (!calendar.settings.anniversaries || !queries.anniversaries || calendar.settings.anniversaryYears.isEmpty()) {
        return {};
    }
    QList<QDate> days = catchUpDays;
    days.append(day);
    return queries.anniversaries(days, calendar.settings.anniversaryYears);
}

OtherGreetings othersOf(const QList<QSqlRecord>& rows, const QList<AnniversaryEntry>& anniversaries,
                        const CalendarSettings& settings)
{
    OtherGreetings others;
    for (const QSqlRecord& row : rows) {
        if (DayWindow::isCatchUp(row)) {
            others.catchUp.append(row.value(QStringLiteral("emp_name")).toString().trimmed());
        }
    }
    others.catchUpText = settings.catchUpText;
    others.anniversaries = anniversaries;
    others.anniversaryText = settings.anniversaryText;
    return others;
}

Composition forResult(const QList<QSqlRecord>& result, const CompositionInputs& inputs, const QString& threshold,
                      const BirthdayQueries& queries, const QString& iniPath,
                      const QList<AnniversaryEntry>& anniversaries, const CalendarSettings& settings)
{
    if (result.isEmpty() && anniversaries.isEmpty()) {
        return {};
    }
    return compose(Composer::entriesOn(result, inputs.today), inputs, threshold, queries, iniPath,
                   othersOf(result, anniversaries, settings));
}

DayAnnouncement forDay(int showdays, const QString& threshold, const CompositionInputs& inputs,
                       const BirthdayQueries& queries, const QString& iniPath, const DayCalendar& calendar)
{
    DayAnnouncement day;
    day.catchUpDays = catchUpDays(inputs.today, calendar);
    const QList<QSqlRecord> window = dayWindow(inputs.today, showdays, threshold, queries);
    day.result = DayWindow::withCatchUp(window, catchUpRows(day.catchUpDays, threshold, queries));
    day.anniversaries = anniversaries(inputs.today, day.catchUpDays, calendar, queries);
    day.composition = forResult(day.result, inputs, threshold, queries, iniPath, day.anniversaries, calendar.settings);
    return day;
}

QString editorTextAfter(const Composition& composition, const QString& before)
{
    switch (composition.action) {
    case Composition::Write:
        return composition.text;
    case Composition::Empty:
        return QString();
    case Composition::Keep:
        break;
    }
    return before;
}

} // namespace DayAnnouncements
