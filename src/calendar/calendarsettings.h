#pragma once

#include "birthdayrules.h"
#include "common/stationsettings.h"

#include <QList>
#include <QString>
#include <QStringList>

class IniChanges;
class IniFile;

// The calendar's settings, section [Calendar] of setinfo.ini, as typed values. Their keys and defaults
// are those of StationSettings; this is the form the calendar and its tabs work with.
struct CalendarSettings
{
    static const QString DefaultCatchUpText;
    static const QString DefaultAnniversaryText;
    static const QList<int> DefaultAnniversaryYears;
    static constexpr int MaxAnniversaryYears = StationSettings::MaxAnniversaryYears;

    // People whose birthday fell on a day without a broadcast are greeted on the next broadcast day;
    // {姓名} stands for their names.
    bool catchUp = StationSettings::CatchUp.defaultValue;
    QString catchUpText = DefaultCatchUpText;
    // The day of people born on 29 February in a common year.
    LeapDayRule leapDay = LeapDayRule::February28;
    // Work anniversaries, off by default; {姓名} and {N} stand for the names and the years.
    bool anniversaries = StationSettings::Anniversary.defaultValue;
    QList<int> anniversaryYears = DefaultAnniversaryYears;
    QString anniversaryText = DefaultAnniversaryText;
    // The time announcements sound on days off too.
    bool telltimeOnDaysOff = StationSettings::TelltimeOnDaysOff.defaultValue;

    static CalendarSettings load(const IniFile& ini);
    // What the content tab saves: the catch-up and the anniversaries.
    void saveGreetings(IniChanges& changes) const;
    // What the holiday tab saves: the 29 February rule and the time announcements on days off.
    void saveDays(IniChanges& changes) const;
    // Why the greeting texts cannot be saved (a template without {姓名}); empty when they can.
    QString greetingsProblem() const;

    // "1,3,5,10": the counts ascending, each once. A text that is not such a list gives the reason
    // in problem and no counts.
    static QList<int> parseYears(const QString& text, QString* problem = nullptr);
    static QString yearsText(const QList<int>& years);
    static QString leapDayText(LeapDayRule rule);
};
