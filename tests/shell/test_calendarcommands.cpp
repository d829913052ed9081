// --holidays and --plan, and the previews of a day's announcement, on the program folder's calendar.
#include "calendar/birthdayrules.h"
#include "commandlinerun.h"
#include "common/inifile.h"
#include "data/tdm.h"
#include "datafixture.h"
#include "testdatabase.h"

#include <QProcess>
#include <QSqlQuery>
#include <QTest>

namespace {

// 国庆 2026 as a company might publish it: 1 to 8 October off, Sunday 27 September and Sunday 11
// October worked; 中秋 is only a festival here.
const QByteArray GuoQing2026
    = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Kelvora tests//CN\r\n"
      "BEGIN:VEVENT\r\nUID:1\r\nDTSTART;VALUE=DATE:20261001\r\nDTEND;VALUE=DATE:20261009\r\n"
      "SUMMARY:国庆节 休\r\nEND:VEVENT\r\n"
      "BEGIN:VEVENT\r\nUID:2\r\nDTSTART;VALUE=DATE:20260927\r\nSUMMARY:国庆节调休（班）\r\n"
      "END:VEVENT\r\n"
      "BEGIN:VEVENT\r\nUID:3\r\nDTSTART;VALUE=DATE:20261011\r\nSUMMARY:国庆补班\r\nEND:VEVENT\r\n"
      "BEGIN:VEVENT\r\nUID:4\r\nDTSTART;VALUE=DATE:20260925\r\nSUMMARY:中秋节\r\nEND:VEVENT\r\n"
      "BEGIN:VEVENT\r\nUID:5\r\nSUMMARY:调休（无日期）\r\nEND:VEVENT\r\n"
      "END:VCALENDAR\r\n";

QStringList lines(const QString& text)
{
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TestCalendarCommands final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<DataFixture> m_fixture;

    QSqlDatabase db() const { return m_fixture->data().database(); }

    int markedDays() const
    {
        QSqlQuery query(db());
        return query.exec(QStringLiteral("SELECT count(*) FROM holiday")) && query.next() ? query.value(0).toInt() : -1;
    }

    QString file(const QString& name, const QByteArray& bytes)
    {
        m_fixture->folder.write(name, bytes);
        return m_fixture->folder.file(name);
    }

    void addPeople()
    {
        QVERIFY(addEmployee(db(), QStringLiteral("张三"), QStringLiteral("1990-10-02"), QStringLiteral("2015-03-01"))
                > 0);
        QVERIFY(addEmployee(db(), QStringLiteral("王五"), QStringLiteral("1985-10-04"), QStringLiteral("2021-03-01"))
                > 0);
        QVERIFY(addEmployee(db(), QStringLiteral("周八"), QStringLiteral("1995-02-01"), QStringLiteral("2016-10-09"))
                > 0);
        QVERIFY(addEmployee(db(), QStringLiteral("孙七"), QStringLiteral("2000-09-12"), QStringLiteral("2020-01-01"))
                > 0);
        QVERIFY(addEmployee(db(), QStringLiteral("赵六"), QStringLiteral("2000-02-29"), QStringLiteral("2019-01-01"))
                > 0);
        QSqlQuery lunar(db());
        QVERIFY(lunar.exec(QStringLiteral("UPDATE birthday SET lunar = 1 WHERE emp_name = '孙七'")));
    }

private slots:
    void init()
    {
        m_fixture = std::make_unique<DataFixture>(QDateTime(QDate(2026, 9, 1), QTime(8, 0)));
        addPeople();
        IniFile(IniFile::defaultPath()).writeBool(QStringLiteral("Calendar"), QStringLiteral("Anniversary"), true);
    }
    void cleanup()
    {
        m_fixture.reset();
        BirthdayRules::setLeapDayRule(LeapDayRule::February28);
    }

    void holidaysDryRunThenForReal()
    {
        const QString ics = file(QStringLiteral("guoqing.ics"), GuoQing2026);
        CommandLineRun run = runCommandLine({ QStringLiteral("--holidays"), ics, QStringLiteral("--dry-run") });
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.startsWith(QStringLiteral("试导入，日历未改动：新增 10 天，更改 0 天，未变 0 天。")),
                 qPrintable(run.out));
        QVERIFY2(run.err.contains(QStringLiteral("没有开始日期")), qPrintable(run.err));
        QCOMPARE(markedDays(), 0);

        run = runCommandLine({ QStringLiteral("--holidays"), ics });
        QCOMPARE(run.code, 0);
        const QStringList out = lines(run.out);
        QCOMPARE(out.first(), QStringLiteral("导入完成：新增 10 天，更改 0 天，未变 0 天。"));
        QVERIFY(out.contains(QStringLiteral("2026-09-27 星期日 班 国庆节调休（新增）")));
        QVERIFY(out.contains(QStringLiteral("2026-10-08 星期四 休 国庆节（新增）")));
        QCOMPARE(markedDays(), 10);

        run = runCommandLine({ QStringLiteral("--holidays"), ics });
        QCOMPARE(run.code, 0);
        QCOMPARE(lines(run.out).first(), QStringLiteral("导入完成：新增 0 天，更改 0 天，未变 10 天。"));
    }

    void holidaysRefusesBadFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("not iCalendar") << QByteArray("\x89PNG\r\n\x1a\n") << "不是 iCalendar";
        QTest::newRow("a day both kinds") << QByteArray(
            "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20261001\r\nDTEND;VALUE=DATE:20261003\r\n"
            "SUMMARY:休\r\nEND:VEVENT\r\nBEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20261002\r\nSUMMARY:补班\r\n"
            "END:VEVENT\r\nEND:VCALENDAR\r\n")
                                          << "both 休 and 班";
        QTest::newRow("nothing marked") << QByteArray("BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n") << "nothing imported";
    }

    void holidaysRefusesBadFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        const CommandLineRun run
            = runCommandLine({ QStringLiteral("--holidays"), file(QStringLiteral("x.ics"), bytes) });
        QCOMPARE(run.code, 1);
        QVERIFY(run.out.isEmpty());
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(markedDays(), 0);
    }

    void parses_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plan") << QStringList { "--plan", "2026-10" } << true;
        QTest::newRow("plan=") << QStringList { "--plan=2027-02" } << true;
        QTest::newRow("plan without month") << QStringList { "--plan" } << false;
        QTest::newRow("plan, a day") << QStringList { "--plan", "2026-10-01" } << false;
        QTest::newRow("plan, month 13") << QStringList { "--plan", "2026-13" } << false;
        QTest::newRow("plan with --dry-run") << QStringList { "--plan", "2026-10", "--dry-run" } << false;
        QTest::newRow("holidays") << QStringList { "--holidays", "a.ics" } << true;
        QTest::newRow("holidays dry run") << QStringList { "--dry-run", "--holidays", "a.ics" } << true;
        QTest::newRow("holidays with --update") << QStringList { "--holidays", "a.ics", "--update" } << false;
        QTest::newRow("holidays and plan") << QStringList { "--holidays", "a.ics", "--plan", "2026-10" } << false;
    }

    void parses()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, valid);
        const CommandLineRun run = runCommandLine(arguments);
        if (valid) {
            QVERIFY2(run.code != 2, qPrintable(run.err));
        } else {
            QCOMPARE(run.code, 2);
        }
    }

    // The month a Chinese company expects: 国庆 off, the working Sunday broadcasts, the people of the
    // holiday greeted on the first day back, the lunar birthday on 中秋.
    void planOfAMonthWithAHoliday()
    {
        QCOMPARE(runCommandLine({ QStringLiteral("--holidays"), file(QStringLiteral("g.ics"), GuoQing2026) }).code, 0);
        const CommandLineRun run = runCommandLine({ QStringLiteral("--plan"), QStringLiteral("2026-10") });
        QCOMPARE(run.code, 0);
        const QStringList days = lines(run.out);
        QCOMPARE(days.size(), 31);
        for (int i = 0; i < days.size(); ++i) {
            QVERIFY(days.at(i).startsWith(QDate(2026, 10, i + 1).toString(Qt::ISODate) + QLatin1Char(' ')));
        }
        QCOMPARE(days.at(0), QStringLiteral("2026-10-01 星期四 不播报（休息日 国庆节）"));
        QCOMPARE(days.at(1),
                 QStringLiteral("2026-10-02 星期五 不播报（休息日 国庆节）  生日：张三（36岁，10-09补祝）"));
        QCOMPARE(days.at(3),
                 QStringLiteral("2026-10-04 星期日 不播报（休息日 国庆节）  生日：王五（41岁，10-09补祝）"));
        QCOMPARE(days.at(8),
                 QStringLiteral("2026-10-09 星期五 播报  补祝：张三（10-02）、王五（10-04）；"
                                "入职周年：周八（10年）"));
        QCOMPARE(days.at(9), QStringLiteral("2026-10-10 星期六 播报"));
        QCOMPARE(days.at(10), QStringLiteral("2026-10-11 星期日 播报（调休上班日 国庆补班）"));
        QCOMPARE(days.at(17), QStringLiteral("2026-10-18 星期日 不播报（星期日不播报）"));

        const QStringList september
            = lines(runCommandLine({ QStringLiteral("--plan"), QStringLiteral("2026-09") }).out);
        QCOMPARE(september.size(), 30);
        QCOMPARE(september.at(24), QStringLiteral("2026-09-25 星期五 播报  农历生日：孙七（农历八月十五，26岁）"));
        QCOMPARE(september.at(26), QStringLiteral("2026-09-27 星期日 播报（调休上班日 国庆节调休）"));
        QCOMPARE(markedDays(), 10); // the plan only reads
    }

    void planOfFebruary_data()
    {
        QTest::addColumn<QString>("month");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("line");
        QTest::newRow("common year")
            << "2027-02" << 27 << "2027-02-28 星期日 不播报（星期日不播报）  生日：赵六（2月29日生，27岁，03-01补祝）";
        QTest::newRow("leap year") << "2028-02" << 28 << "2028-02-29 星期二 播报  生日：赵六（28岁）";
    }

    void planOfFebruary()
    {
        QFETCH(QString, month);
        QFETCH(int, index);
        QFETCH(QString, line);
        const QStringList days = lines(runCommandLine({ QStringLiteral("--plan"), month }).out);
        QCOMPARE(days.at(index), line);
    }

    void announcementGreetsOnTheRightDay_data()
    {
        QTest::addColumn<QString>("day");
        QTest::addColumn<QString>("part"); // empty: nobody to greet
        QTest::newRow("中秋 2026, lunar") << "2026-09-25"
                                          << "孙七生日，";
        QTest::newRow("the Gregorian day of birth") << "2026-09-12"
                                                    << "";
        QTest::newRow("中秋 2027") << "2027-09-15"
                                   << "孙七生日，";
        QTest::newRow("first day back") << "2026-10-09"
                                        << "前几天过生日的同事有：张三、王五，我们也祝他们生日快乐！";
        QTest::newRow("anniversary") << "2026-10-09"
                                     << "今天也是周八加入公司10周年的日子，感谢一路同行！";
        QTest::newRow("a day off greets nobody") << "2026-10-02"
                                                 << "";
    }

    void announcementGreetsOnTheRightDay()
    {
        QFETCH(QString, day);
        QFETCH(QString, part);
        QCOMPARE(runCommandLine({ QStringLiteral("--holidays"), file(QStringLiteral("g.ics"), GuoQing2026) }).code, 0);
        // A day off composes its own people as a start-up would (the station only does not broadcast
        // it); the catch-up greets them again on the next broadcast day. Tested here: the day after.
        const CommandLineRun run = runCommandLine({ QStringLiteral("--announcement"), QStringLiteral("--date"), day });
        QCOMPARE(run.code, 0);
        if (part.isEmpty()) {
            QVERIFY2(!run.out.contains(QStringLiteral("孙七")) && !run.out.contains(QStringLiteral("前几天")),
                     qPrintable(run.out));
        } else {
            QVERIFY2(run.out.contains(part), qPrintable(run.out));
        }
    }

    void catchUpCanBeSwitchedOff()
    {
        QCOMPARE(runCommandLine({ QStringLiteral("--holidays"), file(QStringLiteral("g.ics"), GuoQing2026) }).code, 0);
        IniFile(IniFile::defaultPath()).writeBool(QStringLiteral("Calendar"), QStringLiteral("CatchUp"), false);
        const CommandLineRun run = runCommandLine(
            { QStringLiteral("--announcement"), QStringLiteral("--date"), QStringLiteral("2026-10-09") });
        QVERIFY2(!run.out.contains(QStringLiteral("前几天")), qPrintable(run.out));
        const QStringList days = lines(runCommandLine({ QStringLiteral("--plan"), QStringLiteral("2026-10") }).out);
        QCOMPARE(days.at(1), QStringLiteral("2026-10-02 星期五 不播报（休息日 国庆节）  生日：张三（36岁，不播报）"));
    }

    void leapDayRuleFromTheSettings()
    {
        IniFile(IniFile::defaultPath())
            .writeString(QStringLiteral("Calendar"), QStringLiteral("LeapDay"), QStringLiteral("03-01"));
        const QStringList days = lines(runCommandLine({ QStringLiteral("--plan"), QStringLiteral("2027-03") }).out);
        QCOMPARE(days.at(0), QStringLiteral("2027-03-01 星期一 播报  生日：赵六（2月29日生，27岁）"));
        const CommandLineRun run = runCommandLine(
            { QStringLiteral("--announcement"), QStringLiteral("--date"), QStringLiteral("2027-02-28") });
        QVERIFY2(!run.out.contains(QStringLiteral("赵六生日")), qPrintable(run.out));
    }

    // A draft.dat made before the calendar: the previews say so and read it as it is; nothing changes.
    void olderFileIsOnlyRead()
    {
        QSqlQuery query(db());
        // Its stored queries match by month and day alone, as those of schema 1 did.
        for (const char* statement :
             { "DROP TABLE holiday", "DROP INDEX birthday_lunar", "ALTER TABLE birthday DROP COLUMN lunar",
               "UPDATE stored_query SET sql = 'SELECT emp_name, indate, birthday, dept, 30 AS age FROM birthday "
               "WHERE instr(:p1, substr(birthday, 6, 5)) > 0 AND :p2 IS NOT NULL'",
               "PRAGMA user_version = 1" }) {
            QVERIFY2(query.exec(QString::fromLatin1(statement)), statement);
        }
        for (const QStringList& arguments : { QStringList { QStringLiteral("--plan"), QStringLiteral("2026-10") },
                                              QStringList { QStringLiteral("--announcement"), QStringLiteral("--date"),
                                                            QStringLiteral("2026-10-02") } }) {
            const CommandLineRun run = runCommandLine(arguments);
            QVERIFY2(run.code == 0, qPrintable(run.err));
            QVERIFY2(run.err.contains(QStringLiteral("older than this station (schema 1, now 2)")),
                     qPrintable(run.err));
        }
        QVERIFY(query.exec(QStringLiteral("PRAGMA user_version")) && query.next());
        QCOMPARE(query.value(0).toInt(), 1);
        QVERIFY(!db().tables().contains(QStringLiteral("holiday")));
    }

    // The built program in a folder of its own, as an operator runs it: a hand-made calendar of 春节
    // 2027 with a working Saturday, then the month ahead.
    void realProgramPlansFebruary()
    {
        TestFolder folder;
        createTestDatabase(folder);
        QVERIFY(QFile::copy(QStringLiteral(KELVORA_BINARY), folder.file(QStringLiteral("kelvora"))));
        onDatabase(folder, [](QSqlDatabase db) {
            QVERIFY(
                addEmployee(db, QStringLiteral("除夕生"), QStringLiteral("1995-01-30"), QStringLiteral("2015-01-01"))
                > 0);
            QSqlQuery lunar(db);
            QVERIFY(lunar.exec(QStringLiteral("UPDATE birthday SET lunar = 1")));
        });
        folder.write(QStringLiteral("chunjie.ics"),
                     "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n"
                     "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20270205\r\nDTEND;VALUE=DATE:20270213\r\nSUMMARY:春节 休\r\n"
                     "END:VEVENT\r\nBEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20270214\r\nSUMMARY:春节补班\r\nEND:VEVENT\r\n"
                     "END:VCALENDAR\r\n");
        const auto kelvora = [&](const QStringList& arguments) {
            QProcess process;
            process.start(folder.file(QStringLiteral("kelvora")), arguments);
            if (!process.waitForFinished(60000)) {
                return QStringList { process.errorString() };
            }
            return lines(QString::fromUtf8(process.readAllStandardOutput()));
        };
        QCOMPARE(kelvora({ QStringLiteral("--holidays"), folder.file(QStringLiteral("chunjie.ics")) }).first(),
                 QStringLiteral("导入完成：新增 9 天，更改 0 天，未变 0 天。"));
        const QStringList days = kelvora({ QStringLiteral("--plan"), QStringLiteral("2027-02") });
        QCOMPARE(days.size(), 28);
        // 1995-01-30 is 腊月三十; 腊月 of lunar 2026 has 29 days, so its 29th (5 February 2027).
        QCOMPARE(days.at(4),
                 QStringLiteral(
                     "2027-02-05 星期五 不播报（休息日 春节）  农历生日：除夕生（农历腊月三十，32岁，02-13补祝）"));
        QCOMPARE(days.at(12), QStringLiteral("2027-02-13 星期六 播报  补祝：除夕生（02-05）"));
        QCOMPARE(days.at(13), QStringLiteral("2027-02-14 星期日 播报（调休上班日 春节补班）"));
    }
};

QTEST_MAIN(TestCalendarCommands)
#include "test_calendarcommands.moc"
