#include "birthdays/birthdaylist.h"
#include "birthdays/exportwriters.h"
#include "commandlinerun.h"
#include "data/tdm.h"
#include "datafixture.h"
#include "shell/commandline.h"
#include "shell/station.h"
#include "shell/tf_speaker.h"
#include "testdatabase.h"
#include "ui_tf_speaker.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

namespace {

using Outcome = CommandLineRun;

const QByteArray People = "姓名,生日,入职,部门\n"
                          "张三,1990-03-14,2020-01-05,生产部\n"
                          "王五,1990-02-30,2000-01-01,\n"
                          "李四,1988-07-08,2021-06-01,财务部\n";

} // namespace

// --export and --import on the program folder's draft.dat, also while a station runs on it.
class TestRosterCommands final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<DataFixture> m_fixture;

    // On the fixture's clock.
    Outcome run(const QStringList& arguments, Clock* clock = nullptr)
    {
        return runCommandLine(arguments, clock ? clock : (m_fixture ? &m_fixture->clock : nullptr));
    }

    QSqlDatabase db() const { return m_fixture->data().database(); }

    int count() const
    {
        QSqlQuery query(db());
        return query.exec(QStringLiteral("SELECT count(*) FROM birthday")) && query.next() ? query.value(0).toInt()
                                                                                           : -1;
    }

    QString file(const QString& name, const QByteArray& bytes)
    {
        m_fixture->folder.write(name, bytes);
        return m_fixture->folder.file(name);
    }

private slots:
    void init() { m_fixture = std::make_unique<DataFixture>(QDateTime(QDate(2024, 3, 14), QTime(8, 0))); }
    void cleanup() { m_fixture.reset(); }

    void parses_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("update");
        QTest::addColumn<bool>("dryRun");
        using C = CommandLine::Command;
        QTest::newRow("export by suffix")
            << QStringList { "--export", "a/b.XLSX" } << int(C::Export) << int(ExportFormat::Xlsx) << false << false;
        QTest::newRow("export, format given") << QStringList { "--export=b.csv", "--format", "csv-utf8" }
                                              << int(C::Export) << int(ExportFormat::CsvUtf8) << false << false;
        QTest::newRow("export, format before") << QStringList { "--format=rtf", "--export", "b.txt" } << int(C::Export)
                                               << int(ExportFormat::Rtf) << false << false;
        QTest::newRow("import") << QStringList { "--import", "x.csv" } << int(C::Import) << int(ExportFormat::Xls)
                                << false << false;
        QTest::newRow("import, update, dry run") << QStringList { "--dry-run", "--import", "x.xls", "--update" }
                                                 << int(C::Import) << int(ExportFormat::Xls) << true << true;
        QTest::newRow("import, skipping") << QStringList { "--import", "x.xls", "--skip-duplicates" } << int(C::Import)
                                          << int(ExportFormat::Xls) << false << false;
    }

    void parses()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, command);
        QFETCH(int, format);
        QFETCH(bool, update);
        QFETCH(bool, dryRun);
        const CommandLine line = CommandLine::parse(arguments);
        QVERIFY2(line.isValid(), qPrintable(line.error()));
        QVERIFY(!line.runsStation());
        QCOMPARE(int(line.command()), command);
        if (line.command() == CommandLine::Command::Export) {
            QCOMPARE(int(line.format()), format);
        }
        QCOMPARE(line.duplicates() == ImportPlan::Duplicates::Update, update);
        QCOMPARE(line.dryRun(), dryRun);
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("export without file") << QStringList { "--export" } << "--export needs a value";
        QTest::newRow("export of an empty name") << QStringList { "--export=" } << "--export needs the path";
        QTest::newRow("unknown format") << QStringList { "--export", "a.xls", "--format", "pdf" }
                                        << "unknown format \"pdf\"";
        QTest::newRow("suffix tells nothing") << QStringList { "--export", "roster" } << "give --format";
        QTest::newRow("format without export")
            << QStringList { "--import", "a.csv", "--format", "xls" } << "--format goes only with --export";
        QTest::newRow("update without import")
            << QStringList { "--export", "a.xls", "--update" } << "--update goes only with --import";
        QTest::newRow("dry run alone") << QStringList { "--dry-run" } << "--dry-run goes only with --import";
        QTest::newRow("update and skip") << QStringList { "--import", "a.csv", "--update", "--skip-duplicates" }
                                         << "exclude each other";
        QTest::newRow("update twice") << QStringList { "--import", "a.csv", "--update", "--update" } << "given twice";
        QTest::newRow("export and import")
            << QStringList { "--import", "a.csv", "--export", "b.xls" } << "cannot be combined";
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const Outcome outcome = run(arguments);
        QCOMPARE(outcome.code, 2);
        QVERIFY2(outcome.err.contains(message), qPrintable(outcome.err));
        QVERIFY(outcome.err.contains(QStringLiteral("Usage: kelvora")));
    }

    void helpNamesTheCommands()
    {
        const Outcome help = run({ QStringLiteral("--help") });
        QVERIFY(help.out.contains(QStringLiteral("--export FILE [--format F]")));
        QVERIFY(help.out.contains(QStringLiteral("--import FILE [--update|--skip-duplicates] [--dry-run]")));
    }

    void exportWritesEveryFormat_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<bool>("notice");
        QTest::newRow("xls") << "roster.xls" << QStringList() << QByteArray::fromHex("0908080000001000") << true;
        QTest::newRow("txt") << "roster.txt" << QStringList() << QByteArray("No\t") << true;
        QTest::newRow("csv") << "roster.csv" << QStringList() << QByteArray("\"No\";") << true;
        QTest::newRow("csv-utf8") << "roster.csv" << QStringList { "--format", "csv-utf8" }
                                  << QByteArray("\xEF\xBB\xBF\"No\",") << false;
        QTest::newRow("html") << "roster.htm" << QStringList() << QByteArray("<!DOCTYPE HTML") << false;
        QTest::newRow("rtf") << "roster.rtf" << QStringList() << QByteArray("{\\rtf1") << false;
        QTest::newRow("xlsx") << "roster.xlsx" << QStringList() << QByteArray("PK\x03\x04") << false;
        QTest::newRow("format beats the suffix")
            << "roster.dat" << QStringList { "--format", "txt" } << QByteArray("No\t") << true;
    }

    void exportWritesEveryFormat()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, options);
        QFETCH(QByteArray, start);
        QFETCH(bool, notice);
        addEmployee(db(), QStringLiteral("张三"), QStringLiteral("1990-03-14"), QStringLiteral("2020-01-05"));
        addEmployee(db(), QStringLiteral("𠀀字"), QStringLiteral("1991-01-01"), QStringLiteral("2010-01-01"));
        const QString path = m_fixture->folder.file(name);
        const Outcome outcome = run(QStringList { QStringLiteral("--export"), path } + options);
        QCOMPARE(outcome.code, 0);
        QVERIFY2(outcome.out.startsWith(path + QStringLiteral(": 2 people written as ")), qPrintable(outcome.out));
        QVERIFY(m_fixture->folder.read(name).startsWith(start));
        // Characters code page 936 lacks are announced for the formats that use it.
        QCOMPARE(outcome.err.contains(QStringLiteral("“姓名”：写成“?字”")), notice);
    }

    void exportOfANewRosterHoldsTheCaptions()
    {
        const Outcome outcome = run({ QStringLiteral("--export"), m_fixture->folder.file(QStringLiteral("r.txt")) });
        QCOMPARE(outcome.code, 0);
        QCOMPARE(m_fixture->folder.read(QStringLiteral("r.txt")),
                 QByteArray("No\t\xD0\xD5\xC3\xFB\t\xB6\xC1\xD2\xF4\t\xC8\xEB\xD6\xB0\t"
                            "\xC9\xFA\xC8\xD5\t\xC5\xA9\xC0\xFA\t\xB2\xBF\xC3\xC5\t"
                            "\xB1\xB8\xD7\xA2"));
    }

    void exportFailures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("database");
        QTest::addColumn<QString>("message");
        QTest::newRow("no draft.dat") << "r.xls" << false << "does not exist";
        QTest::newRow("a folder that is not there") << "missing/r.xls" << true << "missing/r.xls";
    }

    void exportFailures()
    {
        QFETCH(QString, path);
        QFETCH(bool, database);
        QFETCH(QString, message);
        const QString target = m_fixture->folder.file(path);
        if (!database) {
            QVERIFY(QFile::remove(m_fixture->folder.file(QStringLiteral("draft.dat"))));
        }
        const Outcome outcome = run({ QStringLiteral("--export"), target });
        QCOMPARE(outcome.code, 1);
        QVERIFY2(outcome.err.contains(message), qPrintable(outcome.err));
        QVERIFY(!QFile::exists(target));
    }

    void importExitCodes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("people");
        QTest::addColumn<QString>("message");
        QTest::newRow("written, a row skipped")
            << People << 0 << 2
            << "导入完成：新增 2 人，更新 0 人，跳过 1 行。\n第 3 行（王五）：生日是不存在的日期 1990-02-30\n";
        QTest::newRow("every row refused")
            << QByteArray("姓名,生日,入职\n张三,1990-02-30,2000-01-01\n,1990-01-01,2000-01-01\n") << 1 << 0
            << "新增 0 人，更新 0 人，跳过 2 行。";
        QTest::newRow("a 10,000-character name")
            << QByteArray("姓名,生日,入职\n" + QString(10000, QChar(0x5F20)).toUtf8() + ",1990-01-01,2000-01-01\n") << 1
            << 0 << "姓名太长（10000 个字符，最多 100 个）";
        QTest::newRow("no captions") << QByteArray("张三,1990-03-14,2020-01-05\n") << 1 << 0 << "no caption row";
        QTest::newRow("captions only") << QByteArray("姓名,生日,入职\n") << 1 << 0 << "no people";
        QTest::newRow("empty file") << QByteArray() << 1 << 0 << "文件是空的";
        QTest::newRow("neither encoding") << QByteArray("\xFD\xFD\x81\x20") << 1 << 0 << "既不是 UTF-8";
        QTest::newRow("unbalanced quotes")
            << QByteArray("姓名,生日,入职\n\"张三,1990-03-14,2020-01-05\n") << 1 << 0 << "引号";
    }

    void importExitCodes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, code);
        QFETCH(int, people);
        QFETCH(QString, message);
        const Outcome outcome = run({ QStringLiteral("--import"), file(QStringLiteral("people.csv"), bytes) });
        QCOMPARE(outcome.code, code);
        const QString said = outcome.out + outcome.err;
        QVERIFY2(said.contains(message), qPrintable(said));
        QCOMPARE(count(), people);
    }

    void importOfAFileThatIsNotThere()
    {
        const Outcome outcome = run({ QStringLiteral("--import"), m_fixture->folder.file(QStringLiteral("none.xls")) });
        QCOMPARE(outcome.code, 1);
        QVERIFY2(outcome.err.contains(QStringLiteral("cannot import")), qPrintable(outcome.err));
    }

    void importDuplicates()
    {
        addEmployee(db(), QStringLiteral("张三"), QStringLiteral("1990-03-14"), QStringLiteral("2019-01-01"));
        const QString path = file(QStringLiteral("people.csv"), People);

        const Outcome dry
            = run({ QStringLiteral("--import"), path, QStringLiteral("--dry-run"), QStringLiteral("--update") });
        QCOMPARE(dry.code, 0);
        QVERIFY2(dry.out.startsWith(QStringLiteral("试导入，名册未改动：新增 1 人，更新 1 人，跳过 1 行。")),
                 qPrintable(dry.out));
        QCOMPARE(count(), 1);

        const Outcome skipped = run({ QStringLiteral("--import"), path });
        QVERIFY(skipped.out.contains(QStringLiteral("第 2 行（张三）：名册中已有此人（姓名和生日相同），按选择跳过")));
        QCOMPARE(count(), 2);
        QSqlQuery query(db());
        QVERIFY(query.exec(QStringLiteral("SELECT indate FROM birthday WHERE emp_name = '张三'")) && query.next());
        QCOMPARE(query.value(0).toString(), QStringLiteral("2019-01-01"));
        query.finish(); // a statement left open would hold the read lock the import waits for

        // Everybody is there now: nothing new, yet nothing refused either.
        const Outcome again = run({ QStringLiteral("--import"), path, QStringLiteral("--update") });
        QVERIFY2(again.code == 0, qPrintable(again.out + again.err));
        QVERIFY(again.out.startsWith(QStringLiteral("导入完成：新增 0 人，更新 2 人，跳过 1 行。")));
        QVERIFY(query.exec(QStringLiteral("SELECT indate FROM birthday WHERE emp_name = '张三'")) && query.next());
        QCOMPARE(query.value(0).toString(), QStringLiteral("2020-01-05"));
    }

    void importWhileTheStationRuns()
    {
        m_fixture.reset();
        StationFixture station(QDateTime(QDate(2024, 3, 14), QTime(8, 0)));
        station.start();
        QVERIFY(!station.form()->SGrid1->item(0, 0));
        station.folder.write(QStringLiteral("today.csv"), "姓名,生日,入职\n寿星,1990-03-14,2010-01-01\n");
        const Outcome outcome
            = run({ QStringLiteral("--import"), station.folder.file(QStringLiteral("today.csv")) }, &station.clock);
        QCOMPARE(outcome.code, 0);
        // The station takes the roster as it is at its next composition.
        station.main()->birthdayList()->RefreshBirthdays();
        QCOMPARE(station.form()->SGrid1->item(0, 0)->text(), QStringLiteral("寿星"));
        QVERIFY(station.form()->Memo1->toPlainText().contains(QStringLiteral("寿星")));

        // And the export sees what the station's own editor added.
        addEmployee(station.station->dataModule()->database(), QStringLiteral("编辑"), QStringLiteral("1980-01-01"),
                    QStringLiteral("2000-01-01"));
        const QString path = station.folder.file(QStringLiteral("now.csv"));
        QCOMPARE(run({ QStringLiteral("--export"), path, QStringLiteral("--format"), QStringLiteral("csv-utf8") },
                     &station.clock)
                     .code,
                 0);
        const QString text = QString::fromUtf8(station.folder.read(QStringLiteral("now.csv")));
        QVERIFY(text.contains(QStringLiteral("\"寿星\"")) && text.contains(QStringLiteral("\"编辑\"")));
        m_fixture = std::make_unique<DataFixture>(QDateTime(QDate(2024, 3, 14), QTime(8, 0)), DataFixture::NoDatabase);
    }
};

QTEST_MAIN(TestRosterCommands)
#include "test_rostercommands.moc"
