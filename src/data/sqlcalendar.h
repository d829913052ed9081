#pragma once

class QSqlDatabase;

// Gives the connection the SQL functions of the calendar that the stored queries call (the lunar
// birthdays, the 29 February rule, the nearest occurrence of a month or a day). They are defined
// with the calendar's rules in src/calendar/calendarsql.cpp; the data module only sees that every
// connection it opens has them. Throws RuntimeError when the driver is not SQLite.
void registerCalendarFunctions(const QSqlDatabase& database);
