#include "speechtables.h"

#include "common/runtimeerror.h"
#include "sqlstatement.h"
#include "tdm.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>

#include <sqlite3.h>

namespace {

// The shipped lexicon as draft.sql makes it: the statements that create it and its rows. The script
// is the one source of both, so a new file and an upgraded old one hold the same.
struct ShippedLexicon
{
    QStringList schema; // the table first, then its indexes
    QList<LexiconRow> rows;
};

ShippedLexicon readShippedLexicon()
{
    const QByteArray script = TDM::draftScript().toUtf8();
    sqlite3* db = nullptr;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK) {
        sqlite3_close(db);
        throw RuntimeError(QStringLiteral("cannot open an in-memory database"));
    }
    const auto fail = [db](const QString& what) {
        const QString message = what + QStringLiteral(": ") + QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        throw RuntimeError(message);
    };
    if (sqlite3_exec(db, script.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        fail(QStringLiteral("draft.sql"));
    }
    ShippedLexicon shipped;
    const auto select = [&](const char* sql, auto&& row) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
            fail(QStringLiteral("draft.sql"));
        }
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            row(statement);
        }
        sqlite3_finalize(statement);
        if (rc != SQLITE_DONE) {
            fail(QStringLiteral("draft.sql"));
        }
    };
    const auto text = [](sqlite3_stmt* statement, int column) {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        return bytes ? QString::fromUtf8(bytes) : QString();
    };
    select("SELECT sql FROM sqlite_master WHERE tbl_name = 'lexicon' AND sql IS NOT NULL "
           "ORDER BY type = 'table' DESC, name",
           [&](sqlite3_stmt* s) { shipped.schema.append(text(s, 0)); });
    select("SELECT word, pinyin, surname FROM lexicon ORDER BY id", [&](sqlite3_stmt* s) {
        shipped.rows.append({ text(s, 0), text(s, 1), sqlite3_column_int(s, 2) != 0 });
    });
    sqlite3_close(db);
    if (shipped.schema.isEmpty()) {
        throw RuntimeError(QStringLiteral("draft.sql has no lexicon table"));
    }
    return shipped;
}

const ShippedLexicon& shipped()
{
    static const ShippedLexicon lexicon = readShippedLexicon();
    return lexicon;
}

bool hasTable(const QSqlDatabase& db, const QString& table)
{
    return db.tables().contains(table, Qt::CaseInsensitive);
}

[[noreturn]] void refuse(const QSqlQuery& query)
{
    throw RuntimeError(query.lastError().text());
}

QList<LexiconRow> readLexicon(const QSqlDatabase& db)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT word, pinyin, surname FROM lexicon ORDER BY id"))) {
        refuse(query);
    }
    QList<LexiconRow> rows;
    while (query.next()) {
        rows.append({ query.value(0).toString(), query.value(1).toString(), query.value(2).toInt() != 0 });
    }
    return rows;
}

QString columnText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(statement, column)) : QString();
}

// Every name through SQLite's own API: read through QSqlQuery, 100,000 people cost a tenth of a
// second of the start-up in the driver's per-row copies. False when it cannot; the caller then
// reads through QSqlQuery, which reports the error in the driver's words.
bool readNames(const QSqlDatabase& db, bool withReading, QList<NameReading>& names)
{
    sqlite3* connection = SqlStatement::handleOf(db);
    if (!connection) {
        return false;
    }
    sqlite3_stmt* statement = nullptr;
    const char* sql = withReading ? "SELECT emp_name, pinyin FROM birthday" : "SELECT emp_name FROM birthday";
    if (sqlite3_prepare_v2(connection, sql, -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return false;
    }
    QList<NameReading> read;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
        const QString name = columnText(statement, 0).trimmed();
        if (!name.isEmpty()) {
            read.append({ name, withReading ? columnText(statement, 1).trimmed() : QString() });
        }
    }
    sqlite3_finalize(statement);
    if (step != SQLITE_DONE) {
        return false;
    }
    names = std::move(read);
    return true;
}

} // namespace

namespace SpeechTables {

QList<LexiconRow> shippedLexicon()
{
    return shipped().rows;
}

bool hasLexicon(const QSqlDatabase& db)
{
    return hasTable(db, LexiconTable);
}

bool hasReadingColumn(const QSqlDatabase& db)
{
    return db.record(QStringLiteral("birthday")).indexOf(ReadingColumn) >= 0;
}

void upgrade(const QSqlDatabase& db)
{
    const bool lexiconMissing = !hasLexicon(db);
    const bool columnMissing = hasTable(db, QStringLiteral("birthday")) && !hasReadingColumn(db);
    if (!lexiconMissing && !columnMissing) {
        return;
    }
    QSqlDatabase connection = db;
    if (!connection.transaction()) {
        throw RuntimeError(connection.lastError().text());
    }
    try {
        QSqlQuery query(connection);
        if (lexiconMissing) {
            for (const QString& statement : shipped().schema) {
                if (!query.exec(statement)) {
                    refuse(query);
                }
            }
            if (!query.prepare(QStringLiteral("INSERT INTO lexicon (word, pinyin, surname) VALUES (?, ?, ?)"))) {
                refuse(query);
            }
            for (const LexiconRow& row : shipped().rows) {
                query.addBindValue(row.word);
                query.addBindValue(row.pinyin);
                query.addBindValue(row.surname ? 1 : 0);
                if (!query.exec()) {
                    refuse(query);
                }
            }
        }
        // Adding a column leaves every other column and every row as it was.
        if (columnMissing && !query.exec(QStringLiteral("ALTER TABLE birthday ADD COLUMN pinyin TEXT"))) {
            refuse(query);
        }
        query.finish();
        if (!connection.commit()) {
            throw RuntimeError(connection.lastError().text());
        }
    } catch (...) {
        connection.rollback();
        throw;
    }
}

QList<LexiconRow> lexicon(const QSqlDatabase& db)
{
    return hasLexicon(db) ? readLexicon(db) : shipped().rows;
}

QList<NameReading> readings(const QSqlDatabase& db)
{
    if (!hasTable(db, QStringLiteral("birthday"))) {
        return {};
    }
    QList<NameReading> names;
    if (readNames(db, hasReadingColumn(db), names)) {
        return names;
    }
    QSqlQuery query(db);
    query.setForwardOnly(true);
    const bool withReading = hasReadingColumn(db);
    if (!query.exec(withReading ? QStringLiteral("SELECT emp_name, pinyin FROM birthday")
                                : QStringLiteral("SELECT emp_name FROM birthday"))) {
        refuse(query);
    }
    while (query.next()) {
        const QString name = query.value(0).toString().trimmed();
        if (!name.isEmpty()) {
            names.append({ name, withReading ? query.value(1).toString().trimmed() : QString() });
        }
    }
    return names;
}

} // namespace SpeechTables
