#include "calendarsettings.h"

#include "common/inifile.h"
#include "common/linebreaks.h"

#include <QRegularExpression>

#include <algorithm>

const QString CalendarSettings::Section = QStringLiteral("Calendar");
const QString CalendarSettings::DefaultCatchUpText
    = QStringLiteral("前几天过生日的同事有：{姓名}，我们也祝他们生日快乐！");
const QString CalendarSettings::DefaultAnniversaryText
    = QStringLiteral("今天也是{姓名}加入公司{N}周年的日子，感谢一路同行！");
const QList<int> CalendarSettings::DefaultAnniversaryYears = { 1, 3, 5, 10, 15, 20, 25, 30 };

namespace {

const QString CatchUp = QStringLiteral("CatchUp");
const QString CatchUpText = QStringLiteral("CatchUpText");
const QString LeapDay = QStringLiteral("LeapDay");
const QString Anniversary = QStringLiteral("Anniversary");
const QString AnniversaryYears = QStringLiteral("AnniversaryYears");
const QString AnniversaryText = QStringLiteral("AnniversaryText");
const QString TelltimeOnDaysOff = QStringLiteral("TelltimeOnDaysOff");

} // namespace

CalendarSettings CalendarSettings::load(const IniFile& ini)
{
    CalendarSettings s;
    s.catchUp = ini.readBool(Section, CatchUp, true);
    s.catchUpText = unescapeLineBreaks(ini.readString(Section, CatchUpText, DefaultCatchUpText));
    s.leapDay = ini.readString(Section, LeapDay, QString()).trimmed() == QLatin1String("03-01")
        ? LeapDayRule::March1
        : LeapDayRule::February28;
    s.anniversaries = ini.readBool(Section, Anniversary, false);
    if (ini.hasKey(Section, AnniversaryYears)) {
        // A list spoilt by hand keeps the counts that can be read.
        const QString text = ini.readString(Section, AnniversaryYears, QString());
        QList<int> years;
        for (const QString& part :
             text.split(QRegularExpression(QStringLiteral("[,，、;；\\s]+")), Qt::SkipEmptyParts)) {
            bool ok = false;
            const int n = part.toInt(&ok);
            if (ok && n >= 1 && n <= MaxAnniversaryYears && !years.contains(n)) {
                years.append(n);
            }
        }
        std::sort(years.begin(), years.end());
        s.anniversaryYears = years;
    }
    s.anniversaryText = unescapeLineBreaks(ini.readString(Section, AnniversaryText, DefaultAnniversaryText));
    s.telltimeOnDaysOff = ini.readBool(Section, TelltimeOnDaysOff, false);
    return s;
}

void CalendarSettings::saveGreetings(IniFile& ini) const
{
    ini.writeBool(Section, CatchUp, catchUp);
    ini.writeString(Section, CatchUpText, escapeLineBreaks(catchUpText));
    ini.writeBool(Section, Anniversary, anniversaries);
    ini.writeString(Section, AnniversaryYears, yearsText(anniversaryYears));
    ini.writeString(Section, AnniversaryText, escapeLineBreaks(anniversaryText));
}

void CalendarSettings::saveDays(IniFile& ini) const
{
    ini.writeString(Section, LeapDay, leapDayText(leapDay));
    ini.writeBool(Section, TelltimeOnDaysOff, telltimeOnDaysOff);
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
