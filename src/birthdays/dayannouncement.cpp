#include "dayannouncement.h"

#include "common/inifile.h"
#include "common/linebreaks.h"
#include "contentsettings.h"
#include "daywindow.h"

#include <climits>

namespace {

const QString System = QStringLiteral("System");

// Start-up's default of the fixed text; the content settings show their own, longer default.
const QString DefaultMainread
    = QStringLiteral("在这里我们祝他生日快乐，感谢你们辛勤付出，公司将为你准备神秘小礼物一件，请赶快来领取吧！");

} // namespace

AnnouncementSettings AnnouncementSettings::read(const IniFile& ini)
{
    AnnouncementSettings s;
    s.days = qBound(0, ini.readInteger(System, QStringLiteral("Days"), 90), INT_MAX);
    s.showdays = qBound(0, ini.readInteger(System, QStringLiteral("Showdays"), 1), 3);
    for (int n = 0; n < 3; ++n) {
        s.readGroup[n] = ini.readBool(System, QStringLiteral("Read_add%1").arg(n + 1), false);
    }
    s.nextMonth = ini.readBool(System, QStringLiteral("Next_month"), true);
    // Stored with its line breaks escaped; the content settings' rules make the text spoken.
    s.mainread = ContentSettings::mainreadText(
        unescapeLineBreaks(ini.readString(System, QStringLiteral("Mainread"), DefaultMainread)));
    s.organisation = ini.readString(System, QStringLiteral("Company"), QString());
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
