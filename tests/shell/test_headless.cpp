#include "common/clock.h"
#include "common/inifile.h"
#include "fixedwallclock.h"
#include "sanitizers.h"
#include "testdatabase.h"
#include "testfolder.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QTest>

// The built program run with --headless in a program folder of its own, under a short real schedule.
class TestHeadless final : public QObject
{
    Q_OBJECT

private slots:
    void broadcastsAndEndsOnSigterm()
    {
        TestFolder folder;
        createTestDatabase(folder);
        const QString program = folder.file(QStringLiteral("kelvora"));
        QVERIFY(QFile::copy(QStringLiteral(KELVORA_BINARY), program));

        // Somebody's birthday today, and a range that begins two seconds after the start (at 09:00 on
        // the fixed clock; on the real one, not across midnight).
        KELVORA_REQUIRE_FIXED_WALL_CLOCK();
        FixedWallClock::stayWithinOneDay(120);
        const QDateTime start = Clock::system().now();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("headless-seed"));
            db.setDatabaseName(folder.file(QStringLiteral("draft.dat")));
            QVERIFY(db.open());
            QVERIFY(addEmployee(db, QStringLiteral("张三"), start.date().addYears(-28).toString(Qt::ISODate),
                                QStringLiteral("2010-01-01"))
                    > 0);
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("headless-seed"));
        {
            IniFile ini(folder.file(QStringLiteral("setinfo.ini")));
            const QString system = QStringLiteral("System");
            ini.writeString(system, QStringLiteral("playtime1"),
                            start.time().addSecs(2).toString(QStringLiteral("HH:mm:ss")));
            ini.writeString(system, QStringLiteral("playtime2"), QStringLiteral("23:59:59"));
            for (int day = 1; day <= 7; ++day) {
                ini.writeBool(system, QStringLiteral("CheckBox%1").arg(day), true);
            }
            ini.writeInteger(system, QStringLiteral("Readtimes"), 1);
            ini.writeString(system, QStringLiteral("Mainread"), QStringLiteral("生日快乐！"));
            ini.writeBool(system, QStringLiteral("Next_month"), false);
            ini.writeInteger(system, QStringLiteral("default_volume"), 33);
            ini.writeInteger(QStringLiteral("Speaker"), QStringLiteral("Rate"), 9);
            ini.writeInteger(QStringLiteral("Speaker"), QStringLiteral("Volume"), 70);
        }

        QTemporaryDir runtime;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        environment.remove(QStringLiteral("QT_QPA_PLATFORM")); // --headless chooses its platform itself
        environment.remove(QStringLiteral("DISPLAY"));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(runtime.path());
        process.start(program, { QStringLiteral("--headless") });
        QVERIFY(process.waitForStarted());

        auto log = [&folder] { return QString::fromUtf8(folder.read(QStringLiteral("kelvora.log"))); };
        QTRY_VERIFY_WITH_TIMEOUT(log().contains(QStringLiteral("reading ended")), Sanitizers::scaled(15000));
        QVERIFY2(log().contains(QStringLiteral("broadcast started")), qPrintable(log()));
        QVERIFY2(log().contains(QStringLiteral("speaking: 张三生日，")), qPrintable(log()));

        process.terminate(); // SIGTERM
        QVERIFY(process.waitForFinished(Sanitizers::scaled(10000)));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(log().contains(QStringLiteral("signal 15")));
        QVERIFY(log().trimmed().endsWith(QStringLiteral("Kelvora ended")));

        // The six values, as the close button saves them.
        const IniFile ini(folder.file(QStringLiteral("setinfo.ini")));
        QCOMPARE(ini.readInteger(QStringLiteral("Speaker"), QStringLiteral("Rate"), -99), 9);
        QCOMPARE(ini.readInteger(QStringLiteral("Speaker"), QStringLiteral("Volume"), -99), 70);
        QCOMPARE(ini.readInteger(QStringLiteral("Speaker"), QStringLiteral("Speaker"), -99), 0);
        QCOMPARE(ini.readInteger(QStringLiteral("System"), QStringLiteral("default_volume"), -99), 33);
        QCOMPARE(ini.readInteger(QStringLiteral("System"), QStringLiteral("default_volume1"), -99), 10);
        QCOMPARE(ini.readInteger(QStringLiteral("System"), QStringLiteral("Playmode"), -99), 0);
    }
};

int main(int argc, char** argv)
{
    // A Monday at 09:00: the range never meets midnight.
    FixedWallClock::reexecAt(argv, QDateTime(QDate(2026, 3, 2), QTime(9, 0)));
    QCoreApplication app(argc, argv);
    TestHeadless test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_headless.moc"
