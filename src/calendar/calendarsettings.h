#pragma once

#include "birthdayrules.h"

#include <QList>
#include <QString>
#include <QStringList>

class IniFile;

// The calendar's settings, section [Calendar] of setinfo.ini: every key, its default and its form
// in this one place.
struct CalendarSettings
{
    static const QString Section; // "Calendar"
    static const QString DefaultCatchUpText;
    static const QString DefaultAnniversaryText;
    static const QList<int> DefaultAnniversaryYears;
    static constexpr int MaxAnniversaryYears = 100;

    // CatchUp, CatchUpText: people whose birthday fell on a day without a broadcast are greeted on
    // the next broadcast day; {姓名} stands for their names.
    bool catchUp = true;
    QString catchUpText = DefaultCatchUpText;
    // LeapDay: "02-28" or "03-01", the day of people born on 29 February in a common year.
    LeapDayRule leapDay = LeapDayRule::February28;
    // Anniversary, AnniversaryYears, AnniversaryText: work anniversaries, off by default; {姓名} and
    // {N} stand for the names and the years.
    bool anniversaries = false;
    QList<int> anniversaryYears = DefaultAnniversaryYears;
    QString anniversaryText = DefaultAnniversaryText;
    // TelltimeOnDaysOff: the time announcements sound on days off too.
    bool telltimeOnDaysOff = false;

    static CalendarSettings load(const IniFile& ini);
    // What the content tab saves: the catch-up and the anniversaries. Throws RuntimeError naming
    // the file when a write is refused.
    void saveGreetings(IniFile& ini) const;
    // What the holiday tab saves: the 29 February rule and the time announcements on days off.
    void saveDays(IniFile& ini) const;
    // Why the greeting texts cannot be saved (a template without {姓名}); empty when they can.
    QString greetingsProblem() const;

    // "1,3,5,10": the counts ascending, each once. A text that is not such a list gives the reason
    // in problem and no counts.
    static QList<int> parseYears(const QString& text, QString* problem = nullptr);
    static QString yearsText(const QList<int>& years);
    static QString leapDayText(LeapDayRule rule);
};
