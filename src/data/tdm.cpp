#include "tdm.h"

#include "calendartables.h"
#include "common/errorguard.h"
#include "common/helpers.h"
#include "common/modelrows.h"
#include "common/runtimeerror.h"
#include "common/services.h"
#include "common/stationfolders.h"
#include "draftfile.h"
#include "speechtables.h"
#include "sqlclock.h"
#include "sqlstatement.h"
#include "storedquery.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QUrl>

#include <atomic>
#include <map>

// A table-bound data set with a fixed row order (ties broken by the key, so the order is stable).
class DataSet : public QSqlTableModel
{
public:
    DataSet(const QString& orderBy, QSqlDatabase db, QObject* parent)
        : QSqlTableModel(parent, db)
        , m_orderBy(orderBy)
    {
    }

    // Reads every row at once: a half-read result would hold SQLite's read lock and keep other
    // programs from writing.
    void open()
    {
        if (!select()) {
            throw RuntimeError(lastError().text());
        }
        m_opened = true;
        fetchAllRows(*this);
    }

    // A set whose table never opened has no rows to fetch (Qt's model would say it has).
    bool canFetchMore(const QModelIndex& parent = QModelIndex()) const override
    {
        return m_opened && QSqlTableModel::canFetchMore(parent);
    }

protected:
    QString orderByClause() const override
    {
        return m_orderBy.isEmpty() ? QString() : QStringLiteral("ORDER BY ") + m_orderBy;
    }

private:
    QString m_orderBy;
    bool m_opened = false;
};

namespace {

// The roster: every change made through it is announced.
class RosterDataSet final : public DataSet
{
public:
    RosterDataSet(const QString& orderBy, QSqlDatabase db, TDM* module)
        : DataSet(orderBy, db, module)
        , m_module(module)
    {
        connect(this, &QSqlTableModel::beforeInsert, module, &TDM::birthdayChanged);
        connect(this, &QSqlTableModel::beforeUpdate, module, &TDM::birthdayChanged);
        connect(this, &QSqlTableModel::beforeDelete, module, &TDM::birthdayChanged);
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        const bool changed = DataSet::setData(index, value, role);
        if (changed && role == Qt::EditRole) {
            emit m_module->birthdayChanged();
        }
        return changed;
    }

    bool insertRows(int row, int count, const QModelIndex& parent) override
    {
        const bool inserted = DataSet::insertRows(row, count, parent);
        if (inserted) {
            emit m_module->birthdayChanged();
        }
        return inserted;
    }

    bool removeRows(int row, int count, const QModelIndex& parent) override
    {
        const bool removed = DataSet::removeRows(row, count, parent);
        if (removed) {
            emit m_module->birthdayChanged();
        }
        return removed;
    }

private:
    TDM* m_module;
};

// Long enough for another program's write to finish, short enough that a stuck lock ends start-up.
constexpr int BusyTimeoutMs = 1000;

} // namespace

TDM::TDM(const Services& services, SqlFunctions sqlFunctions, QObject* parent)
    : QObject(parent)
    , m_clock(services.clockOrSystem())
    , m_dialogs(services.dialogsOrConsole())
    , m_sqlFunctions(std::move(sqlFunctions))
{
    static std::atomic<int> serial { 0 };
    m_connectionName = QStringLiteral("kelvora-tdm-%1").arg(++serial);
}

TDM::~TDM()
{
    m_statements.reset();
    // The data sets hold queries of the connection: they go first.
    delete m_lexicon;
    delete m_birthday2;
    delete m_draft1;
    delete m_draft;
    delete m_telltime;
    delete m_delaytime;
    delete m_history;
    if (QSqlDatabase::contains(m_connectionName)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

QString TDM::databasePath()
{
    return StationFolders::current().databaseFile();
}

QString TDM::draftScript()
{
    QFile file(QStringLiteral(":/data/draft.sql"));
    if (!file.open(QIODevice::ReadOnly)) {
        throw RuntimeError(QStringLiteral("draft.sql: ") + file.errorString());
    }
    return QString::fromUtf8(file.readAll());
}

void TDM::createDatabase(const QString& path)
{
    const std::string error = createDraftFile(QFile::encodeName(path).toStdString(), draftScript().toStdString());
    if (!error.empty()) {
        throw RuntimeError(QString::fromStdString(error));
    }
}

bool TDM::DataModuleCreate()
{
    if (!openConnection()) {
        warnbox(m_dialogs, QStringLiteral("数据连接失败!"), m_failure);
        return false;
    }
    // A file made before the lexicon and the names' readings gets them; a refusal is shown and the
    // station goes on with the built-in lexicon.
    guarded(m_dialogs, [this] { SpeechTables::upgrade(database()); });
    // The same for the calendar: its table, the roster's lunar column and the stored queries that
    // follow them; a refusal is shown and the station goes on with the file as it is.
    guarded(m_dialogs, [this] { CalendarTables::upgrade(database()); });
    openDataSets(false);
    return true;
}

QString TDM::failure() const
{
    return m_failure;
}

bool TDM::openReadOnly()
{
    if (!openConnection(true)) {
        return false;
    }
    openDataSets(true);
    return true;
}

namespace {

// The tables of the station and the columns it reads of each. A file that has none of the tables,
// or has one without its columns, is not the station's database.
struct StationTable
{
    const char* name;
    QStringList columns;
};

const QList<StationTable>& stationTables()
{
    static const QList<StationTable> tables = {
        { "birthday",
          { QStringLiteral("id"), QStringLiteral("emp_name"), QStringLiteral("birthday"), QStringLiteral("dept"),
            QStringLiteral("remark1"), QStringLiteral("indate") } },
        { "delaytime",
          { QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("descript"), QStringLiteral("delaytime"),
            QStringLiteral("candelete") } },
        { "telltime",
          { QStringLiteral("id"), QStringLiteral("stime"), QStringLiteral("text"), QStringLiteral("isplay") } },
        { "history", { QStringLiteral("id"), QStringLiteral("filename"), QStringLiteral("opendate") } },
        { "draft", { QStringLiteral("id"), QStringLiteral("orderno") } },
        { "stored_query", { QStringLiteral("name"), QStringLiteral("sql") } },
    };
    return tables;
}

// SQLite's result codes as the Qt driver reports them.
QString reasonOf(const QSqlError& error)
{
    const int code = error.nativeErrorCode().toInt() & 0xff;
    switch (code) {
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return QStringLiteral("locked by another program");
    case 11: // SQLITE_CORRUPT
        return QStringLiteral("damaged");
    case 26: // SQLITE_NOTADB
        return QStringLiteral("not a database");
    case 14: // SQLITE_CANTOPEN
        return QStringLiteral("cannot be opened");
    default:
        break;
    }
    const QString text = error.text().trimmed();
    return text.isEmpty() ? QStringLiteral("cannot be opened") : text;
}

// Empty when the open file can serve as the station's database, else why not.
QString schemaProblem(QSqlDatabase db)
{
    const QStringList tables = db.tables(QSql::Tables);
    QStringList present;
    for (const StationTable& table : stationTables()) {
        const QString name = QString::fromLatin1(table.name);
        if (!tables.contains(name, Qt::CaseInsensitive)) {
            continue;
        }
        present.append(name);
        const QSqlRecord columns = db.record(name);
        for (const QString& column : table.columns) {
            if (columns.indexOf(column) < 0) {
                return QStringLiteral("not a Kelvora database (its table %1 has no column %2)").arg(name, column);
            }
        }
    }
    if (present.isEmpty()) {
        return tables.isEmpty() ? QStringLiteral("not a database (it holds no tables)")
                                : QStringLiteral("not a Kelvora database (none of its tables)");
    }
    return QString();
}

} // namespace

bool TDM::openForWriting()
{
    return openConnection(false);
}

bool TDM::openConnection(bool readOnly)
{
    m_failure.clear();
    const QString path = databasePath();
    const auto refuse = [this, &path](const QString& reason) {
        m_failure = path + QStringLiteral(": ") + reason;
        return false;
    };
    const QFileInfo file(path);
    if (!file.exists()) {
        return refuse(QStringLiteral("missing"));
    }
    if (file.isDir()) {
        return refuse(QStringLiteral("a folder, not a database"));
    }
    if (!file.isReadable()) {
        return refuse(QStringLiteral("cannot be read (permission denied)"));
    }
    if (file.size() == 0) {
        return refuse(QStringLiteral("not a database (an empty file)"));
    }
    m_statements.reset();
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase::database(m_connectionName, false).close();
    }
    QSqlDatabase db = QSqlDatabase::contains(m_connectionName)
        ? QSqlDatabase::database(m_connectionName, false)
        : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    // mode=rw: a missing file is an error, never a new empty database.
    db.setDatabaseName(QUrl::fromLocalFile(databasePath()).toString(QUrl::FullyEncoded)
                       + (readOnly ? QStringLiteral("?mode=ro") : QStringLiteral("?mode=rw")));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
    if (!db.open()) {
        return refuse(reasonOf(db.lastError()));
    }
    // SQLite reads the file only at the first query: a foreign, damaged or locked file shows here.
    QString problem;
    {
        QSqlQuery check(db);
        if (!check.exec(QStringLiteral("PRAGMA quick_check(1)")) || !check.next()) {
            problem = reasonOf(check.lastError());
        } else if (check.value(0).toString() != QStringLiteral("ok")) {
            problem = QStringLiteral("damaged (%1)").arg(check.value(0).toString().simplified());
        }
    }
    if (problem.isEmpty()) {
        problem = schemaProblem(db);
    }
    if (problem.isEmpty()) {
        try {
            registerClockFunctions(db, m_clock);
            if (m_sqlFunctions) {
                m_sqlFunctions(db);
            }
        } catch (const RuntimeError& error) {
            problem = error.message();
        }
    }
    if (!problem.isEmpty()) {
        db.close();
        return refuse(problem);
    }
    return true;
}

DataSet* TDM::makeDataSet(const QString& table, const QString& orderBy)
{
    DataSet* set = table == QStringLiteral("birthday") ? new RosterDataSet(orderBy, database(), this)
                                                       : new DataSet(orderBy, database(), this);
    set->setEditStrategy(QSqlTableModel::OnRowChange);
    return set;
}

void TDM::openDataSets(bool readOnly)
{
    struct Plan
    {
        DataSet** slot;
        QString table;
        QString orderBy;
        QString filter;
    };
    const Plan plans[] = {
        { &m_history, QStringLiteral("history"), QStringLiteral("opendate DESC, id"), QStringLiteral("filename<>''") },
        { &m_delaytime, QStringLiteral("delaytime"), QStringLiteral("id"), QString() },
        { &m_telltime, QStringLiteral("telltime"), QStringLiteral("stime, id"), QString() },
        { &m_draft, QStringLiteral("draft"), QString(), QString() },
        { &m_draft1, QStringLiteral("draft"), QStringLiteral("orderno ASC, id"), QString() },
        { &m_birthday2, QStringLiteral("birthday"), QStringLiteral("indate, id"), QString() },
        { &m_lexicon, SpeechTables::LexiconTable, QStringLiteral("id"), QString() },
    };
    // In this order. Windows bind to every set, so each exists even when its table is missing (it
    // stays empty); each failure shows its own error and the other sets still open.
    for (const Plan& plan : plans) {
        // A preview of an older file reads the built-in lexicon instead; it never creates the table.
        if (readOnly && plan.slot == &m_lexicon && !SpeechTables::hasLexicon(database())) {
            continue;
        }
        DataSet* set = makeDataSet(plan.table, plan.orderBy);
        *plan.slot = set;
        guarded(m_dialogs, [&] {
            // The table's own query first, so a missing table fails with the database's message.
            QSqlQuery probe(database());
            if (!probe.exec(QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(plan.table))) {
                throw RuntimeError(probe.lastError().text());
            }
            probe.finish();
            set->setTable(plan.table);
            set->setFilter(plan.filter);
            if (plan.slot == &m_birthday2) {
                m_rosterPending = true; // read when first asked for
            } else {
                set->open();
            }
        });
    }
}

QSqlDatabase TDM::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

QSqlTableModel* TDM::Q_history() const
{
    return m_history;
}
QSqlTableModel* TDM::q_delaytime() const
{
    return m_delaytime;
}
QSqlTableModel* TDM::Q_telltime() const
{
    return m_telltime;
}
QSqlTableModel* TDM::Q_draft() const
{
    return m_draft;
}
QSqlTableModel* TDM::Q_draft1() const
{
    return m_draft1;
}
QSqlTableModel* TDM::Q_birthday2() const
{
    if (m_rosterPending) {
        m_rosterPending = false;
        guarded(m_dialogs, [this] { m_birthday2->open(); });
    }
    return m_birthday2;
}

QSqlTableModel* TDM::rosterModel() const
{
    return m_birthday2;
}
QSqlTableModel* TDM::Q_lexicon() const
{
    return m_lexicon;
}

QString TDM::storedQueryCommand(const QString& name, const QString& p1, const QString& p2)
{
    return storedQueryCommandText(name, { p1, p2 });
}

// The lookup by name and each stored query stay prepared between calls: preparing the stored SQL
// costs more than running it on a small roster. The SQL is still looked up on every call, so a
// changed stored query is prepared anew.
// Not a kept QSqlQuery: its copy of every row into a QSqlRecord measured 1.4-1.6x the sqlite3 command
// line on the larger results at 10k and 100k people (bench_queries), past the aim of 1.2x.
struct TDM::StatementCache
{
    struct Prepared
    {
        QString sql;
        std::unique_ptr<SqlStatement> statement;
    };
    std::unique_ptr<QSqlQuery> lookup;
    std::map<QString, Prepared> byName;
};

namespace {

// Resets a query when its row has been read or reading failed: a statement left mid-way would
// hold SQLite's read lock.
class FinishGuard
{
public:
    explicit FinishGuard(QSqlQuery& query)
        : m_query(query)
    {
    }
    ~FinishGuard() { m_query.finish(); }
    Q_DISABLE_COPY_MOVE(FinishGuard)

private:
    QSqlQuery& m_query;
};

// The kept path could not answer; the query runs again the plain way.
struct RunAfresh
{
};

} // namespace

QList<QSqlRecord> TDM::execute(const QString& commandText)
{
    const StoredQueryCall call = parseStoredQueryCommand(commandText);
    if (!database().isOpen()) {
        throw RuntimeError(QStringLiteral("数据库未连接"));
    }
    try {
        return runKeptStatement(call.name, call.values);
    } catch (const RunAfresh&) {
        // Whatever failed (the schema changed, the database is busy, a parameter is missing), the
        // plain run gives the rows or the error in the words a first call gives.
        m_statements.reset();
    }
    return runStoredQuery(call.name, call.values);
}

QList<QSqlRecord> TDM::runKeptStatement(const QString& name, const QStringList& values)
{
    if (!m_statements) {
        m_statements = std::make_unique<StatementCache>();
    }
    if (!m_statements->lookup) {
        auto lookup = std::make_unique<QSqlQuery>(database());
        if (!lookup->prepare(QStringLiteral("SELECT sql FROM stored_query WHERE name = :name"))) {
            throw RunAfresh();
        }
        m_statements->lookup = std::move(lookup);
    }
    QSqlQuery& lookup = *m_statements->lookup;
    QString sql;
    {
        FinishGuard finish(lookup);
        lookup.bindValue(QStringLiteral(":name"), name);
        if (!lookup.exec() || !lookup.next()) {
            throw RunAfresh();
        }
        sql = lookup.value(0).toString();
    }

    StatementCache::Prepared& kept = m_statements->byName[name];
    if (!kept.statement || kept.sql != sql) {
        kept.statement.reset();
        kept.statement = SqlStatement::prepare(SqlStatement::handleOf(database()), sql);
        if (!kept.statement) {
            throw RunAfresh();
        }
        kept.sql = sql;
    }
    QList<QSqlRecord> rows;
    if (!kept.statement->run(values, rows)) {
        throw RunAfresh();
    }
    return rows;
}

QList<QSqlRecord> TDM::runStoredQuery(const QString& name, const QStringList& values)
{
    QSqlDatabase db = database();
    QSqlQuery lookup(db);
    if (!lookup.prepare(QStringLiteral("SELECT sql FROM stored_query WHERE name = :name"))) {
        throw RuntimeError(lookup.lastError().text());
    }
    lookup.bindValue(QStringLiteral(":name"), name);
    if (!lookup.exec()) {
        throw RuntimeError(lookup.lastError().text());
    }
    if (!lookup.next()) {
        throw RuntimeError(QStringLiteral("数据库中没有名为“%1”的存储查询").arg(name));
    }
    const QString sql = lookup.value(0).toString();
    lookup.finish();

    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql)) {
        throw RuntimeError(query.lastError().text());
    }
    for (qsizetype i = 0; i < values.size(); ++i) {
        query.bindValue(QStringLiteral(":p%1").arg(i + 1), values.at(i));
    }
    if (!query.exec()) {
        throw RuntimeError(query.lastError().text());
    }
    QList<QSqlRecord> rows;
    while (query.next()) {
        rows.append(query.record());
    }
    if (query.lastError().isValid()) {
        throw RuntimeError(query.lastError().text());
    }
    return rows;
}

QList<QSqlRecord> TDM::qry_month_day(const QString& tokens, const QString& threshold)
{
    return execute(storedQueryCommand(QStringLiteral("qry_month_day"), tokens, threshold));
}

QList<QSqlRecord> TDM::qry_month(const QString& month, const QString& threshold)
{
    return execute(storedQueryCommand(QStringLiteral("qry_month"), month, threshold));
}
