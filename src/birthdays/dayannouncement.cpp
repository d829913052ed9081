#include "dayannouncement.h"

#include "contentsettings.h"
#include "daywindow.h"

#include "common/inifile.h"
#include "common/linebreaks.h"

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
    // Stored with its line breaks escaped; the composition takes it trimmed, as the content settings save it.
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

DayAnnouncement forDay(int showdays, const QString& threshold, const CompositionInputs& inputs,
                       const BirthdayQueries& queries, const QString& iniPath)
{
    DayAnnouncement day;
    if (queries.monthDay) {
        day.result = queries.monthDay(DayWindow::tokens(inputs.today, showdays), threshold);
    }
    if (!day.result.isEmpty()) {
        day.composition = compose(Composer::entriesOn(day.result, inputs.today), inputs, threshold, queries, iniPath);
    }
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
