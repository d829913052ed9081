#pragma once

#include <QDate>
#include <QString>

// The small helpers every window shares. Texts count bytes of the ANSI code page (see ansi.h).

class Clock;
class Dialogs;

void warnbox(Dialogs& dialogs, const QString& text);
bool askbox(Dialogs& dialogs, const QString& text);
void infobox(Dialogs& dialogs, const QString& text);
// The error box shown for a failure that reached a handler.
void errorbox(Dialogs& dialogs, const QString& text);

// The last `count` bytes of the text (never splitting a character); the whole text when shorter.
QString rightpart(const QString& text, int count);
// The fill character repeated in front of the text until it is `length` bytes long.
QString padleft(const QString& text, int length, QChar fill);
// The folder path with a trailing separator, unless it is empty or already has one.
QString withslash(const QString& folder);

// The folder of the running program, ending in a separator.
QString progdir();
// Makes progdir() answer another folder (tests, benchmarks); an empty text restores the real one.
void setProgdir(const QString& folder);
// The user's temporary folder, ending in a separator.
QString tempdir();
// Waits while the calling thread's events keep flowing (see Clock::wait).
void waitms(Clock& clock, int ms);

// "星期日" .. "星期六" for the weekday of the date.
QString weekdayName(const QDate& date);
