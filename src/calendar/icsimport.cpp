#include "icsimport.h"

#include "common/helpers.h"
#include "common/runtimeerror.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>

#include <libical/ical.h>
#include <mutex>

namespace {

const QString IsoDate = QStringLiteral("yyyy-MM-dd");

QString shortened(const QString& text, qsizetype length = 30)
{
    const QString simple = text.simplified();
    return simple.size() <= length ? simple : simple.left(length) + QStringLiteral("…");
}

// libical may be built to abort on a parse error; the station must never end over a bad file.
void relaxLibical()
{
    static std::once_flag once;
    std::call_once(once, [] { icalerror_set_errors_are_fatal(0); });
}

// The text of the file as UTF-8 for libical: UTF-8 as it is (its mark dropped), anything else as GB18030.
QByteArray utf8Of(const QByteArray& bytes)
{
    QByteArray data = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(data);
    if (!utf8.hasError()) {
        return data;
    }
    QStringDecoder gb18030("GB18030");
    if (!gb18030.isValid()) {
        return data;
    }
    return QString(gb18030(data)).toUtf8();
}

QDate dateOf(const icaltimetype& time)
{
    if (icaltime_is_null_time(time)) {
        return QDate();
    }
    return QDate(time.year, time.month, time.day);
}

struct EventDays
{
    QDate first;
    QDate last; // inclusive
    QString problem;
    bool allDay = true;
};

EventDays daysOf(icalcomponent* event)
{
    EventDays days;
    icalproperty* start = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
    if (!start) {
        days.problem = QStringLiteral("没有开始日期");
        return days;
    }
    const icaltimetype from = icalproperty_get_dtstart(start);
    days.first = dateOf(from);
    if (!days.first.isValid()) {
        days.problem = QStringLiteral("开始日期无效");
        return days;
    }
    if (!from.is_date) {
        days.allDay = false;
        return days;
    }
    QDate end; // exclusive
    if (icalproperty* stop = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY)) {
        const icaltimetype to = icalproperty_get_dtend(stop);
        end = dateOf(to);
        if (!end.isValid()) {
            days.problem = QStringLiteral("结束日期无效");
            return days;
        }
        if (!to.is_date) {
            days.problem = QStringLiteral("全天事件的结束带有时刻");
            return days;
        }
    } else if (icalproperty* duration = icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY)) {
        const icaldurationtype length = icalproperty_get_duration(duration);
        if (length.is_neg || length.hours || length.minutes || length.seconds) {
            days.problem = QStringLiteral("全天事件的时长不是整天");
            return days;
        }
        end = days.first.addDays(qint64(length.days) + 7 * qint64(length.weeks));
    } else {
        end = days.first.addDays(1);
    }
    if (end <= days.first) {
        days.problem = QStringLiteral("结束日期 %1 不在开始日期 %2 之后")
                           .arg(end.toString(IsoDate), days.first.toString(IsoDate));
        return days;
    }
    const qint64 span = days.first.daysTo(end);
    if (span > IcsImport::MaxEventDays) {
        days.problem = QStringLiteral("跨越 %1 天，超过一年").arg(span);
        return days;
    }
    days.last = end.addDays(-1);
    return days;
}

QList<icalcomponent*> calendarsOf(icalcomponent* root)
{
    QList<icalcomponent*> calendars;
    if (icalcomponent_isa(root) == ICAL_VCALENDAR_COMPONENT) {
        calendars.append(root);
        return calendars;
    }
    for (icalcomponent* c = icalcomponent_get_first_component(root, ICAL_VCALENDAR_COMPONENT); c;
         c = icalcomponent_get_next_component(root, ICAL_VCALENDAR_COMPONENT)) {
        calendars.append(c);
    }
    return calendars;
}

QString dayLine(const DayMark& mark)
{
    return mark.day.toString(IsoDate) + QLatin1Char(' ') + weekdayName(mark.day) + QLatin1Char(' ')
        + DayMark::kindText(mark.kind) + (mark.name.isEmpty() ? QString() : QLatin1Char(' ') + mark.name);
}

} // namespace

namespace IcsImport {

std::optional<DayMark::Kind> kindOf(const QString& summary)
{
    if (summary.contains(QChar(u'班'))) {
        return DayMark::Kind::WorkingDay;
    }
    if (summary.contains(QChar(u'休')) || summary.contains(QChar(u'假'))) {
        return DayMark::Kind::DayOff;
    }
    return std::nullopt;
}

QString nameOf(const QString& summary)
{
    static const QRegularExpression bracketed(QStringLiteral("[(（\\[【]\\s*[休班假]\\s*[)）\\]】]"));
    static const QRegularExpression trailing(QStringLiteral("[\\s\\-—·:：]+[休班]$"));
    QString name = summary.simplified();
    name.remove(bracketed);
    name = name.trimmed();
    name.remove(trailing);
    name = name.trimmed();
    return name.isEmpty() ? summary.simplified() : name;
}

IcsReading read(const QString& path)
{
    QFile file(path);
    if (!file.exists()) {
        throw RuntimeError(QStringLiteral("文件不存在"));
    }
    if (file.size() > MaxFileBytes) {
        throw RuntimeError(
            QStringLiteral("文件太大（%1 MB，最多 %2 MB）").arg(file.size() >> 20).arg(MaxFileBytes >> 20));
    }
    if (!file.open(QIODevice::ReadOnly)) {
        throw RuntimeError(file.errorString());
    }
    return parse(file.readAll());
}

IcsReading parse(const QByteArray& bytes)
{
    const QByteArray text = utf8Of(bytes);
    if (!text.toUpper().contains("BEGIN:VCALENDAR")) {
        throw RuntimeError(QStringLiteral("不是 iCalendar 日历文件（没有 BEGIN:VCALENDAR）"));
    }
    relaxLibical();
    icalcomponent* root = icalparser_parse_string(text.constData());
    if (!root) {
        throw RuntimeError(QStringLiteral("不是 iCalendar 日历文件（无法解析）"));
    }
    const std::unique_ptr<icalcomponent, void (*)(icalcomponent*)> owner(root, &icalcomponent_free);
    const QList<icalcomponent*> calendars = calendarsOf(root);
    if (calendars.isEmpty()) {
        throw RuntimeError(QStringLiteral("不是 iCalendar 日历文件（没有日历）"));
    }

    IcsReading reading;
    QMap<QDate, DayMark> marks;
    QMap<QDate, QString> conflicts;
    for (icalcomponent* calendar : calendars) {
        for (icalcomponent* event = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); event;
             event = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
            ++reading.events;
            const char* rawSummary = icalcomponent_get_summary(event);
            const QString summary = rawSummary ? QString::fromUtf8(rawSummary).trimmed() : QString();
            const std::optional<DayMark::Kind> kind = kindOf(summary);
            const EventDays days = daysOf(event);
            if (!days.problem.isEmpty()) {
                // Only an event that would have marked days is worth a word.
                if (kind || summary.isEmpty()) {
                    reading.problems.append(QStringLiteral("第 %1 个事件%2：%3")
                                                .arg(reading.events)
                                                .arg(summary.isEmpty() ? QStringLiteral("（无标题）")
                                                                       : QStringLiteral("“%1”").arg(shortened(summary)))
                                                .arg(days.problem));
                } else {
                    ++reading.ignored;
                }
                continue;
            }
            if (!kind || !days.allDay) {
                ++reading.ignored;
                continue;
            }
            const DayMark mark { QDate(), *kind, nameOf(summary) };
            for (QDate day = days.first; day <= days.last; day = day.addDays(1)) {
                if (conflicts.contains(day)) {
                    continue;
                }
                const auto existing = marks.constFind(day);
                if (existing == marks.constEnd()) {
                    marks.insert(day, { day, mark.kind, mark.name });
                } else if (existing->kind != mark.kind) {
                    const DayMark other { day, mark.kind, mark.name };
                    conflicts.insert(day,
                                     QStringLiteral("%1 既是“%2”又是“%3”")
                                         .arg(day.toString(IsoDate),
                                              DayMark::kindText(existing->kind) + QLatin1Char(' ') + existing->name,
                                              DayMark::kindText(other.kind) + QLatin1Char(' ') + other.name));
                    marks.remove(day);
                }
            }
        }
    }
    reading.marks = marks.values();
    reading.conflicts = conflicts.values();
    return reading;
}

} // namespace IcsImport

int HolidayPlan::added() const
{
    return int(std::count_if(changes.cbegin(), changes.cend(), [](const Change& c) { return !c.before; }));
}

int HolidayPlan::changed() const
{
    return int(changes.size()) - added();
}

QList<DayMark> HolidayPlan::marks() const
{
    QList<DayMark> marks;
    marks.reserve(changes.size());
    for (const Change& change : changes) {
        marks.append(change.mark);
    }
    return marks;
}

QString HolidayPlan::summary() const
{
    return QStringLiteral("新增 %1 天，更改 %2 天，未变 %3 天。").arg(added()).arg(changed()).arg(unchanged);
}

QStringList HolidayPlan::lines() const
{
    QStringList lines;
    for (const Change& change : changes) {
        lines.append(dayLine(change.mark)
                     + (change.before ? QStringLiteral("（原为 %1 %2）")
                                            .arg(DayMark::kindText(change.before->kind), change.before->name)
                                            .replace(QStringLiteral(" ）"), QStringLiteral("）"))
                                      : QStringLiteral("（新增）")));
    }
    return lines;
}

HolidayPlan HolidayPlan::of(const DayMarks& current, const IcsReading& reading)
{
    HolidayPlan plan;
    for (const DayMark& mark : reading.marks) {
        const DayMark* before = current.find(mark.day);
        if (before && *before == mark) {
            ++plan.unchanged;
            continue;
        }
        plan.changes.append({ mark, before ? std::optional<DayMark>(*before) : std::nullopt });
    }
    return plan;
}
