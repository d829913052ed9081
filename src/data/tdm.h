#pragma once

#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlRecord>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class Clock;
class DataSet;
class Dialogs;
class QSqlTableModel;
struct Services;

// The data module: the one connection to draft.dat in the program folder and the data sets the
// windows share. Only the main thread uses it. Failures after the connection throw RuntimeError
// with the database's own text.
class TDM final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TDM)
public:
    // The SQL functions that the stored queries call beyond today() (the calendar's), given by the layer
    // that defines them; registered on every connection right after it opens. One that throws
    // RuntimeError refuses the connection, as a failed today() does.
    using SqlFunctions = std::function<void(const QSqlDatabase&)>;

    // The clock gives the stored queries their today(); the dialogs show the data module's warnings.
    explicit TDM(const Services& services, SqlFunctions sqlFunctions = {}, QObject* parent = nullptr);
    ~TDM() override;

    // Opens the station's draft.dat; shows the one warning "数据连接失败!" and returns false when it
    // cannot (missing, not a database, damaged, locked, or a database without any of the station's
    // tables or with one that lacks its columns). Then opens the data sets in their order; a
    // set that fails shows the database's error text and the others still open.
    bool DataModuleCreate();
    // Why the last opening failed: the file's path and the reason (missing, not a database, not a
    // Kelvora database, locked, damaged...); empty after a success.
    QString failure() const;
    // Opens the station's draft.dat for reading only (previews beside a running station): no warning,
    // false when it cannot be opened. The data sets open as usual; nothing is ever written.
    bool openReadOnly();
    // Opens the station's draft.dat for writing without any data set (the command line's import
    // writes through statements of its own): no warning, false when it cannot be opened.
    bool openForWriting();
    QSqlDatabase database() const;

    // Grid-bound data sets; null before DataModuleCreate succeeded.
    QSqlTableModel* Q_history() const;
    QSqlTableModel* q_delaytime() const; // table delaytime in stored order
    QSqlTableModel* Q_telltime() const; // table telltime ordered by stime
    QSqlTableModel* Q_draft() const;
    QSqlTableModel* Q_draft1() const; // table draft ordered by orderno
    // Table birthday ordered by indate, read on the first call: only the roster editor and the exports
    // need the whole roster, so start-up does not read it.
    QSqlTableModel* Q_birthday2() const;
    // The same data set, not read yet when nobody asked for Q_birthday2(): what the roster editor binds
    // its grid to at start-up, before it opens.
    QSqlTableModel* rosterModel() const;
    bool isRosterRead() const { return !m_rosterPending; }
    QSqlTableModel* Q_lexicon() const; // table lexicon in stored order; null in a preview of a file without it

    // "execute qry_month_day '03-14 03-15','90'": the command text of a stored-query call.
    static QString storedQueryCommand(const QString& name, const QString& p1, const QString& p2);
    // Runs a stored query named in the command text with its values bound as :p1, :p2...; the rows
    // in the query's order. Throws RuntimeError (unknown query, bad command, database failure).
    QList<QSqlRecord> execute(const QString& commandText);
    // Columns emp_name, indate, birthday, dept, age.
    QList<QSqlRecord> qry_month_day(const QString& tokens, const QString& threshold); // Q_birthday1
    QList<QSqlRecord> qry_month(const QString& month, const QString& threshold); // Q_birthday3

    // draft.dat of the station's data folder (StationFolders).
    static QString databasePath();
    // Creates a new database at path from the shipped script; never replaces a file. Throws RuntimeError.
    static void createDatabase(const QString& path);
    // The shipped script (schema, stored queries, initial rows).
    static QString draftScript();

signals:
    // Any edit, insert or delete posted on Q_birthday2; the roster editor also emits it when its
    // grid moves to another row.
    void birthdayChanged();

private:
    bool openConnection(bool readOnly = false);
    void openDataSets(bool readOnly);
    DataSet* makeDataSet(const QString& table, const QString& orderBy);
    // Through the statements kept from earlier calls; throws only to ask for a plain run.
    QList<QSqlRecord> runKeptStatement(const QString& name, const QStringList& values);
    // Looks the SQL up and prepares it afresh: the first call's rows and errors.
    QList<QSqlRecord> runStoredQuery(const QString& name, const QStringList& values);

    // Prepared statements of the stored-query path, kept between calls; dropped with the connection.
    struct StatementCache;
    std::unique_ptr<StatementCache> m_statements;

    const Clock& m_clock;
    Dialogs& m_dialogs;
    SqlFunctions m_sqlFunctions;
    QString m_connectionName;
    QString m_failure;
    DataSet* m_history = nullptr;
    DataSet* m_delaytime = nullptr;
    DataSet* m_telltime = nullptr;
    DataSet* m_draft = nullptr;
    DataSet* m_draft1 = nullptr;
    DataSet* m_birthday2 = nullptr;
    mutable bool m_rosterPending = false;
    DataSet* m_lexicon = nullptr;
};
