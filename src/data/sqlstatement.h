#pragma once

#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QStringList>

#include <memory>

struct sqlite3;
struct sqlite3_stmt;

// A stored query kept prepared on the connection and read through SQLite's own API. Its rows are
// the records a forward-only QSqlQuery of the Qt SQLite driver gives for the same statement (same
// field names, tables, types and values), without the driver's per-row copies.
// Any failure answers false and leaves the statement reset: the caller then runs the query through
// QSqlQuery, which reports the error in the driver's words.
class SqlStatement final
{
public:
    ~SqlStatement();
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    // Null when SQLite refuses the text or it holds more than one statement.
    static std::unique_ptr<SqlStatement> prepare(sqlite3* connection, const QString& sql);
    // The connection handle under a QSQLITE database; null for another driver or a closed one.
    static sqlite3* handleOf(const class QSqlDatabase& database);
    // The same for a caller that cannot go on without it: throws RuntimeError saying why.
    static sqlite3* requireHandleOf(const class QSqlDatabase& database);

    // Binds values as :p1, :p2... (they must be exactly the statement's parameters) and reads every row.
    bool run(const QStringList& values, QList<QSqlRecord>& rows);

private:
    explicit SqlStatement(sqlite3_stmt* statement);
    QSqlRecord shapeOfFirstRow() const;

    sqlite3_stmt* m_statement;
};
