// Times the stored queries through the data module on rosters of 1,000, 10,000 and 100,000 people,
// beside the sqlite3 command line running the same SQL on the same file; then the same queries with
// one person in a hundred keeping a lunar birthday.
#include "calendar/calendarsql.h"
#include "common/clock.h"
#include "common/helpers.h"
#include "common/runtimeerror.h"
#include "common/services.h"
#include "data/tdm.h"
#include "figure.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const QString MonthDayTokens = QStringLiteral("03-02 03-03 03-04 03-05 03-06 03-07 03-08");
const QString Month = QStringLiteral("03");
const QString Threshold = QStringLiteral("90");

void fill(const QSqlDatabase& db, int count)
{
    QRandomGenerator random(20240305);
    QSqlQuery begin(db);
    begin.exec(QStringLiteral("BEGIN"));
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO birthday (emp_name, birthday, dept, remark1, indate) "
                                  "VALUES (?, ?, ?, ?, ?)"));
    const QDate firstBirth(1960, 1, 1);
    const QDate firstJoin(2000, 1, 1);
    for (int i = 0; i < count; ++i) {
        insert.addBindValue(QStringLiteral("员工%1").arg(i));
        insert.addBindValue(firstBirth.addDays(random.bounded(45 * 365)).toString(Qt::ISODate));
        insert.addBindValue(QStringLiteral("部门%1").arg(i % 40));
        insert.addBindValue(QString());
        insert.addBindValue(firstJoin.addDays(random.bounded(24 * 365)).toString(Qt::ISODate));
        if (!insert.exec()) {
            throw RuntimeError(insert.lastError().text());
        }
    }
    QSqlQuery(db).exec(QStringLiteral("COMMIT"));
}

// Milliseconds per call, as the command line's figure is taken: the best of five runs of `rounds`
// calls back to back, divided by `rounds`. The machine's other load only ever adds time.
double timeIt(int rounds, const std::function<void()>& call)
{
    double best = 1e300;
    for (int attempt = 0; attempt < 5; ++attempt) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < rounds; ++i) {
            call();
        }
        best = std::min(best, timer.nsecsElapsed() / 1e6 / rounds);
    }
    return best;
}

QString sqlQuoted(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// Wall time of the command line running the script once, in milliseconds.
double runCli(const QString& cli, const QString& database, const QString& script)
{
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(cli, { QStringLiteral("-batch"), database });
    process.write(script.toUtf8());
    process.closeWriteChannel();
    process.waitForFinished(-1);
    const double elapsed = timer.nsecsElapsed() / 1e6;
    if (process.exitCode() != 0) {
        throw RuntimeError(QString::fromLocal8Bit(process.readAllStandardError()));
    }
    return elapsed;
}

// The SQL as the command line can run it. It has no today(): it gets the same date as a literal.
// Nor has it the calendar's functions: on this roster (nobody lunar, the tokens and the month well
// inside one year, so no 29 February moves) they answer what these plain expressions answer.
QString cliSql(const QString& sql)
{
    QString text = sql;
    text.replace(QStringLiteral("today()"), sqlQuoted(Clock::system().currentDate().toString(Qt::ISODate)));
    text.replace(QRegularExpression(QStringLiteral("\\b(birthday_between|lunar_age)\\([^()]*\\)")),
                 QStringLiteral("NULL"));
    text.replace(QRegularExpression(QStringLiteral("\\bnearest_day\\(([^,()]*),([^()]*)\\)")),
                 QStringLiteral("(substr(\\2, 1, 5) || \\1)"));
    text.replace(QRegularExpression(QStringLiteral("\\bnearest_month\\(([^,()]*),([^()]*)\\)")),
                 QStringLiteral("(substr(\\2, 1, 5) || \\1 || '-01')"));
    return text + QStringLiteral(";\n");
}

QString cliSetup(const QString& p1)
{
    return QStringLiteral(".parameter init\n.parameter set :p1 %1\n.parameter set :p2 %2\n")
        .arg(sqlQuoted(p1), sqlQuoted(Threshold));
}

// The rows the command line's run of the SQL gives.
qsizetype cliRows(const QString& cli, const QString& database, const QString& sql, const QString& p1)
{
    QProcess process;
    process.start(cli, { QStringLiteral("-batch"), database });
    process.write((cliSetup(p1) + cliSql(sql)).toUtf8());
    process.closeWriteChannel();
    process.waitForFinished(-1);
    return QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts).size();
}

// The command line's time for one run of the SQL: a script running it 1 + `rounds` times, minus the
// same script running it once (start-up, opening the file, setting the parameters, and the first run
// that fills SQLite's page cache, as our side's untimed first call does); fastest of five each.
double cliTime(const QString& cli, const QString& database, const QString& sql, const QString& p1, int rounds)
{
    const QString text = cliSql(sql);
    const QString warm = cliSetup(p1) + QStringLiteral(".output /dev/null\n") + text;
    QString withQuery = warm;
    for (int i = 0; i < rounds; ++i) {
        withQuery += text;
    }
    double bare = 1e300;
    double full = 1e300;
    for (int attempt = 0; attempt < 5; ++attempt) {
        bare = std::min(bare, runCli(cli, database, warm));
        full = std::min(full, runCli(cli, database, withQuery));
    }
    return std::max(0.0, (full - bare) / rounds);
}

QString storedSql(TDM& tdm, const QString& name)
{
    QSqlQuery query(tdm.database());
    query.prepare(QStringLiteral("SELECT sql FROM stored_query WHERE name = ?"));
    query.addBindValue(name);
    if (!query.exec() || !query.next()) {
        throw RuntimeError(QStringLiteral("no stored query ") + name);
    }
    return query.value(0).toString();
}

// The other way to the same rows: one QSqlQuery prepared once and kept between calls, each call
// binding the values and copying every row into a QSqlRecord as the data module hands them on.
class KeptQuery
{
public:
    KeptQuery(const QSqlDatabase& db, const QString& sql)
        : m_query(db)
    {
        m_query.setForwardOnly(true);
        if (!m_query.prepare(sql)) {
            throw RuntimeError(m_query.lastError().text());
        }
    }
    QList<QSqlRecord> run(const QString& p1, const QString& p2)
    {
        m_query.bindValue(QStringLiteral(":p1"), p1);
        m_query.bindValue(QStringLiteral(":p2"), p2);
        if (!m_query.exec()) {
            throw RuntimeError(m_query.lastError().text());
        }
        QList<QSqlRecord> rows;
        while (m_query.next()) {
            rows.append(m_query.record());
        }
        m_query.finish();
        return rows;
    }

private:
    QSqlQuery m_query;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString cli = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    std::printf("%-9s %-14s %6s %12s %12s %7s\n", "roster", "query", "rows", "kelvora ms", "sqlite3 ms", "ratio");
    try {
        for (const int count : { 1000, 10000, 100000 }) {
            QTemporaryDir folder;
            setProgdir(folder.path());
            TDM::createDatabase(TDM::databasePath());
            {
                TDM filler(Services {}, &registerCalendarFunctions);
                if (!filler.DataModuleCreate()) {
                    return 1;
                }
                fill(filler.database(), count);
            }
            TDM tdm(Services {}, &registerCalendarFunctions);
            QElapsedTimer opening;
            opening.start();
            if (!tdm.DataModuleCreate()) {
                return 1;
            }
            std::printf("%-9d %-14s %6d %12.3f\n", count, "DataModuleCreate", tdm.Q_birthday2()->rowCount(),
                        opening.nsecsElapsed() / 1e6);
            printFigure(qPrintable(QStringLiteral("opening draft.dat, %1 people").arg(count)), "ms",
                        opening.nsecsElapsed() / 1e6);
            const int rounds = count >= 100000 ? 30 : 200;
            struct Case
            {
                const char* name;
                QString p1;
                std::function<QList<QSqlRecord>()> call;
            };
            const Case cases[] = {
                { "qry_month_day", MonthDayTokens, [&] { return tdm.qry_month_day(MonthDayTokens, Threshold); } },
                { "qry_month", Month, [&] { return tdm.qry_month(Month, Threshold); } },
            };
            for (const Case& c : cases) {
                const qsizetype rows = c.call().size();
                const double ours = timeIt(rounds, [&] { c.call(); });
                // The kept QSqlQuery, for the choice between the two paths (see TDM::execute).
                KeptQuery kept(tdm.database(), storedSql(tdm, QString::fromLatin1(c.name)));
                if (kept.run(c.p1, Threshold).size() != rows) {
                    throw RuntimeError(QStringLiteral("the kept query gives other rows"));
                }
                const double keptMs = timeIt(rounds, [&] { kept.run(c.p1, Threshold); });
                const double theirs = cli.isEmpty()
                    ? 0.0
                    : cliTime(cli, TDM::databasePath(), storedSql(tdm, QString::fromLatin1(c.name)), c.p1, rounds);
                std::printf("%-9d %-14s %6lld %12.3f %12.3f %7.2f   kept QSqlQuery %8.3f ms (%.2fx)\n", count, c.name,
                            static_cast<long long>(rows), ours, theirs, theirs > 0 ? ours / theirs : 0.0, keptMs,
                            theirs > 0 ? keptMs / theirs : 0.0);
                printFigure(
                    qPrintable(
                        QStringLiteral("%1 by a kept QSqlQuery, %2 people").arg(QLatin1String(c.name)).arg(count)),
                    "ms", keptMs, cli.isEmpty() ? "" : "sqlite3 CLI", theirs, "<= 1.2x");
                printFigure(qPrintable(QStringLiteral("%1, %2 people").arg(QLatin1String(c.name)).arg(count)), "ms",
                            ours, cli.isEmpty() ? "" : "sqlite3 CLI", theirs, "<= 1.2x");
                // The same rows, or the baseline is not the same query.
                if (!cli.isEmpty()
                    && cliRows(cli, TDM::databasePath(), storedSql(tdm, QString::fromLatin1(c.name)), c.p1) != rows) {
                    throw RuntimeError(
                        QStringLiteral("the command line's %1 finds other rows").arg(QLatin1String(c.name)));
                }
            }
            // One person in a hundred with a lunar birthday: the calendar's functions at work.
            {
                QSqlQuery lunar(tdm.database());
                if (!lunar.exec(QStringLiteral("UPDATE birthday SET lunar = 1 WHERE id % 100 = 0"))) {
                    throw RuntimeError(lunar.lastError().text());
                }
            }
            for (const Case& c : cases) {
                const qsizetype rows = c.call().size();
                const double ours = timeIt(rounds, [&] { c.call(); });
                std::printf("%-9d %-14s %6lld %12.3f   (1%% lunar)\n", count, c.name, static_cast<long long>(rows),
                            ours);
                printFigure(qPrintable(QStringLiteral("%1, %2 people, 1% lunar").arg(QLatin1String(c.name)).arg(count)),
                            "ms", ours);
            }
            setProgdir(QString());
        }
    } catch (const RuntimeError& error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return 1;
    }
    if (cli.isEmpty()) {
        std::printf("sqlite3 command line not found: no comparison\n");
    }
    return 0;
}
