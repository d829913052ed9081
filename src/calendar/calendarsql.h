#pragma once

class QSqlDatabase;

// Gives a connection the SQL functions of the calendar that the stored queries call (the lunar
// birthdays, the 29 February rule, the nearest occurrence of a month or a day). Whoever makes the
// data module hands it this, so every connection it opens has them. Throws RuntimeError when the
// driver is not SQLite.
void registerCalendarFunctions(const QSqlDatabase& database);
