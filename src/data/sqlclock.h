#pragma once

class QSqlDatabase;

// Gives the connection the SQL function today(): the program clock's date as "yyyy-mm-dd", so the
// stored queries follow the clock that tests set. Throws RuntimeError when the driver is not SQLite.
void registerClockFunctions(const QSqlDatabase& database);
