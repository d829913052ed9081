#pragma once

#include <QString>

class Clock;

// The station's event log: one UTF-8 line per event, ISO date and time first, in a file that stays
// bounded (past the limit the file becomes the one older file kept). Nothing is written until a file
// is opened; a file that cannot be written is reported once and the station goes on, its events going
// to standard error instead. A new log file is readable by its owner only. Thread-safe.
namespace EventLog {

// Starts logging into path; echo copies each line to standard error (when started from a terminal).
// Each line is stamped with the clock's time (the machine's when none is given); the clock must
// outlive the log's opening.
void open(const QString& path, bool echo, const Clock* clock = nullptr, qint64 maxBytes = 1024 * 1024);
void close();
bool isOpen();
void write(const QString& event);
// Whether events already reach standard error (echo on).
bool echoes();

} // namespace EventLog

// Shorthand for EventLog::write.
inline void logEvent(const QString& event)
{
    EventLog::write(event);
}
