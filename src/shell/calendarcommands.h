#pragma once

#include "birthdays/dayannouncement.h"

#include <QDate>
#include <QString>

class Clock;
class QTextStream;
class TDM;

// The command line's calendar: --holidays imports an .ics file into the days off, --plan prints a
// month ahead; and what the previews of a day's announcement take from the program folder's
// calendar. All read setinfo.ini as it is and never write it.
namespace CalendarCommands {

// The stored queries and the anniversaries through the data module.
BirthdayQueries queriesOf(TDM& tdm);
// The weekday boxes and [Calendar] of setinfo.ini with the days of draft.dat (none in an older
// file); sets the 29 February rule the stored queries follow.
DayCalendar dayCalendarOf(TDM& tdm);
// A preview of a file made before the calendar says so on err (it reads the file as it is).
void noteOlderFile(TDM& tdm, QTextStream& err);

// --holidays FILE [--dry-run]: the import of the tab, without a window. 0 when the days were
// taken (or would be, with dryRun), 1 when the file cannot be read or marks nothing.
int holidays(const QString& file, bool dryRun, QTextStream& out, QTextStream& err, Clock& clock);
// --plan YYYY-MM: one line a day: broadcast or not and why, and who would be greeted. Read only.
// The clock gives the time of day; the stored queries see each day of the month as their today.
int plan(const QDate& month, QTextStream& out, QTextStream& err, Clock& clock);
// One day's line of the plan; the queries' today() must be that day.
QString planLine(const QDate& day, const DayCalendar& calendar, const AnnouncementSettings& settings,
                 const BirthdayQueries& queries);

} // namespace CalendarCommands
