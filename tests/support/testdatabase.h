#pragma once

#include <QSqlDatabase>
#include <QString>

#include <functional>

class TDM;
class TestFolder;

// Makes draft.dat in the folder from the shipped draft.sql (fails the test when it cannot).
void createTestDatabase(const TestFolder& folder);
// Runs work on the folder's draft.dat through a connection of its own, closed afterwards.
void onDatabase(const TestFolder& folder, const std::function<void(QSqlDatabase)>& work);

// Adds one person to the roster. Dates are "yyyy-mm-dd" texts; an empty text stores NULL.
// Returns the new row's id, or -1 (with a warning naming the database error) when it refused the row.
qint64 addEmployee(QSqlDatabase database, const QString& name, const QString& birthday, const QString& indate,
                   const QString& dept = QString(), const QString& remark = QString());
// The same through the data module; its roster data set is read again afterwards.
qint64 addEmployee(TDM& module, const QString& name, const QString& birthday, const QString& indate,
                   const QString& dept = QString(), const QString& remark = QString());
