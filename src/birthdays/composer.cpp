#include "composer.h"

#include "common/inifile.h"
#include "contentsettings.h"
#include "daywindow.h"

#include <QMap>
#include <QVariant>

#include <utility>

namespace {

const QChar Comma(0xFF0C); // "，"

// Three independent tests: with ordered bounds an entry joins at most one group.
std::array<bool, 3> joins(int age, const std::array<AgeGroup, 3>& groups)
{
    return { age <= groups[0].upperAge, groups[0].upperAge < age && age <= groups[1].upperAge,
             groups[1].upperAge < age && age <= groups[2].upperAge };
}

} // namespace

Composer::Composer(QString iniPath)
    : m_iniPath(std::move(iniPath))
{
}

std::array<AgeGroup, 3> Composer::readGroups(const QString& iniPath)
{
    return ContentSettings::loadAgeGroups(IniFile(iniPath));
}

QString Composer::nextMonth(const QDate& today)
{
    return QStringLiteral("%1").arg(today.month() % 12 + 1, 2, 10, QLatin1Char('0'));
}

QString Composer::birthdayLine(const QList<BirthdayEntry>& entries, const std::array<AgeGroup, 3>& groups,
                               const std::array<bool, 3>& readGroup)
{
    std::array<QString, 3> texts;
    for (const BirthdayEntry& entry : entries) {
        const std::array<bool, 3> joined = joins(entry.age, groups);
        for (int n = 0; n < 3; ++n) {
            if (!joined[size_t(n)]) {
                continue;
            }
            if (readGroup[n] && groups[n].readAge) {
                texts[n] += entry.name + entry.ageText + QStringLiteral("岁生日，");
            } else {
                texts[n] += entry.name + Comma;
            }
        }
    }

    for (int n = 0; n < 3; ++n) {
        QString& text = texts[n];
        if (text.isEmpty()) {
            continue;
        }
        // Age-form groups end in "岁生日，" already; every other group holds bare names (this also
        // covers a group that asks for ages while its box is off) and is closed with one "生日，".
        if (!(readGroup[n] && groups[n].readAge)) {
            text.chop(1);
            text += QStringLiteral("生日，");
        }
        text += groups[n].addtext;
    }

    QString line = texts[0];
    for (int n = 1; n < 3; ++n) {
        if (!texts[n].isEmpty()) {
            line += Comma + texts[n];
        }
    }
    if (line.startsWith(Comma)) {
        line.remove(0, 1);
    }
    return line;
}

QStringList Composer::leftOut(const QList<BirthdayEntry>& entries, const std::array<AgeGroup, 3>& groups)
{
    QStringList names;
    for (const BirthdayEntry& entry : entries) {
        const std::array<bool, 3> joined = joins(entry.age, groups);
        if (!joined[0] && !joined[1] && !joined[2]) {
            names.append(QStringLiteral("%1（%2岁）").arg(entry.name, entry.ageText));
        }
    }
    return names;
}

QList<BirthdayEntry> Composer::entriesOn(const QList<QSqlRecord>& result, const QDate& day)
{
    QList<BirthdayEntry> entries;
    for (const QSqlRecord& record : result) {
        // Catch-up rows are greeted in a sentence of their own.
        if (!DayWindow::celebratesOn(record, day) || DayWindow::isCatchUp(record)) {
            continue;
        }
        bool ok = false;
        const int age = record.value(QStringLiteral("age")).toInt(&ok);
        if (!ok) {
            continue;
        }
        entries.append({ record.value(QStringLiteral("emp_name")).toString().trimmed(), age, QString::number(age) });
    }
    return entries;
}

QString Composer::catchUpSentence(const QStringList& names, const QString& text)
{
    if (names.isEmpty()) {
        return QString();
    }
    QString sentence = text;
    return sentence.replace(QStringLiteral("{姓名}"), names.join(QStringLiteral("、")));
}

QString Composer::anniversarySentences(const QList<AnniversaryEntry>& entries, const QString& text)
{
    QMap<int, QStringList> byYears;
    for (const AnniversaryEntry& entry : entries) {
        byYears[entry.years].append(entry.name);
    }
    QString sentences;
    for (auto it = byYears.cbegin(); it != byYears.cend(); ++it) {
        QString sentence = text;
        sentence.replace(QStringLiteral("{姓名}"), it.value().join(QStringLiteral("、")));
        sentence.replace(QStringLiteral("{N}"), QString::number(it.key()));
        sentences += sentence;
    }
    return sentences;
}

Composition Composer::compose(const QList<BirthdayEntry>& entries, const CompositionInputs& inputs,
                              const NextMonthNames& nextMonthNames, const OtherGreetings& others) const
{
    const std::array<AgeGroup, 3> groups = readGroups(m_iniPath);
    const QString line = birthdayLine(entries, groups, inputs.readGroup);
    const QString catchUp = catchUpSentence(others.catchUp, others.catchUpText);
    const QString anniversaries = anniversarySentences(others.anniversaries, others.anniversaryText);

    QString names;
    if (inputs.nextMonth && nextMonthNames) {
        // Asked even when nobody is greeted today: a failure must leave the editor untouched.
        for (const QString& name : nextMonthNames(nextMonth(inputs.today))) {
            names += name.trimmed() + Comma;
        }
    }

    Composition result;
    result.leftOut = leftOut(entries, groups);
    if (line.isEmpty() && catchUp.isEmpty() && anniversaries.isEmpty()) {
        result.action = inputs.nextMonth ? Composition::Empty : Composition::Keep;
        return result;
    }
    result.action = Composition::Write;
    if (!line.isEmpty() || !catchUp.isEmpty()) {
        result.text = QStringLiteral("今天是：") + inputs.organisation + QStringLiteral("员工，") + line + catchUp
            + inputs.mainread;
    }
    result.text += anniversaries;
    if (inputs.nextMonth && !names.isEmpty()) {
        result.text += QStringLiteral("下月将有：") + names + QStringLiteral(" 等同事生日，公司将为他们送上祝福。");
    }
    return result;
}
