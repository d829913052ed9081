#include "ciskip.h"
#include "commandlinerun.h"
#include "common/inifile.h"
#include "fakeclock.h"
#include "fulldisk.h"
#include "shell/commandline.h"
#include "testdatabase.h"
#include "testfolder.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QTextStream>
#include <QtEndian>

namespace {

using Result = CommandLineRun;
Result runLine(const QStringList& arguments, Clock* clock = nullptr)
{
    return runCommandLine(arguments, clock);
}

// Seconds of sound in a 16-bit mono WAV file, after checking its header.
double wavSeconds(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 44 || !bytes.startsWith("RIFF") || bytes.mid(8, 8) != "WAVEfmt " || bytes.mid(36, 4) != "data") {
        return -1;
    }
    const quint16 channels = qFromLittleEndian<quint16>(bytes.constData() + 22);
    const quint32 rate = qFromLittleEndian<quint32>(bytes.constData() + 24);
    const quint16 bits = qFromLittleEndian<quint16>(bytes.constData() + 34);
    const quint32 data = qFromLittleEndian<quint32>(bytes.constData() + 40);
    if (channels != 1 || bits != 16 || rate == 0 || data != quint32(bytes.size() - 44)) {
        return -1;
    }
    return double(data / 2) / rate;
}

} // namespace

class TestCommandLine final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_folder = std::make_unique<TestFolder>();
        createTestDatabase(*m_folder);
    }
    void cleanup() { m_folder.reset(); }

    void parsesCommands_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("command");
        QTest::newRow("none") << QStringList() << int(CommandLine::Command::Station);
        QTest::newRow("headless") << QStringList { QStringLiteral("--headless") }
                                  << int(CommandLine::Command::Headless);
        QTest::newRow("announcement with date")
            << QStringList { QStringLiteral("--announcement"), QStringLiteral("--date"), QStringLiteral("2024-02-29") }
            << int(CommandLine::Command::Announcement);
        QTest::newRow("date first, with =")
            << QStringList { QStringLiteral("--date=2024-02-29"), QStringLiteral("--announcement") }
            << int(CommandLine::Command::Announcement);
        QTest::newRow("render") << QStringList { QStringLiteral("--render"), QStringLiteral("a.wav"),
                                                 QStringLiteral("--text"), QStringLiteral("你好") }
                                << int(CommandLine::Command::Render);
        QTest::newRow("spoken text") << QStringList { QStringLiteral("--spoken"), QStringLiteral("9:30") }
                                     << int(CommandLine::Command::Spoken);
        QTest::newRow("spoken of a day") << QStringList { QStringLiteral("--spoken"), QStringLiteral("--date"),
                                                          QStringLiteral("2024-02-29") }
                                         << int(CommandLine::Command::Spoken);
        QTest::newRow("spoken text with =, and a day")
            << QStringList { QStringLiteral("--spoken=%Date%"), QStringLiteral("--date=2024-02-29") }
            << int(CommandLine::Command::Spoken);
        QTest::newRow("short help") << QStringList { QStringLiteral("-h") } << int(CommandLine::Command::Help);
        QTest::newRow("spoken with --text")
            << QStringList { QStringLiteral("--spoken"), QStringLiteral("--text"), QStringLiteral("9:30") }
            << int(CommandLine::Command::Spoken);
    }

    void spokenTakesItsText()
    {
        QCOMPARE(CommandLine::parse({ QStringLiteral("--spoken"), QStringLiteral("一件") }).text(),
                 std::optional<QString>(QStringLiteral("一件")));
        QCOMPARE(CommandLine::parse({ QStringLiteral("--spoken"), QStringLiteral("--date=2024-03-05") }).text(),
                 std::optional<QString>());
    }
    void parsesCommands()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, command);
        const CommandLine line = CommandLine::parse(arguments);
        QVERIFY2(line.isValid(), qPrintable(line.error()));
        QCOMPARE(int(line.command()), command);
    }

    void wrongArgumentsAreUsageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown") << QStringList { QStringLiteral("--bogus") }
                                 << QStringLiteral("unknown argument \"--bogus\"");
        QTest::newRow("not a date") << QStringList { QStringLiteral("--announcement"), QStringLiteral("--date"),
                                                     QStringLiteral("2023-02-29") }
                                    << QStringLiteral("\"2023-02-29\" is not a date");
        QTest::newRow("short date") << QStringList { QStringLiteral("--announcement"),
                                                     QStringLiteral("--date=2024-3-5") }
                                    << QStringLiteral("\"2024-3-5\" is not a date");
        QTest::newRow("date without value")
            << QStringList { QStringLiteral("--announcement"), QStringLiteral("--date") }
            << QStringLiteral("--date needs a value");
        QTest::newRow("two commands") << QStringList { QStringLiteral("--announcement"), QStringLiteral("--voices") }
                                      << QStringLiteral("--voices cannot be combined");
        QTest::newRow("date alone") << QStringList { QStringLiteral("--date"), QStringLiteral("2024-03-05") }
                                    << QStringLiteral("--date goes only with");
        QTest::newRow("text without render")
            << QStringList { QStringLiteral("--announcement"), QStringLiteral("--text"), QStringLiteral("x") }
            << QStringLiteral("--text goes only with --render");
        QTest::newRow("render without file")
            << QStringList { QStringLiteral("--render") } << QStringLiteral("--render needs a value");
        QTest::newRow("spoken text twice") << QStringList { QStringLiteral("--text"), QStringLiteral("a"),
                                                            QStringLiteral("--spoken"), QStringLiteral("b") }
                                           << QStringLiteral("--text is given twice");
        QTest::newRow("spoken text empty") << QStringList { QStringLiteral("--spoken"), QStringLiteral(" ") }
                                           << QStringLiteral("the text of --spoken is empty");
        QTest::newRow("spoken with another command")
            << QStringList { QStringLiteral("--spoken"), QStringLiteral("--voices") }
            << QStringLiteral("--voices cannot be combined");
        QTest::newRow("value on a flag") << QStringList { QStringLiteral("--voices=1") }
                                         << QStringLiteral("--voices takes no value");
        QTest::newRow("headless with more") << QStringList { QStringLiteral("--headless"), QStringLiteral("extra") }
                                            << QStringLiteral("unknown argument \"extra\"");
        QTest::newRow("folder without value")
            << QStringList { QStringLiteral("--folder") } << QStringLiteral("--folder needs a value");
        QTest::newRow("folder empty") << QStringList { QStringLiteral("--folder=") }
                                      << QStringLiteral("--folder needs the path of a folder");
        QTest::newRow("folder twice") << QStringList { QStringLiteral("--folder=a"), QStringLiteral("--folder=b") }
                                      << QStringLiteral("--folder is given twice");
        QTest::newRow("minimized headless")
            << QStringList { QStringLiteral("--headless"), QStringLiteral("--minimized") }
            << QStringLiteral("--minimized goes only with the station's window");
        QTest::newRow("minimized preview")
            << QStringList { QStringLiteral("--minimized"), QStringLiteral("--announcement") }
            << QStringLiteral("--minimized goes only with the station's window");
        QTest::newRow("minimized with a value")
            << QStringList { QStringLiteral("--minimized=1") } << QStringLiteral("--minimized takes no value");
        QTest::newRow("date twice") << QStringList { QStringLiteral("--announcement"),
                                                     QStringLiteral("--date=2024-03-05"), QStringLiteral("--date"),
                                                     QStringLiteral("2024-03-06") }
                                    << QStringLiteral("--date is given twice");
        QTest::newRow("unknown with a value")
            << QStringList { QStringLiteral("--bogus=1") } << QStringLiteral("unknown argument \"--bogus=1\"");
        QTest::newRow("single dash") << QStringList { QStringLiteral("-voices") } << QStringLiteral("unknown argument");
    }

    // --folder goes with every command and is made absolute; --minimized with the station's window.
    void folderAndMinimized_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("minimized");
        QTest::newRow("autostart") << QStringList { QStringLiteral("--minimized") }
                                   << int(CommandLine::Command::Station) << QString() << true;
        QTest::newRow("station in a folder")
            << QStringList { QStringLiteral("--folder"), QStringLiteral("/srv/kelvora/") }
            << int(CommandLine::Command::Station) << QStringLiteral("/srv/kelvora") << false;
        QTest::newRow("service in a folder")
            << QStringList { QStringLiteral("--headless"), QStringLiteral("--folder=/srv/k") }
            << int(CommandLine::Command::Headless) << QStringLiteral("/srv/k") << false;
        QTest::newRow("relative folder, export")
            << QStringList { QStringLiteral("--export"), QStringLiteral("x.csv"), QStringLiteral("--folder"),
                             QStringLiteral("st/../station") }
            << int(CommandLine::Command::Export) << QDir::current().filePath(QStringLiteral("station")) << false;
    }

    void folderAndMinimized()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, command);
        QFETCH(QString, folder);
        QFETCH(bool, minimized);
        const CommandLine line = CommandLine::parse(arguments);
        QVERIFY2(line.isValid(), qPrintable(line.error()));
        QCOMPARE(int(line.command()), command);
        QCOMPARE(line.folder(), folder);
        QCOMPARE(line.minimized(), minimized);
        QVERIFY(CommandLine::usage().contains(QStringLiteral("--folder DIR")));
    }
    void wrongArgumentsAreUsageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const CommandLine line = CommandLine::parse(arguments);
        QVERIFY(!line.isValid());
        QVERIFY(!line.runsStation());
        const Result result = runLine(arguments);
        QCOMPARE(result.code, 2);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QVERIFY(result.err.contains(QStringLiteral("Usage: kelvora")));
        QVERIFY(result.out.isEmpty());
        QVERIFY(!m_folder->exists(QStringLiteral("setinfo.ini")));
    }

    void versionAndHelp()
    {
        const Result version = runLine({ QStringLiteral("--version") });
        QCOMPARE(version.code, 0);
        QCOMPARE(version.out, QStringLiteral("Kelvora 2.0.0\n"));
        const Result help = runLine({ QStringLiteral("--help") });
        QCOMPARE(help.code, 0);
        QVERIFY(help.out.contains(QStringLiteral("--render FILE.wav")));
    }

    void announcementOfADay()
    {
        onDatabase(*m_folder, [](QSqlDatabase db) {
            QVERIFY(addEmployee(db, QStringLiteral("张三"), QStringLiteral("1994-03-05"), QStringLiteral("2010-01-01"))
                    > 0);
            QVERIFY(addEmployee(db, QStringLiteral("李四"), QStringLiteral("1990-04-10"), QStringLiteral("2010-01-01"))
                    > 0);
        });
        IniFile ini(m_folder->file(QStringLiteral("setinfo.ini")));
        ini.writeString(QStringLiteral("System"), QStringLiteral("Company"), QStringLiteral("示例公司"));
        ini.writeBool(QStringLiteral("System"), QStringLiteral("Read_add2"), true);
        ini.writeBool(QStringLiteral("Addread2"), QStringLiteral("Readage"), true);
        ini.writeString(QStringLiteral("System"), QStringLiteral("Mainread"), QStringLiteral("祝生日快乐！"));
        const QByteArray before = m_folder->read(QStringLiteral("setinfo.ini"));

        // The day the preview names, not today: the age is the one reached on that day.
        FakeClock clock(2030, 1, 1, 15, 0);
        const Result birthday = runLine(
            { QStringLiteral("--announcement"), QStringLiteral("--date"), QStringLiteral("2018-03-05") }, &clock);
        QCOMPARE(birthday.code, 0);
        QCOMPARE(birthday.out,
                 QStringLiteral("今天是：示例公司员工，张三24岁生日，祝生日快乐！下月将有：李四， "
                                "等同事生日，公司将为他们送上祝福。\n"));

        const Result nobody
            = runLine({ QStringLiteral("--announcement"), QStringLiteral("--date=2018-03-07") }, &clock);
        QCOMPARE(nobody.code, 0);
        QVERIFY(nobody.out.isEmpty());
        QVERIFY2(nobody.err.contains(QStringLiteral("no announcement on 2018-03-07")), qPrintable(nobody.err));
        // Previews only read the folder.
        QCOMPARE(m_folder->read(QStringLiteral("setinfo.ini")), before);
        QVERIFY(!m_folder->exists(QStringLiteral("kelvora.log")));
    }

    void announcementWithoutDatabase()
    {
        QVERIFY(QFile::remove(m_folder->file(QStringLiteral("draft.dat"))));
        const Result result = runLine({ QStringLiteral("--announcement") });
        QCOMPARE(result.code, 1);
        QVERIFY2(result.err.contains(QStringLiteral("draft.dat does not exist")), qPrintable(result.err));
        QVERIFY(!m_folder->exists(QStringLiteral("draft.dat")));
    }

    void voicesMarkTheChosenOne()
    {
        IniFile(m_folder->file(QStringLiteral("setinfo.ini")))
            .writeInteger(QStringLiteral("Speaker"), QStringLiteral("Speaker"), 1);
        const Result result = runLine({ QStringLiteral("--voices") });
        QCOMPARE(result.code, 0);
        const QStringList lines = result.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(lines.size() > 2);
        QVERIFY2(lines.at(0).startsWith(QStringLiteral("  0  ")), qPrintable(lines.at(0)));
        QVERIFY2(lines.at(1).startsWith(QStringLiteral("* 1  ")), qPrintable(lines.at(1)));
        QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^\\* "))).size(), 1);
    }

    void renderGrowsWithThePauses()
    {
        // Real espeak-ng: the same text, once with longer waits before "※" and once with a longer
        // pause after "，"; only the silences differ.
        const QString text = QStringLiteral("你好，※世界");
        const double plain = render(text, QStringLiteral("plain.wav"));
        QVERIFY(plain > 0.5);

        IniFile(m_folder->file(QStringLiteral("setinfo.ini")))
            .writeInteger(QStringLiteral("System"), QStringLiteral("Delay2"), 2800);
        const double longerMark = render(text, QStringLiteral("mark.wav"));
        QVERIFY2(qAbs(longerMark - plain - 2.0) < 0.01, qPrintable(QStringLiteral("%1 %2").arg(plain).arg(longerMark)));

        onDatabase(*m_folder, [](QSqlDatabase db) {
            QSqlQuery query(db);
            QVERIFY(
                query.exec(QStringLiteral("UPDATE delaytime SET delaytime = delaytime + 1500 WHERE descript = '，'")));
            QCOMPARE(query.numRowsAffected(), 1);
        });
        const double longerPause = render(text, QStringLiteral("pause.wav"));
        QVERIFY2(qAbs(longerPause - longerMark - 1.5) < 0.01,
                 qPrintable(QStringLiteral("%1 %2").arg(longerMark).arg(longerPause)));
    }

    void renderOfADayWithoutBirthdaysWritesNothing()
    {
        const Result result = runLine({ QStringLiteral("--render"), m_folder->file(QStringLiteral("day.wav")),
                                        QStringLiteral("--date"), QStringLiteral("2018-03-07") });
        QCOMPARE(result.code, 1);
        QVERIFY2(result.err.contains(QStringLiteral("nothing written")), qPrintable(result.err));
        QVERIFY(!m_folder->exists(QStringLiteral("day.wav")));
    }

    void renderRefusesAPathItCannotWrite_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        // Tests run as root, who may write anywhere: a parent that is a file stands for a read-only one.
        QTest::newRow("parent is a file") << QStringLiteral("draft.dat/out.wav") << QStringLiteral("is not a folder");
        QTest::newRow("missing folder") << QStringLiteral("missing/out.wav") << QStringLiteral("does not exist");
        QTest::newRow("a folder") << QStringLiteral(".") << QStringLiteral("it is a folder");
    }
    void renderRefusesAPathItCannotWrite()
    {
        QFETCH(QString, path);
        QFETCH(QString, message);
        const QByteArray database = m_folder->read(QStringLiteral("draft.dat"));
        const Result result = runLine(
            { QStringLiteral("--render"), m_folder->file(path), QStringLiteral("--text"), QStringLiteral("你好") });
        QCOMPARE(result.code, 1);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QVERIFY(result.out.isEmpty());
        QCOMPARE(m_folder->read(QStringLiteral("draft.dat")), database);
        QVERIFY(!m_folder->exists(QStringLiteral("missing")));
    }

    // A render onto a full disk: refused naming the file, the WAV there before keeps every byte.
    void renderOnAFullDisk()
    {
        FullDisk disk;
        if (!disk.available()) {
            KELVORA_SKIP("a tmpfs cannot be mounted here (not root?)");
        }
        const QString path = disk.file(QStringLiteral("tomorrow.wav"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(4000, 'w'));
        old.close();
        disk.fill();
        const Result result
            = runLine({ QStringLiteral("--render"), path, QStringLiteral("--text"), QStringLiteral("你好") });
        QCOMPARE(result.code, 1);
        QVERIFY2(result.err.contains(QStringLiteral("cannot write ") + path), qPrintable(result.err));
        QVERIFY(result.out.isEmpty());
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray(4000, 'w'));
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files), QStringList { QStringLiteral("tomorrow.wav") });
    }

private:
    double render(const QString& text, const QString& name)
    {
        const QString path = m_folder->file(name);
        const Result result = runLine({ QStringLiteral("--render"), path, QStringLiteral("--text"), text });
        if (result.code != 0) {
            qWarning() << result.err;
            return -1;
        }
        const double seconds = wavSeconds(path);
        // The printed duration is the file's.
        if (!result.out.contains(QStringLiteral(": %1 s").arg(QString::number(seconds, 'f', 2)))) {
            qWarning() << result.out << seconds;
            return -1;
        }
        return seconds;
    }

    std::unique_ptr<TestFolder> m_folder;
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
