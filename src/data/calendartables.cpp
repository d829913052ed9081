#include "calendartables.h"

#include "common/runtimeerror.h"
#include "tdm.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

#include <sqlite3.h>

namespace {

// What draft.sql makes for the calendar: the statements of the table holiday, the column lunar
// with its index, and the stored queries' SQL. Read from the script itself, so that a new file and
// an upgraded one hold the same.
struct Shipped
{
    QStringList holiday; // the table, then its indexes
    QString lunarColumn; // its declaration in the roster's CREATE TABLE
    QStringList lunarIndexes;
    QList<std::pair<QString, QString>> storedQueries; // name, sql
};

Shipped readShipped()
{
    const QByteArray script = TDM::draftScript().toUtf8();
    sqlite3* db = nullptr;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK) {
        sqlite3_close(db);
        throw RuntimeError(QStringLiteral("cannot open an in-memory database"));
    }
    const auto fail = [db]() {
        const QString message = QStringLiteral("draft.sql: ") + QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        throw RuntimeError(message);
    };
    if (sqlite3_exec(db, script.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        fail();
    }
    const auto select = [&](const char* sql, auto&& row) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
            fail();
        }
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            row(statement);
        }
        sqlite3_finalize(statement);
        if (rc != SQLITE_DONE) {
            fail();
        }
    };
    const auto text = [](sqlite3_stmt* statement, int column) {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        return bytes ? QString::fromUtf8(bytes) : QString();
    };
    Shipped shipped;
    select("SELECT sql FROM sqlite_master WHERE tbl_name = 'holiday' AND sql IS NOT NULL "
           "ORDER BY type = 'table' DESC, name",
           [&](sqlite3_stmt* s) { shipped.holiday.append(text(s, 0)); });
    select("SELECT sql FROM sqlite_master WHERE type = 'index' AND tbl_name = 'birthday' AND sql LIKE '%lunar%'",
           [&](sqlite3_stmt* s) { shipped.lunarIndexes.append(text(s, 0)); });
    select("SELECT name, sql FROM stored_query ORDER BY name", [&](sqlite3_stmt* s) {
        shipped.storedQueries.append({ text(s, 0), text(s, 1) });
    });
    select("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = 'birthday'", [&](sqlite3_stmt* s) {
        // The column's declaration, as the table's statement writes it on its own line.
        for (const QString& line : text(s, 0).split(QLatin1Char('\n'))) {
            const QString trimmed = line.trimmed();
            if (trimmed.startsWith(QStringLiteral("lunar "))) {
                shipped.lunarColumn = trimmed.endsWith(QLatin1Char(',')) ? trimmed.chopped(1) : trimmed;
            }
        }
    });
    sqlite3_close(db);
    if (shipped.holiday.isEmpty() || shipped.lunarColumn.isEmpty() || shipped.storedQueries.isEmpty()) {
        throw RuntimeError(QStringLiteral("draft.sql lacks the calendar's table, column or stored queries"));
    }
    return shipped;
}

const Shipped& shipped()
{
    static const Shipped statements = readShipped();
    return statements;
}

[[noreturn]] void refuse(const QSqlQuery& query)
{
    throw RuntimeError(query.lastError().text());
}

} // namespace

namespace CalendarTables {

int schemaVersion(const QSqlDatabase& db)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        refuse(query);
    }
    return query.value(0).toInt();
}

bool hasHolidayTable(const QSqlDatabase& db)
{
    return db.tables().contains(HolidayTable, Qt::CaseInsensitive);
}

bool hasLunarColumn(const QSqlDatabase& db)
{
    return db.record(QStringLiteral("birthday")).indexOf(LunarColumn) >= 0;
}

bool isOlder(const QSqlDatabase& db)
{
    return schemaVersion(db) < CurrentVersion || !hasHolidayTable(db) || !hasLunarColumn(db);
}

QString olderFileNote(const QSqlDatabase& db)
{
    return QStringLiteral("draft.dat is older than this station (schema %1, now %2): its days off, lunar "
                          "birthdays and the 29 February rule apply once the station has started on it; "
                          "until then this preview reads it as it is")
        .arg(schemaVersion(db))
        .arg(CurrentVersion);
}

bool upgrade(const QSqlDatabase& db)
{
    const bool tableMissing = !hasHolidayTable(db);
    const bool rosterPresent = db.tables().contains(QStringLiteral("birthday"), Qt::CaseInsensitive);
    const bool columnMissing = rosterPresent && !hasLunarColumn(db);
    // A file without the stored queries' table has no rows to replace.
    const bool queriesOld = schemaVersion(db) < CurrentVersion
        && db.tables().contains(QStringLiteral("stored_query"), Qt::CaseInsensitive);
    if (!tableMissing && !columnMissing && !queriesOld) {
        return false;
    }
    QSqlDatabase connection = db;
    if (!connection.transaction()) {
        throw RuntimeError(connection.lastError().text());
    }
    try {
        QSqlQuery query(connection);
        if (tableMissing) {
            for (const QString& statement : shipped().holiday) {
                if (!query.exec(statement)) {
                    refuse(query);
                }
            }
        }
        if (columnMissing) {
            // Adding a column leaves every other column and every row as it was.
            if (!query.exec(QStringLiteral("ALTER TABLE birthday ADD COLUMN ") + shipped().lunarColumn)) {
                refuse(query);
            }
            for (const QString& statement : shipped().lunarIndexes) {
                if (!query.exec(statement)) {
                    refuse(query);
                }
            }
        }
        if (queriesOld) {
            // The stored queries' rows are the only rows of an existing table that change.
            if (!query.prepare(QStringLiteral("INSERT OR REPLACE INTO stored_query (name, sql) VALUES (?, ?)"))) {
                refuse(query);
            }
            for (const auto& [name, sql] : shipped().storedQueries) {
                query.addBindValue(name);
                query.addBindValue(sql);
                if (!query.exec()) {
                    refuse(query);
                }
            }
            if (!query.exec(QStringLiteral("PRAGMA user_version = %1").arg(CurrentVersion))) {
                refuse(query);
            }
        }
        query.finish();
        if (!connection.commit()) {
            throw RuntimeError(connection.lastError().text());
        }
    } catch (...) {
        connection.rollback();
        throw;
    }
    return true;
}

} // namespace CalendarTables
