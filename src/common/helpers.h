#pragma once

#include <QDate>
#include <QString>

// The small helpers every window shares. Texts count bytes of the ANSI code page (see ansi.h).

class Clock;
class Dialogs;

void warnbox(Dialogs& dialogs, const QString& text);
// The fixed text, with the path and the reason behind the box's details button (and in the log).
void warnbox(Dialogs& dialogs, const QString& text, const QString& details);
bool askbox(Dialogs& dialogs, const QString& text);
void infobox(Dialogs& dialogs, const QString& text);
// The error box shown for a failure that reached a handler.
void errorbox(Dialogs& dialogs, const QString& text);
void errorbox(Dialogs& dialogs, const QString& text, const QString& details);

// The last `count` bytes of the text (never splitting a character); the whole text when shorter.
QString rightpart(const QString& text, int count);
// The fill character repeated in front of the text until it is `length` bytes long.
QString padleft(const QString& text, int length, QChar fill);
// The folder path with a trailing separator, unless it is empty or already has one.
QString withslash(const QString& folder);

// The station's data folder (draft.dat, mp3files), ending in a separator: the program's folder when it
// runs portable; see StationFolders for the settings and the log.
QString progdir();
// Puts every station file in one folder (tests, benchmarks); an empty text restores the program folder.
void setProgdir(const QString& folder);
// Where the export and import choosers start: the user's documents folder when it exists, else the home
// folder; ending in a separator.
QString documentsdir();
// The user's temporary folder, ending in a separator.
QString tempdir();
// Waits while the calling thread's events keep flowing (see Clock::wait).
void waitms(Clock& clock, int ms);

// "星期日" .. "星期六" for the weekday of the date.
QString weekdayName(const QDate& date);
