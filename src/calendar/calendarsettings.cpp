#include "calendarsettings.h"

#include "common/inifile.h"
#include "common/linebreaks.h"
#include "common/stationsettings.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

// A list spoilt by hand keeps the counts that can be read.
QList<int> readableYears(const QString& text)
{
    QList<int> years;
    for (const QString& part : text.split(QRegularExpression(QStringLiteral("[,，、;；\\s]+")), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int n = part.toInt(&ok);
        if (ok && n >= 1 && n <= CalendarSettings::MaxAnniversaryYears && !years.contains(n)) {
            years.append(n);
        }
    }
    std::sort(years.begin(), years.end());
    return years;
}

LeapDayRule leapDayRule(const QString& text)
{
    return text.trimmed() == CalendarSettings::leapDayText(LeapDayRule::March1) ? LeapDayRule::March1
                                                                                : LeapDayRule::February28;
}

} // namespace

const QString CalendarSettings::DefaultCatchUpText = StationSettings::CatchUpText.defaultValue.toString();
const QString CalendarSettings::DefaultAnniversaryText = StationSettings::AnniversaryText.defaultValue.toString();
const QList<int> CalendarSettings::DefaultAnniversaryYears
    = readableYears(StationSettings::AnniversaryYears.defaultValue.toString());

CalendarSettings CalendarSettings::load(const IniFile& ini)
{
    using namespace StationSettings;
    CalendarSettings s;
    s.catchUp = read(ini, CatchUp);
    s.catchUpText = unescapeLineBreaks(read(ini, CatchUpText));
    s.leapDay = leapDayRule(read(ini, LeapDay));
    s.anniversaries = read(ini, Anniversary);
    s.anniversaryYears = readableYears(read(ini, AnniversaryYears));
    s.anniversaryText = unescapeLineBreaks(read(ini, AnniversaryText));
    s.telltimeOnDaysOff = read(ini, TelltimeOnDaysOff);
    return s;
}

void CalendarSettings::saveGreetings(IniChanges& changes) const
{
    using namespace StationSettings;
    set(changes, CatchUp, catchUp);
    set(changes, CatchUpText, escapeLineBreaks(catchUpText));
    set(changes, Anniversary, anniversaries);
    set(changes, AnniversaryYears, yearsText(anniversaryYears));
    set(changes, AnniversaryText, escapeLineBreaks(anniversaryText));
}

void CalendarSettings::saveDays(IniChanges& changes) const
{
    using namespace StationSettings;
    set(changes, LeapDay, leapDayText(leapDay));
    set(changes, TelltimeOnDaysOff, telltimeOnDaysOff);
}

QString CalendarSettings::greetingsProblem() const
{
    const QString name = QStringLiteral("{姓名}");
    if (catchUp && !catchUpText.contains(name)) {
        return QStringLiteral("补祝语句中要有 {姓名}，读出补祝的同事的姓名。");
    }
    if (anniversaries && !anniversaryText.contains(name)) {
        return QStringLiteral("周年语句中要有 {姓名}，读出入职周年的同事的姓名。");
    }
    if (anniversaries && anniversaryYears.isEmpty()) {
        return QStringLiteral("请填写要播报的入职周年数，如 1,3,5,10。");
    }
    return QString();
}

QList<int> CalendarSettings::parseYears(const QString& text, QString* problem)
{
    QList<int> years;
    const QStringList parts = text.split(QRegularExpression(QStringLiteral("[,，、;；\\s]+")), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        bool ok = false;
        const int n = part.toInt(&ok);
        if (!ok || n < 1 || n > MaxAnniversaryYears) {
            if (problem) {
                *problem = QStringLiteral("周年“%1”不是 1 到 %2 之间的整数（请用逗号分开，如 1,3,5,10）")
                               .arg(part)
                               .arg(MaxAnniversaryYears);
            }
            return {};
        }
        if (!years.contains(n)) {
            years.append(n);
        }
    }
    std::sort(years.begin(), years.end());
    if (problem) {
        problem->clear();
    }
    return years;
}

QString CalendarSettings::yearsText(const QList<int>& years)
{
    QStringList parts;
    for (const int n : years) {
        parts.append(QString::number(n));
    }
    return parts.join(QLatin1Char(','));
}

QString CalendarSettings::leapDayText(LeapDayRule rule)
{
    return rule == LeapDayRule::March1 ? QStringLiteral("03-01") : QStringLiteral("02-28");
}
