#include "dayannouncement.h"

#include "common/inifile.h"
#include "common/linebreaks.h"
#include "common/stationsettings.h"
#include "contentsettings.h"
#include "daywindow.h"

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
    // Stored with its line breaks escaped; the content settings' rules make the text spoken. Start-up's
    // default, which the content settings do not show.
    s.mainread = ContentSettings::mainreadText(unescapeLineBreaks(StationSettings::read(ini, Mainread)));
    s.organisation = StationSettings::read(ini, Company);
    return s;
}

namespace DayAnnouncements {

Composition compose(const QList<BirthdayEntry>& entries, const CompositionInputs& inputs, const QString& threshold,
                    const BirthdayQueries& queries, const QString& iniPath)
{
    return Composer(iniPath).compose(entries, inputs, [&](const QString& month) {
        QStringList names;
        if (queries.month) {
            for (const QSqlRecord& record : queries.month(month, threshold)) {
                names.append(record.value(QStringLiteral("emp_name")).toString());
            }
        }
        return names;
    });
}

QList<QSqlRecord> dayWindow(const QDate& day, int showdays, const QString& threshold, const BirthdayQueries& queries)
{
    return queries.monthDay ? queries.monthDay(DayWindow::tokens(day, showdays), threshold) : QList<QSqlRecord>();
}

Composition forResult(const QList<QSqlRecord>& result, const CompositionInputs& inputs, const QString& threshold,
                      const BirthdayQueries& queries, const QString& iniPath)
{
    if (result.isEmpty()) {
        return {};
    }
    return compose(Composer::entriesOn(result, inputs.today), inputs, threshold, queries, iniPath);
}

DayAnnouncement forDay(int showdays, const QString& threshold, const CompositionInputs& inputs,
                       const BirthdayQueries& queries, const QString& iniPath)
{
    DayAnnouncement day;
    day.result = dayWindow(inputs.today, showdays, threshold, queries);
    day.composition = forResult(day.result, inputs, threshold, queries, iniPath);
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
