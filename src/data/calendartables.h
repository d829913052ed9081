#pragma once

#include <QSqlDatabase>
#include <QString>

// What the calendar keeps in draft.dat: the table holiday (days off and working days), the roster's
// column lunar, and the stored queries that follow both (schema version 2). A file made before them
// is brought up to date by the station when it starts; a preview only reads it and says it is older.
namespace CalendarTables {

inline const QString HolidayTable = QStringLiteral("holiday");
inline const QString LunarColumn = QStringLiteral("lunar");
// The user_version that draft.sql gives a new file.
constexpr int CurrentVersion = 2;

// PRAGMA user_version of the file; throws RuntimeError.
int schemaVersion(const QSqlDatabase& db);
bool hasHolidayTable(const QSqlDatabase& db);
bool hasLunarColumn(const QSqlDatabase& db);
// The file predates the calendar: a lower user_version, or its table or column is missing.
bool isOlder(const QSqlDatabase& db);
// One line for a preview of an older file: what it lacks until the station has started on it.
QString olderFileNote(const QSqlDatabase& db);

// Brings an older file up to date in one transaction: the table holiday and the column lunar
// where they are missing (nothing else of the roster is touched) and, when user_version is below
// CurrentVersion, the two rows of stored_query replaced by draft.sql's and user_version raised.
// Returns whether anything changed. Throws RuntimeError with the database's text; the file is
// then as it was.
bool upgrade(const QSqlDatabase& db);

} // namespace CalendarTables
