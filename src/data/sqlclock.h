#pragma once

class Clock;
class QSqlDatabase;

// Gives the connection the SQL function today(): the clock's date as "yyyy-mm-dd", so the stored
// queries follow the clock that tests set. The clock outlives the connection. Throws RuntimeError when
// the driver is not SQLite.
void registerClockFunctions(const QSqlDatabase& database, const Clock& clock);
