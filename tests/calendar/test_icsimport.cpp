// Reading holiday calendars (.ics) and writing their days, all of them or none.
#include "calendar/icsimport.h"
#include "common/runtimeerror.h"
#include "data/tdm.h"
#include "datafixture.h"
#include "testdatabase.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringEncoder>
#include <QTest>

namespace {

QByteArray calendar(const QByteArray& events)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Kelvora tests//CN\r\n" + events + "END:VCALENDAR\r\n";
}

QByteArray allDay(const QByteArray& start, const QByteArray& end, const QString& summary)
{
    QByteArray event = "BEGIN:VEVENT\r\nUID:" + start + summary.toUtf8().toHex().left(8) + "@test\r\n";
    if (!start.isEmpty()) {
        event += "DTSTART;VALUE=DATE:" + start + "\r\n";
    }
    if (!end.isEmpty()) {
        event += "DTEND;VALUE=DATE:" + end + "\r\n";
    }
    return event + "SUMMARY:" + summary.toUtf8() + "\r\nEND:VEVENT\r\n";
}

QStringList describe(const QList<DayMark>& marks)
{
    QStringList lines;
    for (const DayMark& mark : marks) {
        lines << mark.day.toString(Qt::ISODate) + QLatin1Char(' ') + DayMark::kindText(mark.kind) + QLatin1Char(' ')
                + mark.name;
    }
    return lines;
}

} // namespace

class TestIcsImport : public QObject
{
    Q_OBJECT

private slots:
    // A public holiday calendar as calendar programs subscribe to it: both kinds, festivals that are
    // neither, a timed event, and broken events.
    void bothKindsAndBrokenEvents()
    {
        const QByteArray ics = calendar(
            allDay("20261001", "20261008", QStringLiteral("国庆节 休")) // seven days, DTEND not included
            + allDay("20260927", "", QStringLiteral("国庆节调休 上班")) // one day without DTEND
            + allDay("20261010", "", QStringLiteral("国庆补班")) + allDay("20260925", "", QStringLiteral("中秋节"))
            + allDay("20260301", "", QStringLiteral("元宵"))
            + "BEGIN:VEVENT\r\nUID:timed@test\r\nDTSTART:20261020T090000Z\r\nDTEND:20261020T100000Z\r\n"
              "SUMMARY:放假安排说明会\r\nEND:VEVENT\r\n"
            + allDay("", "", QStringLiteral("清明节 假")) + allDay("20261101", "20261030", QStringLiteral("倒着的假期"))
            + "BEGIN:VEVENT\r\nUID:duration@test\r\nDTSTART;VALUE=DATE:20260501\r\nDURATION:P3D\r\n"
              "SUMMARY:劳动节（休）\r\nEND:VEVENT\r\n");
        const IcsReading reading = IcsImport::parse(ics);
        QCOMPARE(reading.events, 9);
        QCOMPARE(reading.ignored, 3); // 中秋节, 元宵, the timed event
        QCOMPARE(reading.problems.size(), 2);
        QVERIFY2(reading.problems.at(0).contains(QStringLiteral("清明节"))
                     && reading.problems.at(0).contains(QStringLiteral("没有开始日期")),
                 qPrintable(reading.problems.at(0)));
        QVERIFY2(reading.problems.at(1).contains(QStringLiteral("不在开始日期")), qPrintable(reading.problems.at(1)));
        QVERIFY(reading.conflicts.isEmpty());
        QCOMPARE(describe(reading.marks),
                 (QStringList { "2026-05-01 休 劳动节", "2026-05-02 休 劳动节", "2026-05-03 休 劳动节",
                                "2026-09-27 班 国庆节调休 上班", "2026-10-01 休 国庆节", "2026-10-02 休 国庆节",
                                "2026-10-03 休 国庆节", "2026-10-04 休 国庆节", "2026-10-05 休 国庆节",
                                "2026-10-06 休 国庆节", "2026-10-07 休 国庆节", "2026-10-10 班 国庆补班" }));
    }

    void kinds_data()
    {
        QTest::addColumn<QString>("summary");
        QTest::addColumn<int>("kind"); // -1 none, 0 day off, 1 working day
        QTest::addColumn<QString>("name");
        QTest::newRow("休") << "春节（休）" << 0 << "春节";
        QTest::newRow("假") << "国庆假期" << 0 << "国庆假期";
        QTest::newRow("trailing 休") << "元旦 休" << 0 << "元旦";
        QTest::newRow("补班") << "春节补班" << 1 << "春节补班";
        QTest::newRow("上班") << "上班" << 1 << "上班";
        QTest::newRow("班 wins") << "假期调休上班" << 1 << "假期调休上班";
        QTest::newRow("bracketed 班") << "劳动节 [班]" << 1 << "劳动节";
        QTest::newRow("festival") << "七夕" << -1 << "七夕";
    }

    void kinds()
    {
        QFETCH(QString, summary);
        QFETCH(int, kind);
        QFETCH(QString, name);
        const std::optional<DayMark::Kind> found = IcsImport::kindOf(summary);
        QCOMPARE(found ? int(*found) : -1, kind);
        QCOMPARE(IcsImport::nameOf(summary), name);
    }

    void notICalendar_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("这不是日历\n");
        QTest::newRow("random bytes") << QByteArray::fromHex("00ff13a0ffffe1c3005500aa");
        QTest::newRow("an HTML page") << QByteArray("<html><body>BEGIN:VEVENT</body></html>");
        QTest::newRow("a vCard") << QByteArray("BEGIN:VCARD\r\nFN:张三\r\nEND:VCARD\r\n");
    }

    void notICalendar()
    {
        QFETCH(QByteArray, bytes);
        QVERIFY_THROWS_EXCEPTION(RuntimeError, IcsImport::parse(bytes));
    }

    void fileProblems()
    {
        QTemporaryDir dir;
        QVERIFY_THROWS_EXCEPTION(RuntimeError, IcsImport::read(dir.filePath(QStringLiteral("missing.ics"))));
        QFile big(dir.filePath(QStringLiteral("big.ics")));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(IcsImport::MaxFileBytes + 1));
        big.close();
        try {
            IcsImport::read(big.fileName());
            QFAIL("a file that large was read");
        } catch (const RuntimeError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("太大")), qPrintable(error.message()));
        }
    }

    // Calendars saved by Chinese Windows programs are often GB18030.
    void gb18030File()
    {
        QStringEncoder gb18030("GB18030");
        const QString text = QString::fromUtf8(calendar(allDay("20270101", "", QStringLiteral("元旦 休"))));
        const IcsReading reading = IcsImport::parse(gb18030(text));
        QCOMPARE(describe(reading.marks), QStringList { "2027-01-01 休 元旦" });
    }

    // A file that marks a day both 休 and 班 cannot be followed: that day is named and not taken.
    void dayBothOffAndWorking()
    {
        const IcsReading reading = IcsImport::parse(calendar(allDay("20261001", "20261004", QStringLiteral("国庆节 休"))
                                                             + allDay("20261002", "", QStringLiteral("补班"))));
        QCOMPARE(reading.conflicts.size(), 1);
        QVERIFY2(reading.conflicts.first().startsWith(QStringLiteral("2026-10-02")),
                 qPrintable(reading.conflicts.first()));
        QCOMPARE(describe(reading.marks), (QStringList { "2026-10-01 休 国庆节", "2026-10-03 休 国庆节" }));
    }

    void eventLongerThanAYear()
    {
        const IcsReading reading = IcsImport::parse(calendar(allDay("20260101", "20280101", QStringLiteral("长假"))));
        QVERIFY(reading.marks.isEmpty());
        QCOMPARE(reading.problems.size(), 1);
    }

    void thousandsOfEvents()
    {
        QByteArray events;
        QDate day(2001, 1, 1);
        for (int i = 0; i < 5000; ++i, day = day.addDays(1)) {
            events += allDay(day.toString(QStringLiteral("yyyyMMdd")).toLatin1(), "",
                             i % 3 == 0 ? QStringLiteral("补班") : QStringLiteral("休假"));
        }
        QElapsedTimer timer;
        timer.start();
        const IcsReading reading = IcsImport::parse(calendar(events));
        QCOMPARE(reading.events, 5000);
        QCOMPARE(reading.marks.size(), 5000);
        QCOMPARE(reading.marks.first().kind, DayMark::Kind::WorkingDay);
        QCOMPARE(reading.marks.at(1).kind, DayMark::Kind::DayOff);

        // The preview and the write of all of them, against a calendar that already holds some.
        DataFixture fixture(QDateTime(QDate(2026, 1, 5), QTime(9, 0)));
        QSqlDatabase db = fixture.data().database();
        HolidayStore::write(db,
                            { { QDate(2001, 1, 1), DayMark::Kind::WorkingDay, QStringLiteral("补班") },
                              { QDate(2001, 1, 2), DayMark::Kind::WorkingDay, QStringLiteral("旧") } });
        const HolidayPlan plan = HolidayPlan::of(DayMarks::read(db), reading);
        QCOMPARE(plan.unchanged, 1);
        QCOMPARE(plan.changed(), 1);
        QCOMPARE(plan.added(), 4998);
        QCOMPARE(plan.lines().at(0), QStringLiteral("2001-01-02 星期二 休 休假（原为 班 旧）"));
        HolidayStore::write(db, plan.marks());
        QCOMPARE(DayMarks::read(db).size(), 5000);
    }

    void writeIsAllOrNothing()
    {
        DataFixture fixture(QDateTime(QDate(2026, 1, 5), QTime(9, 0)));
        QSqlDatabase db = fixture.data().database();
        HolidayStore::write(db, { { QDate(2026, 1, 1), DayMark::Kind::DayOff, QStringLiteral("元旦") } });
        // The database refuses one day of the batch: none of the batch stays, the old day stays.
        QSqlQuery trigger(db);
        QVERIFY2(trigger.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON holiday WHEN NEW.day = "
                                             "'2026-10-05' BEGIN SELECT RAISE(ABORT, 'disk says no'); END")),
                 qPrintable(trigger.lastError().text()));
        QList<DayMark> week;
        for (QDate day(2026, 10, 1); day <= QDate(2026, 10, 7); day = day.addDays(1)) {
            week.append({ day, DayMark::Kind::DayOff, QString() });
        }
        try {
            HolidayStore::write(db, week, { QDate(2026, 1, 1) });
            QFAIL("the write went through");
        } catch (const RuntimeError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("disk says no")), qPrintable(error.message()));
        }
        QCOMPARE(describe(DayMarks::read(db).all()), QStringList { "2026-01-01 休 元旦" });
        // A day without a name is stored with an empty one.
        QVERIFY(trigger.exec(QStringLiteral("DROP TRIGGER refuse")));
        HolidayStore::write(db, week);
        QCOMPARE(DayMarks::read(db).size(), 8);
        QCOMPARE(DayMarks::read(db).find(QDate(2026, 10, 3))->name, QString(""));
    }
};

QTEST_MAIN(TestIcsImport)
#include "test_icsimport.moc"
