// The stored queries on the calendar's days (lunar birthdays, 29 February), the anniversaries, and
// the upgrade of a draft.dat made before the calendar.
#include "calendar/anniversaries.h"
#include "calendar/birthdayrules.h"
#include "calendar/calendarsql.h"
#include "calendar/daymarks.h"
#include "common/runtimeerror.h"
#include "data/calendartables.h"
#include "data/tdm.h"
#include "datafixture.h"
#include "testdatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

namespace {

qint64 addPerson(QSqlDatabase db, const QString& name, const QString& birthday, bool lunar,
                 const QString& indate = QStringLiteral("2010-01-01"))
{
    const qint64 id = addEmployee(db, name, birthday, indate);
    if (id > 0 && lunar) {
        QSqlQuery query(db);
        query.exec(QStringLiteral("UPDATE birthday SET lunar = 1 WHERE id = %1").arg(id));
    }
    return id;
}

// "name:age@celebrated" for every row.
QStringList rowsOf(const QList<QSqlRecord>& rows)
{
    QStringList out;
    for (const QSqlRecord& row : rows) {
        out << QStringLiteral("%1:%2@%3")
                   .arg(row.value(QStringLiteral("emp_name")).toString(), row.value(QStringLiteral("age")).toString(),
                        row.value(QStringLiteral("celebrated")).toString());
    }
    return out;
}

// Every row of every table but the ones the calendar changes, with the schema.
QStringList dump(const QSqlDatabase& db, const QStringList& skip)
{
    QStringList lines;
    QSqlQuery schema(db);
    schema.exec(QStringLiteral("SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY type, name"));
    QStringList tables;
    while (schema.next()) {
        if (skip.contains(schema.value(2).toString())) {
            continue;
        }
        lines << schema.value(1).toString() + QStringLiteral(": ") + schema.value(3).toString();
        if (schema.value(0).toString() == QLatin1String("table")) {
            tables << schema.value(1).toString();
        }
    }
    for (const QString& table : tables) {
        QSqlQuery rows(db);
        rows.exec(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(table));
        while (rows.next()) {
            QStringList values;
            for (int i = 0; i < rows.record().count(); ++i) {
                values << rows.value(i).toString();
            }
            lines << table + QStringLiteral(": ") + values.join(QLatin1Char('|'));
        }
    }
    return lines;
}

// The roster rows of the columns an older file has.
QStringList roster(const QSqlDatabase& db)
{
    QStringList lines;
    QSqlQuery rows(db);
    rows.exec(QStringLiteral("SELECT id, emp_name, birthday, dept, remark1, indate, pinyin FROM birthday ORDER BY id"));
    while (rows.next()) {
        QStringList values;
        for (int i = 0; i < 7; ++i) {
            values << rows.value(i).toString();
        }
        lines << values.join(QLatin1Char('|'));
    }
    return lines;
}

const QString OldMonthDay = QStringLiteral(
    "SELECT emp_name, indate, birthday, dept, 30 AS age FROM birthday WHERE instr(:p1, substr(birthday, 6, 5)) > 0 "
    "AND :p2 IS NOT NULL");

// A draft.dat as the station made it before the calendar: no holiday table, no lunar column, the
// stored queries of schema 1.
void makeOlder(QSqlDatabase db)
{
    for (const QString& statement : { QStringLiteral("DROP TABLE holiday"), QStringLiteral("DROP INDEX birthday_lunar"),
                                      QStringLiteral("ALTER TABLE birthday DROP COLUMN lunar"),
                                      QStringLiteral("UPDATE stored_query SET sql = '%1' WHERE name = 'qry_month_day'")
                                          .arg(QString(OldMonthDay).replace(QLatin1Char('\''), QStringLiteral("''"))),
                                      QStringLiteral("PRAGMA user_version = 1") }) {
        QSqlQuery query(db);
        QVERIFY2(query.exec(statement), qPrintable(statement + QStringLiteral(": ") + query.lastError().text()));
    }
}

} // namespace

class TestCalendarQueries : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_fixture = std::make_unique<DataFixture>(QDateTime(QDate(2026, 9, 25), QTime(8, 0))); }
    void cleanup()
    {
        m_fixture.reset();
        BirthdayRules::setLeapDayRule(LeapDayRule::February28);
    }

    void dayWindow_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("tokens");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("中秋 2026") << QDate(2026, 9, 25) << "09-24 09-25 09-26"
                                   << QStringList { "公历:26@2026-09-24", "中秋:26@2026-09-25",
                                                    "老中秋:66@2026-09-25" };
        QTest::newRow("中秋 2025") << QDate(2025, 10, 6) << "10-06"
                                   << QStringList { "中秋:25@2025-10-06", "老中秋:65@2025-10-06" };
        QTest::newRow("the Gregorian day of birth is not a lunar one")
            << QDate(2026, 9, 12) << "09-12" << QStringList {};
        QTest::newRow("29 February in a common year")
            << QDate(2027, 2, 28) << "02-27 02-28 03-01" << QStringList { "闰日:27@2027-02-28" };
        QTest::newRow("29 February in a leap year")
            << QDate(2028, 2, 28) << "02-28 02-29 03-01" << QStringList { "闰日:28@2028-02-29" };
        // 冬月二十 twice in 2024: the token stands for the day nearest to today.
        QTest::newRow("late winter, January")
            << QDate(2024, 1, 1) << "01-01" << QStringList { "冬月:33@2024-01-01", "元旦:25@2024-01-01" };
        QTest::newRow("late winter, December")
            << QDate(2024, 12, 20) << "12-20" << QStringList { "冬月:34@2024-12-20" };
        QTest::newRow("year turn") << QDate(2024, 12, 31) << "12-30 12-31 01-01"
                                   << QStringList { "元旦:26@2025-01-01" };
    }

    void dayWindow()
    {
        QFETCH(QDate, today);
        QFETCH(QString, tokens);
        QFETCH(QStringList, rows);
        m_fixture->clock.set(QDateTime(today, QTime(8, 0)));
        QSqlDatabase db = m_fixture->data().database();
        QVERIFY(addPerson(db, QStringLiteral("中秋"), QStringLiteral("2000-09-12"), true) > 0);
        QVERIFY(addPerson(db, QStringLiteral("老中秋"), QStringLiteral("1960-10-05"), true) > 0);
        QVERIFY(addPerson(db, QStringLiteral("公历"), QStringLiteral("2000-09-24"), false) > 0);
        QVERIFY(addPerson(db, QStringLiteral("闰日"), QStringLiteral("2000-02-29"), false) > 0);
        QVERIFY(addPerson(db, QStringLiteral("冬月"), QStringLiteral("1991-01-05"), true) > 0);
        QVERIFY(addPerson(db, QStringLiteral("元旦"), QStringLiteral("1999-01-01"), false) > 0);
        QCOMPARE(rowsOf(m_fixture->data().qry_month_day(tokens, QStringLiteral("90"))), rows);
    }

    void leapDayRule_data()
    {
        QTest::addColumn<bool>("march1");
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("listed");
        QTest::newRow("rule 28, on 28") << false << "02-28" << true;
        QTest::newRow("rule 28, not on 1 March") << false << "03-01" << false;
        QTest::newRow("rule 1 March, on 1 March") << true << "03-01" << true;
        QTest::newRow("rule 1 March, not on 28") << true << "02-28" << false;
    }

    void leapDayRule()
    {
        QFETCH(bool, march1);
        QFETCH(QString, token);
        QFETCH(bool, listed);
        BirthdayRules::setLeapDayRule(march1 ? LeapDayRule::March1 : LeapDayRule::February28);
        m_fixture->clock.set(QDateTime(QDate(2027, 2, 20), QTime(8, 0)));
        QSqlDatabase db = m_fixture->data().database();
        QVERIFY(addPerson(db, QStringLiteral("闰日"), QStringLiteral("2000-02-29"), false) > 0);
        QCOMPARE(m_fixture->data().qry_month_day(token, QStringLiteral("0")).size(), listed ? 1 : 0);
        // The month view and the next-month list follow the same day.
        const QList<QSqlRecord> february = m_fixture->data().qry_month(QStringLiteral("02"), QStringLiteral("0"));
        const QList<QSqlRecord> march = m_fixture->data().qry_month(QStringLiteral("03"), QStringLiteral("0"));
        QCOMPARE(rowsOf(march1 ? march : february),
                 QStringList { QStringLiteral("闰日:27@")
                               + (march1 ? QStringLiteral("2027-03-01") : QStringLiteral("2027-02-28")) });
        QVERIFY((march1 ? february : march).isEmpty());
    }

    void monthQuery()
    {
        QSqlDatabase db = m_fixture->data().database();
        QVERIFY(addPerson(db, QStringLiteral("九月三十"), QStringLiteral("1990-09-30"), false) > 0);
        QVERIFY(addPerson(db, QStringLiteral("中秋"), QStringLiteral("2000-09-12"), true) > 0);
        QVERIFY(addPerson(db, QStringLiteral("九月一"), QStringLiteral("1995-09-01"), false) > 0);
        // Born in September (八月廿一), the lunar birthday falls in October in 2026.
        QVERIFY(addPerson(db, QStringLiteral("八月廿一"), QStringLiteral("2000-09-18"), true) > 0);
        QCOMPARE(rowsOf(m_fixture->data().qry_month(QStringLiteral("09"), QStringLiteral("90"))),
                 (QStringList { "九月一:31@2026-09-01", "中秋:26@2026-09-25", "九月三十:36@2026-09-30" }));
        QCOMPARE(rowsOf(m_fixture->data().qry_month(QStringLiteral("10"), QStringLiteral("90"))),
                 (QStringList { "八月廿一:26@2026-10-01" }));
        QVERIFY(m_fixture->data().qry_month(QStringLiteral("13"), QStringLiteral("0")).isEmpty());
    }

    void resultColumns()
    {
        QSqlDatabase db = m_fixture->data().database();
        const qint64 id = addPerson(db, QStringLiteral("中秋"), QStringLiteral("2000-09-12"), true);
        for (const QList<QSqlRecord>& rows :
             { m_fixture->data().qry_month_day(QStringLiteral("09-25"), QStringLiteral("90")),
               m_fixture->data().qry_month(QStringLiteral("09"), QStringLiteral("90")) }) {
            QCOMPARE(rows.size(), 1);
            const QSqlRecord& row = rows.first();
            QStringList names;
            for (int i = 0; i < row.count(); ++i) {
                names << row.fieldName(i);
            }
            QCOMPARE(names,
                     (QStringList { "emp_name", "indate", "birthday", "dept", "age", "id", "lunar", "celebrated" }));
            QCOMPARE(row.value(QStringLiteral("id")).toLongLong(), id);
            QCOMPARE(row.value(QStringLiteral("lunar")).toInt(), 1);
            QCOMPARE(row.value(QStringLiteral("birthday")).toString(), QStringLiteral("2000-09-12"));
        }
    }

    void anniversaries_data()
    {
        QTest::addColumn<QList<QDate>>("days");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("fifth and tenth") << QList<QDate> { QDate(2026, 10, 8) }
                                         << QStringList { "十年:10@2026-10-08", "五年:5@2026-10-08" };
        QTest::newRow("catch-up days first")
            << QList<QDate> { QDate(2026, 10, 7), QDate(2026, 10, 8) }
            << QStringList { "三年:3@2026-10-07", "十年:10@2026-10-08", "五年:5@2026-10-08" };
        QTest::newRow("29 February joined, common year")
            << QList<QDate> { QDate(2027, 2, 28) } << QStringList { "闰日入职:3@2027-02-28" };
        QTest::newRow("not a listed count") << QList<QDate> { QDate(2028, 10, 8) } << QStringList {};
    }

    void anniversaries()
    {
        QFETCH(QList<QDate>, days);
        QFETCH(QStringList, entries);
        QSqlDatabase db = m_fixture->data().database();
        QVERIFY(addPerson(db, QStringLiteral("五年"), QStringLiteral("1990-01-01"), false, QStringLiteral("2021-10-08"))
                > 0);
        QVERIFY(addPerson(db, QStringLiteral("十年"), QStringLiteral("1980-01-01"), false, QStringLiteral("2016-10-08"))
                > 0);
        QVERIFY(addPerson(db, QStringLiteral("三年"), QStringLiteral("1985-01-01"), false, QStringLiteral("2023-10-07"))
                > 0);
        QVERIFY(
            addPerson(db, QStringLiteral("闰日入职"), QStringLiteral("1985-01-01"), false, QStringLiteral("2024-02-29"))
            > 0);
        QVERIFY(
            addPerson(db, QStringLiteral("今年入职"), QStringLiteral("1985-01-01"), false, QStringLiteral("2026-10-08"))
            > 0);
        QStringList got;
        for (const AnniversaryEntry& entry : Anniversaries::on(db, days, { 1, 3, 5, 10, 15, 20, 25, 30 })) {
            got << QStringLiteral("%1:%2@%3").arg(entry.name).arg(entry.years).arg(entry.day.toString(Qt::ISODate));
        }
        QCOMPARE(got, entries);
    }

    // The station brings an older file up to date: the table, the column, the two stored queries and
    // user_version; everything else (the roster's values, the other tables) stays as it was.
    void olderFileIsUpgraded()
    {
        // The folder of the fixture that goes takes progdir() with it: it goes first.
        m_fixture.reset();
        m_fixture
            = std::make_unique<DataFixture>(QDateTime(QDate(2026, 9, 25), QTime(8, 0)), DataFixture::CreatedDatabase);
        QStringList before;
        QStringList rosterBefore;
        onDatabase(m_fixture->folder, [&](QSqlDatabase db) {
            QVERIFY(addEmployee(db, QStringLiteral("张三"), QStringLiteral("2000-09-12"), QStringLiteral("2010-01-01"),
                                QStringLiteral("研发部"), QStringLiteral("备注"))
                    > 0);
            makeOlder(db);
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral("INSERT INTO stored_query (name, sql) VALUES ('qry_mine', 'SELECT 1')")));
            before = dump(db, { QStringLiteral("birthday"), QStringLiteral("stored_query") });
            rosterBefore = roster(db);
            QVERIFY(CalendarTables::isOlder(db));
        });
        TDM tdm(m_fixture->services(), &registerCalendarFunctions);
        QVERIFY2(tdm.DataModuleCreate(), qPrintable(tdm.failure()));
        const QSqlDatabase db = tdm.database();
        QCOMPARE(CalendarTables::schemaVersion(db), CalendarTables::CurrentVersion);
        QVERIFY(!CalendarTables::isOlder(db));
        QVERIFY(CalendarTables::hasHolidayTable(db));
        QCOMPARE(dump(db, { QStringLiteral("birthday"), QStringLiteral("stored_query"), QStringLiteral("holiday") }),
                 before);
        QCOMPARE(roster(db), rosterBefore);
        QSqlQuery lunar(db);
        QVERIFY(lunar.exec(QStringLiteral("SELECT lunar FROM birthday")) && lunar.next());
        QCOMPARE(lunar.value(0).toInt(), 0);
        // The stored queries are draft.sql's; a query of the user's own stays.
        QSqlQuery queries(db);
        QVERIFY(queries.exec(QStringLiteral("SELECT name FROM stored_query ORDER BY name")));
        QStringList names;
        while (queries.next()) {
            names << queries.value(0).toString();
        }
        QCOMPARE(names, (QStringList { "qry_mine", "qry_month", "qry_month_day" }));
        // The upgraded file answers with the calendar's columns; ticking the box makes 中秋 count.
        QSqlQuery tick(db);
        QVERIFY(tick.exec(QStringLiteral("UPDATE birthday SET lunar = 1")));
        QCOMPARE(rowsOf(tdm.qry_month_day(QStringLiteral("09-25"), QStringLiteral("0"))),
                 QStringList { "张三:26@2026-09-25" });
        // A second start finds nothing to do.
        QVERIFY(!CalendarTables::upgrade(db));
    }

    void upgradeIsAllOrNothing()
    {
        // The folder of the fixture that goes takes progdir() with it: it goes first.
        m_fixture.reset();
        m_fixture
            = std::make_unique<DataFixture>(QDateTime(QDate(2026, 9, 25), QTime(8, 0)), DataFixture::CreatedDatabase);
        QStringList before;
        onDatabase(m_fixture->folder, [&](QSqlDatabase db) {
            QVERIFY(addEmployee(db, QStringLiteral("张三"), QStringLiteral("2000-09-12"), QStringLiteral("2010-01-01"))
                    > 0);
            makeOlder(db);
            QSqlQuery trigger(db);
            QVERIFY(trigger.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON stored_query "
                                                "BEGIN SELECT RAISE(ABORT, 'the disk refuses'); END")));
            before = dump(db, {});
        });
        {
            TDM tdm(m_fixture->services(), &registerCalendarFunctions);
            QVERIFY(tdm.DataModuleCreate());
            // The refusal is shown; the station goes on with the file as it was.
            const QStringList boxes = m_fixture->dialogs.takeTexts();
            QCOMPARE(boxes.size(), 1);
            QVERIFY2(boxes.first().contains(QStringLiteral("the disk refuses")), qPrintable(boxes.first()));
        }
        onDatabase(m_fixture->folder, [&](QSqlDatabase db) { QCOMPARE(dump(db, {}), before); });
    }

    void previewNeverMigrates()
    {
        // The folder of the fixture that goes takes progdir() with it: it goes first.
        m_fixture.reset();
        m_fixture
            = std::make_unique<DataFixture>(QDateTime(QDate(2026, 9, 25), QTime(8, 0)), DataFixture::CreatedDatabase);
        QStringList before;
        onDatabase(m_fixture->folder, [&](QSqlDatabase db) {
            QVERIFY(addEmployee(db, QStringLiteral("张三"), QStringLiteral("1990-09-25"), QStringLiteral("2010-01-01"))
                    > 0);
            makeOlder(db);
            before = dump(db, {});
        });
        {
            TDM tdm(m_fixture->services(), &registerCalendarFunctions);
            QVERIFY(tdm.openReadOnly());
            QVERIFY(CalendarTables::isOlder(tdm.database()));
            QVERIFY2(CalendarTables::olderFileNote(tdm.database()).contains(QStringLiteral("schema 1")),
                     qPrintable(CalendarTables::olderFileNote(tdm.database())));
            QVERIFY(DayMarks::read(tdm.database()).isEmpty());
            // The file's own queries answer, without the calendar's columns.
            const QList<QSqlRecord> rows = tdm.qry_month_day(QStringLiteral("09-25"), QStringLiteral("0"));
            QCOMPARE(rows.size(), 1);
            QCOMPARE(rows.first().indexOf(QStringLiteral("celebrated")), -1);
        }
        onDatabase(m_fixture->folder, [&](QSqlDatabase db) { QCOMPARE(dump(db, {}), before); });
    }

    void newerFileIsLeftAlone()
    {
        QSqlDatabase db = m_fixture->data().database();
        QSqlQuery query(db);
        QVERIFY(query.exec(QStringLiteral("PRAGMA user_version = 3")));
        QVERIFY(query.exec(QStringLiteral("UPDATE stored_query SET sql = 'SELECT 1 AS v' WHERE name = 'qry_month'")));
        QVERIFY(!CalendarTables::upgrade(db));
        QVERIFY(query.exec(QStringLiteral("SELECT sql FROM stored_query WHERE name = 'qry_month'")) && query.next());
        QCOMPARE(query.value(0).toString(), QStringLiteral("SELECT 1 AS v"));
    }

private:
    std::unique_ptr<DataFixture> m_fixture;
};

QTEST_MAIN(TestCalendarQueries)
#include "test_calendarqueries.moc"
