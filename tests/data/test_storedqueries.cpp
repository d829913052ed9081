#include "common/runtimeerror.h"
#include "data/storedquery.h"
#include "data/tdm.h"
#include "datafixture.h"
#include "testdatabase.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QTest>

// qry_month_day and qry_month as the roster's callers see them, on a real draft.dat.
class TestStoredQueries : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_fixture = std::make_unique<DataFixture>(QDateTime(QDate(2024, 3, 5), QTime(8, 0))); }

    void cleanup() { m_fixture.reset(); }

    void commandText_data()
    {
        QTest::addColumn<QString>("p1");
        QTest::addColumn<QString>("p2");
        QTest::addColumn<QString>("command");
        QTest::newRow("plain") << "03-14 03-15 03-16"
                               << "90"
                               << "execute qry_month_day '03-14 03-15 03-16','90'";
        QTest::newRow("quote doubled") << "O'Neil"
                                       << "''"
                                       << "execute qry_month_day 'O''Neil',''''''";
        QTest::newRow("empty") << ""
                               << ""
                               << "execute qry_month_day '',''";
    }

    void commandText()
    {
        QFETCH(QString, p1);
        QFETCH(QString, p2);
        QFETCH(QString, command);
        QCOMPARE(TDM::storedQueryCommand(QStringLiteral("qry_month_day"), p1, p2), command);
        const StoredQueryCall call = parseStoredQueryCommand(command);
        QCOMPARE(call.name, QStringLiteral("qry_month_day"));
        QCOMPARE(call.values, (QStringList { p1, p2 }));
    }

    void valuesSurviveTheRoundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("quotes") << "'''x'' ''";
        QTest::newRow("semicolon and SQL") << "1'; DROP TABLE birthday; --";
        QTest::newRow("comma and blanks") << " a ', ' b ";
        QTest::newRow("chinese") << "张三，李四";
    }

    void valuesSurviveTheRoundTrip()
    {
        QFETCH(QString, value);
        const StoredQueryCall call
            = parseStoredQueryCommand(TDM::storedQueryCommand(QStringLiteral("q"), value, value));
        QCOMPARE(call.values, (QStringList { value, value }));
    }

    void badCommandsAreRefused_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("no keyword") << "select * from birthday";
        QTest::newRow("no name") << "execute '03-14','90'";
        QTest::newRow("open quote") << "execute qry_month_day '03-14,'90";
        QTest::newRow("no comma") << "execute qry_month_day '03-14' '90'";
        QTest::newRow("unquoted value") << "execute qry_month_day 03-14,'90'";
        QTest::newRow("trailing text") << "execute qry_month_day '03-14','90'; DELETE FROM birthday";
        QTest::newRow("name with SQL") << "execute qry_month_day;DELETE '1','2'";
    }

    void badCommandsAreRefused()
    {
        QFETCH(QString, command);
        QVERIFY_THROWS_EXCEPTION(RuntimeError, m_fixture->data().execute(command));
    }

    void unknownQueryNameIsAClearError()
    {
        try {
            m_fixture->data().execute(QStringLiteral("execute qry_nothing '1','2'"));
            QFAIL("no error");
        } catch (const RuntimeError& error) {
            QVERIFY(error.message().contains(QStringLiteral("qry_nothing")));
        }
    }

    void tokensAndThreshold_data()
    {
        QTest::addColumn<QString>("tokens");
        QTest::addColumn<QString>("threshold");
        QTest::addColumn<QStringList>("names");
        // Rows come in token order, then by date of joining (unknown first).
        // Today 2024-03-05. Joined: 甲 long ago, 乙 exactly 90 days ago, 丙 89 days ago, 丁 today,
        // 戊 tomorrow, 己 unknown.
        QTest::newRow("three days, 90") << "03-04 03-05 03-06"
                                        << "90" << QStringList { "乙", "甲" };
        QTest::newRow("three days, 89") << "03-04 03-05 03-06"
                                        << "89" << QStringList { "乙", "甲", "丙" };
        QTest::newRow("threshold 0") << "03-04 03-05 03-06"
                                     << "0" << QStringList { "乙", "己", "甲", "丁", "丙" };
        QTest::newRow("not a number is 0") << "03-04 03-05 03-06"
                                           << "9O" << QStringList { "乙", "己", "甲", "丁", "丙" };
        QTest::newRow("empty threshold is 0") << "03-04 03-05 03-06"
                                              << "" << QStringList { "乙", "己", "甲", "丁", "丙" };
        QTest::newRow("negative lets the future in") << "03-05"
                                                     << "-1" << QStringList { "己", "甲", "丁", "戊" };
        QTest::newRow("huge threshold") << "03-04 03-05 03-06"
                                        << "99999999999999999999999" << QStringList {};
        QTest::newRow("one token") << "03-04"
                                   << "0" << QStringList { "乙" };
        QTest::newRow("token order rules") << "03-06 03-04"
                                           << "0" << QStringList { "丙", "乙" };
        QTest::newRow("repeated token once") << "03-04 03-04"
                                             << "0" << QStringList { "乙" };
        QTest::newRow("extra blanks") << "  03-04   03-06 "
                                      << "0" << QStringList { "乙", "丙" };
        QTest::newRow("empty list") << ""
                                    << "0" << QStringList {};
        QTest::newRow("blank list") << "   "
                                    << "0" << QStringList {};
        QTest::newRow("day only") << "04"
                                  << "0" << QStringList {};
        QTest::newRow("quote in token") << "03-05' OR '1'='1"
                                        << "0" << QStringList {};
    }

    void tokensAndThreshold()
    {
        QFETCH(QString, tokens);
        QFETCH(QString, threshold);
        QFETCH(QStringList, names);
        const QDate today(2024, 3, 5);
        const auto joined = [&](int daysAgo) { return today.addDays(-daysAgo).toString(Qt::ISODate); };
        QVERIFY(addEmployee(m_fixture->data(), QStringLiteral("甲"), QStringLiteral("1990-03-05"), joined(4000)) > 0);
        QVERIFY(addEmployee(m_fixture->data(), QStringLiteral("乙"), QStringLiteral("1985-03-04"), joined(90)) > 0);
        QVERIFY(addEmployee(m_fixture->data(), QStringLiteral("丙"), QStringLiteral("1999-03-06"), joined(89)) > 0);
        QVERIFY(addEmployee(m_fixture->data(), QStringLiteral("丁"), QStringLiteral("2001-03-05"), joined(0)) > 0);
        QVERIFY(addEmployee(m_fixture->data(), QStringLiteral("戊"), QStringLiteral("2002-03-05"), joined(-1)) > 0);
        QVERIFY(addEmployee(m_fixture->data(), QStringLiteral("己"), QStringLiteral("1980-03-05"), QString()) > 0);
        QVERIFY(addEmployee(m_fixture->data(), QStringLiteral("庚"), QStringLiteral("1980-04-05"), joined(4000)) > 0);
        QCOMPARE(namesOf(m_fixture->data().qry_month_day(tokens, threshold)), names);
    }

    void leapDay_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("tokens");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("leap year window") << QDate(2024, 3, 1) << "02-29 03-01 03-02" << QStringList { "闰", "三一" };
        // In a common year 29 February is celebrated on the 28th (the calendar's rule).
        QTest::newRow("common year window") << QDate(2023, 3, 1) << "02-28 03-01 03-02" << QStringList { "闰", "三一" };
        QTest::newRow("common year, 1 March only") << QDate(2023, 3, 1) << "03-01 03-02" << QStringList { "三一" };
        QTest::newRow("02-28 is not 02-29") << QDate(2024, 2, 28) << "02-28" << QStringList {};
    }

    void leapDay()
    {
        QFETCH(QDate, today);
        QFETCH(QString, tokens);
        QFETCH(QStringList, names);
        m_fixture->clock.set(QDateTime(today, QTime(8, 0)));
        QVERIFY(addEmployee(m_fixture->data(), QStringLiteral("闰"), QStringLiteral("2000-02-29"),
                            QStringLiteral("2010-01-01"))
                > 0);
        QVERIFY(addEmployee(m_fixture->data(), QStringLiteral("三一"), QStringLiteral("2000-03-01"),
                            QStringLiteral("2010-01-01"))
                > 0);
        QCOMPARE(namesOf(m_fixture->data().qry_month_day(tokens, QStringLiteral("90"))), names);
    }

    void agesOnTheNearestBirthday_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("birthday");
        QTest::addColumn<int>("age");
        QTest::newRow("today") << QDate(2024, 3, 5) << "1990-03-05" << 34;
        QTest::newRow("yesterday") << QDate(2024, 3, 5) << "1990-03-04" << 34;
        QTest::newRow("tomorrow") << QDate(2024, 3, 5) << "1990-03-06" << 34;
        QTest::newRow("31 Dec, 01-01 is next year's") << QDate(2024, 12, 31) << "2000-01-01" << 25;
        QTest::newRow("31 Dec, 12-30 is this year's") << QDate(2024, 12, 31) << "2000-12-30" << 24;
        QTest::newRow("1 Jan, 12-31 was last year's") << QDate(2025, 1, 1) << "2000-12-31" << 24;
        QTest::newRow("1 Jan, 01-02") << QDate(2025, 1, 1) << "2000-01-02" << 25;
        QTest::newRow("leap day in a leap year") << QDate(2024, 2, 29) << "2000-02-29" << 24;
        QTest::newRow("born today") << QDate(2024, 3, 5) << "2024-03-05" << 0;
    }

    void agesOnTheNearestBirthday()
    {
        QFETCH(QDate, today);
        QFETCH(QString, birthday);
        QFETCH(int, age);
        m_fixture->clock.set(QDateTime(today, QTime(23, 59, 59)));
        QVERIFY(addEmployee(m_fixture->data(), QStringLiteral("甲"), birthday, QStringLiteral("1990-01-01")) > 0);
        const QList<QSqlRecord> rows = m_fixture->data().qry_month_day(birthday.right(5), QStringLiteral("90"));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().value(QStringLiteral("age")).toInt(), age);
    }

    void monthQuery_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("month");
        QTest::addColumn<QString>("threshold");
        QTest::addColumn<QStringList>("rows"); // name:age, in order
        QTest::newRow("march") << QDate(2024, 3, 5) << "03"
                               << "90" << QStringList { "三月一:34", "三月二:44", "三月三:30" };
        QTest::newRow("one digit") << QDate(2024, 3, 5) << "3"
                                   << "90" << QStringList { "三月一:34", "三月二:44", "三月三:30" };
        QTest::newRow("threshold keeps the new one out") << QDate(2024, 3, 5) << "12"
                                                         << "90" << QStringList {};
        QTest::newRow("threshold 0") << QDate(2024, 3, 5) << "12"
                                     << "0" << QStringList { "十二月:0" };
        // On 31 December the coming June is nearer than the past one; the past July is nearer.
        QTest::newRow("june from 31 Dec") << QDate(2024, 12, 31) << "06"
                                          << "90" << QStringList { "六月:25" };
        QTest::newRow("july from 31 Dec") << QDate(2024, 12, 31) << "07"
                                          << "90" << QStringList { "七月:24" };
        QTest::newRow("no such month") << QDate(2024, 3, 5) << "13"
                                       << "0" << QStringList {};
        QTest::newRow("empty month") << QDate(2024, 3, 5) << ""
                                     << "0" << QStringList {};
    }

    void monthQuery()
    {
        QFETCH(QDate, today);
        QFETCH(QString, month);
        QFETCH(QString, threshold);
        QFETCH(QStringList, rows);
        m_fixture->clock.set(QDateTime(today, QTime(12, 0)));
        QVERIFY(addEmployee(m_fixture->data(), QStringLiteral("三月三"), QStringLiteral("1994-03-30"),
                            QStringLiteral("2010-01-01"))
                > 0);
        QVERIFY(addEmployee(m_fixture->data(), QStringLiteral("三月二"), QStringLiteral("1980-03-02"),
                            QStringLiteral("2015-01-01"))
                > 0);
        QVERIFY(addEmployee(m_fixture->data(), QStringLiteral("三月一"), QStringLiteral("1990-03-02"),
                            QStringLiteral("2010-01-01"))
                > 0);
        QVERIFY(addEmployee(m_fixture->data(), QStringLiteral("十二月"), QStringLiteral("2023-12-24"),
                            QStringLiteral("2024-03-05"))
                > 0);
        QVERIFY(addEmployee(m_fixture->data(), QStringLiteral("六月"), QStringLiteral("2000-06-15"),
                            QStringLiteral("2010-01-01"))
                > 0);
        QVERIFY(addEmployee(m_fixture->data(), QStringLiteral("七月"), QStringLiteral("2000-07-15"),
                            QStringLiteral("2010-01-01"))
                > 0);
        QStringList got;
        for (const QSqlRecord& row : m_fixture->data().qry_month(month, threshold)) {
            got << row.value(QStringLiteral("emp_name")).toString() + QLatin1Char(':')
                    + row.value(QStringLiteral("age")).toString();
        }
        QCOMPARE(got, rows);
    }

    void resultColumns()
    {
        QVERIFY(addEmployee(m_fixture->data(), QStringLiteral("甲"), QStringLiteral("1990-03-05"),
                            QStringLiteral("2020-01-02"), QStringLiteral("研发部"), QStringLiteral("备注"))
                > 0);
        const QList<QSqlRecord> rows = m_fixture->data().qry_month_day(QStringLiteral("03-05"), QStringLiteral("90"));
        QCOMPARE(rows.size(), 1);
        const QSqlRecord& row = rows.first();
        // The callers' columns first; the calendar's (id, lunar, celebrated) follow.
        QCOMPARE(row.count(), 8);
        QCOMPARE(row.fieldName(0), QStringLiteral("emp_name"));
        QCOMPARE(row.fieldName(4), QStringLiteral("age"));
        QCOMPARE(row.value(QStringLiteral("indate")).toString(), QStringLiteral("2020-01-02"));
        QCOMPARE(row.value(QStringLiteral("birthday")).toString(), QStringLiteral("1990-03-05"));
        QCOMPARE(row.value(QStringLiteral("dept")).toString(), QStringLiteral("研发部"));
        QCOMPARE(row.value(QStringLiteral("age")).toInt(), 34);
    }

    void namesAreFoundAsWritten_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("quote") << "O'Brien";
        QTest::newRow("quotes and SQL") << "x'); DROP TABLE birthday; --";
        QTest::newRow("SQL words") << "SELECT * FROM birthday WHERE 1=1 OR ''=''";
        QTest::newRow("execute text") << "execute qry_month '03','0'";
    }

    void namesAreFoundAsWritten()
    {
        QFETCH(QString, name);
        QVERIFY(addEmployee(m_fixture->data(), name, QStringLiteral("1990-03-05"), QStringLiteral("2020-01-01"), name)
                > 0);
        const QList<QSqlRecord> rows = m_fixture->data().qry_month_day(QStringLiteral("03-05"), QStringLiteral("90"));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().value(QStringLiteral("emp_name")).toString(), name);
        QCOMPARE(rows.first().value(QStringLiteral("dept")).toString(), name);
        QSqlQuery count(m_fixture->data().database());
        QVERIFY(count.exec(QStringLiteral("SELECT count(*) FROM birthday")) && count.next());
        QCOMPARE(count.value(0).toInt(), 1);
    }

    void sameBirthdayInJoiningOrder()
    {
        QVERIFY(addEmployee(m_fixture->data(), QStringLiteral("后"), QStringLiteral("1990-03-05"),
                            QStringLiteral("2021-01-01"))
                > 0);
        QVERIFY(addEmployee(m_fixture->data(), QStringLiteral("先"), QStringLiteral("1991-03-05"),
                            QStringLiteral("2020-01-01"))
                > 0);
        QVERIFY(addEmployee(m_fixture->data(), QStringLiteral("同日"), QStringLiteral("1992-03-05"),
                            QStringLiteral("2021-01-01"))
                > 0);
        QCOMPARE(namesOf(m_fixture->data().qry_month_day(QStringLiteral("03-05"), QStringLiteral("0"))),
                 (QStringList { "先", "后", "同日" }));
    }

    // The kept statements give exactly the records a forward-only QSqlQuery gives: field names,
    // tables, types and values, also for NULLs in the first row and for texts that are not UTF-8.
    void rowsAsTheDriverGivesThem_data()
    {
        QTest::addColumn<QString>("sql");
        const QString params = QStringLiteral(", :p1 AS a, :p2 AS b, 7 AS n, 2.5 AS r, NULL AS z");
        QTest::newRow("chinese") << "SELECT '张三，李四' AS v" + params;
        QTest::newRow("empty text") << "SELECT '' AS v" + params;
        QTest::newRow("null then text") << "SELECT v" + params
                + " FROM (SELECT NULL AS v UNION ALL SELECT 'x') ORDER BY v IS NOT NULL";
        QTest::newRow("text then null") << "SELECT v" + params
                + " FROM (SELECT NULL AS v UNION ALL SELECT 'x') ORDER BY v IS NULL";
        QTest::newRow("integer then text")
            << "SELECT v" + params + " FROM (SELECT 1 AS v UNION ALL SELECT 'x') ORDER BY typeof(v)";
        QTest::newRow("blob") << "SELECT x'00ff41' AS v" + params;
        QTest::newRow("not UTF-8") << "SELECT CAST(x'41ff42' AS TEXT) AS v" + params;
        QTest::newRow("overlong") << "SELECT CAST(x'c0af' AS TEXT) AS v" + params;
        QTest::newRow("surrogate") << "SELECT CAST(x'eda080' AS TEXT) AS v" + params;
        QTest::newRow("cut short") << "SELECT CAST(x'41e5bc' AS TEXT) AS v" + params;
        QTest::newRow("byte order mark") << "SELECT CAST(x'efbbbf41' AS TEXT) AS v" + params;
        QTest::newRow("replacement character") << QStringLiteral("SELECT '\uFFFD' AS v") + params;
        QTest::newRow("NUL inside") << "SELECT CAST(x'410042' AS TEXT) AS v" + params;
        QTest::newRow("table columns") << "SELECT emp_name, indate, birthday, dept, id" + params
                + " FROM birthday ORDER BY id";
    }

    void rowsAsTheDriverGivesThem()
    {
        QFETCH(QString, sql);
        TDM& data = m_fixture->data();
        QVERIFY(addEmployee(data, QStringLiteral("甲"), QStringLiteral("1990-03-05"), QString()) > 0);
        QVERIFY(addEmployee(data, QStringLiteral("乙"), QStringLiteral("1991-03-06"), QStringLiteral("2020-01-02"),
                            QStringLiteral("研发部"))
                > 0);
        QSqlQuery store(data.database());
        QVERIFY(store.prepare(QStringLiteral("INSERT INTO stored_query (name, sql) VALUES ('qry_probe', ?)")));
        store.addBindValue(sql);
        QVERIFY2(store.exec(), qPrintable(store.lastError().text()));
        const QStringList values { QStringLiteral("O'Neil"), QString() };
        const QList<QSqlRecord> expected = plainRows(data.database(), sql, values);
        QVERIFY(!expected.isEmpty());
        // The first call prepares, the second reuses.
        for (int call = 0; call < 2; ++call) {
            compareRows(data.execute(storedQueryCommandText(QStringLiteral("qry_probe"), values)), expected);
        }
    }

    void storedQueriesAsTheDriverGivesThem()
    {
        TDM& data = m_fixture->data();
        QVERIFY(addEmployee(data, QStringLiteral("无入职日"), QStringLiteral("1990-03-05"), QString()) > 0);
        QVERIFY(addEmployee(data, QStringLiteral("甲"), QStringLiteral("1991-03-05"), QStringLiteral("2020-01-02"),
                            QStringLiteral("研发部"))
                > 0);
        QVERIFY(addEmployee(data, QStringLiteral("乙"), QStringLiteral("1992-03-31"), QStringLiteral("2021-05-06"))
                > 0);
        for (const QString& name : { QStringLiteral("qry_month_day"), QStringLiteral("qry_month") }) {
            const QString p1 = name == u"qry_month" ? QStringLiteral("03") : QStringLiteral("03-05 03-31");
            for (const QString& threshold : { QStringLiteral("0"), QStringLiteral("90") }) {
                const QList<QSqlRecord> expected
                    = plainRows(data.database(), storedSql(data.database(), name), { p1, threshold });
                QVERIFY(!expected.isEmpty());
                compareRows(data.execute(TDM::storedQueryCommand(name, p1, threshold)), expected);
                compareRows(data.execute(TDM::storedQueryCommand(name, p1, threshold)), expected);
            }
        }
    }

    void changedStoredSqlIsFollowed()
    {
        TDM& data = m_fixture->data();
        QSqlQuery store(data.database());
        QVERIFY(
            store.exec(QStringLiteral("INSERT INTO stored_query (name, sql) VALUES ('qry_probe', 'SELECT :p1 AS v')")));
        QCOMPARE(data.execute(QStringLiteral("execute qry_probe 'a'")).first().value(0).toString(),
                 QStringLiteral("a"));
        QVERIFY(store.exec(
            QStringLiteral("UPDATE stored_query SET sql = 'SELECT :p1 || :p1 AS w' WHERE name = 'qry_probe'")));
        const QList<QSqlRecord> rows = data.execute(QStringLiteral("execute qry_probe 'a'"));
        QCOMPARE(rows.first().fieldName(0), QStringLiteral("w"));
        QCOMPARE(rows.first().value(0).toString(), QStringLiteral("aa"));
        QVERIFY(store.exec(QStringLiteral("DELETE FROM stored_query WHERE name = 'qry_probe'")));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, data.execute(QStringLiteral("execute qry_probe 'a'")));
    }

    void storedQueryTableMissing()
    {
        // Once with the table, so that the statements are kept when it goes.
        m_fixture->data().qry_month(QStringLiteral("03"), QStringLiteral("0"));
        QSqlQuery drop(m_fixture->data().database());
        QVERIFY(drop.exec(QStringLiteral("DROP TABLE stored_query")));
        try {
            m_fixture->data().qry_month(QStringLiteral("03"), QStringLiteral("0"));
            QFAIL("no error");
        } catch (const RuntimeError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("no such table: stored_query")),
                     qPrintable(error.message()));
        }
    }

private:
    static QString storedSql(const QSqlDatabase& db, const QString& name)
    {
        QSqlQuery query(db);
        query.prepare(QStringLiteral("SELECT sql FROM stored_query WHERE name = ?"));
        query.addBindValue(name);
        if (!query.exec() || !query.next()) {
            return QString();
        }
        return query.value(0).toString();
    }

    // The rows as a fresh forward-only QSqlQuery reads them.
    static QList<QSqlRecord> plainRows(const QSqlDatabase& db, const QString& sql, const QStringList& values)
    {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (!query.prepare(sql)) {
            qWarning("%s", qPrintable(query.lastError().text()));
            return {};
        }
        for (qsizetype i = 0; i < values.size(); ++i) {
            query.bindValue(QStringLiteral(":p%1").arg(i + 1), values.at(i));
        }
        QList<QSqlRecord> rows;
        if (query.exec()) {
            while (query.next()) {
                rows.append(query.record());
            }
        }
        return rows;
    }

    static void compareRows(const QList<QSqlRecord>& got, const QList<QSqlRecord>& expected)
    {
        QCOMPARE(got.size(), expected.size());
        for (qsizetype row = 0; row < got.size(); ++row) {
            QCOMPARE(got.at(row).count(), expected.at(row).count());
            for (int i = 0; i < got.at(row).count(); ++i) {
                const QSqlField a = got.at(row).field(i);
                const QSqlField b = expected.at(row).field(i);
                QCOMPARE(a.name(), b.name());
                QCOMPARE(a.tableName(), b.tableName());
                QCOMPARE(a.metaType(), b.metaType());
                QCOMPARE(a.typeID(), b.typeID());
                QCOMPARE(a.value().metaType(), b.value().metaType());
                QCOMPARE(a.value().isNull(), b.value().isNull());
                QCOMPARE(a.value(), b.value());
            }
            QVERIFY(got.at(row) == expected.at(row));
        }
    }

    static QStringList namesOf(const QList<QSqlRecord>& rows)
    {
        QStringList names;
        for (const QSqlRecord& row : rows) {
            names << row.value(QStringLiteral("emp_name")).toString();
        }
        return names;
    }

    std::unique_ptr<DataFixture> m_fixture;
};

QTEST_GUILESS_MAIN(TestStoredQueries)
#include "test_storedqueries.moc"
