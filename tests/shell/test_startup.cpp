// The real program started on the files that used to hang it or lose settings: a damaged or foreign
// database, a full disk, a second copy, a signal in the middle of start-up.

#include "ciskip.h"
#include "data/tdm.h"
#include "fulldisk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

namespace {

const QByteArray Settings = "[Speaker]\r\nSpeaker=0\r\nRate=3\r\nVolume=80\r\n"
                            "[System]\r\nReadtimes=2\r\nIntervaltime=60\r\nDays=90\r\nShowdays=1\r\n"
                            "playtime1=09:00:00\r\nplaytime2=14:00:00\r\nNext_month=0\r\n"
                            "CheckBox1=0\r\nCheckBox2=1\r\nCheckBox3=1\r\nCheckBox4=1\r\nCheckBox5=1\r\n"
                            "CheckBox6=1\r\nCheckBox7=1\r\nMainread=祝生日快乐！\r\n";

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool runSql(const QString& path, const QStringList& statements)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("startup-edit"));
        db.setDatabaseName(path);
        ok = db.open();
        for (const QString& statement : statements) {
            ok = ok && QSqlQuery(db).exec(statement);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("startup-edit"));
    return ok;
}

// One copy of the program in a program folder, started headless on SDL's silent driver with a runtime
// folder (and a temporary folder, which the lock also looks in) of the test's own.
class Program
{
public:
    explicit Program(const QString& folder, const QString& runtime, const QString& temp)
        : m_folder(folder)
    {
        const QString program = QDir(folder).filePath(QStringLiteral("kelvora"));
        // A hard link costs nothing; another file system needs a copy.
        if (!QFile::exists(program) && ::link(KELVORA_BINARY, QFile::encodeName(program).constData()) != 0) {
            QFile::copy(QStringLiteral(KELVORA_BINARY), program);
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.remove(QStringLiteral("DISPLAY"));
        environment.insert(QStringLiteral("TMPDIR"), temp);
        if (runtime.isEmpty()) {
            environment.remove(QStringLiteral("XDG_RUNTIME_DIR")); // as cron starts it
        } else {
            environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        }
        m_process.setProcessEnvironment(environment);
        m_process.setWorkingDirectory(temp);
        m_process.setProgram(program);
        m_process.setArguments({ QStringLiteral("--headless") });
    }

    ~Program()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    bool start()
    {
        m_process.start();
        return m_process.waitForStarted(10000);
    }
    QString log() const { return QString::fromUtf8(readFile(QDir(m_folder).filePath(QStringLiteral("kelvora.log")))); }
    QString err()
    {
        m_err += QString::fromUtf8(m_process.readAllStandardError());
        return m_err;
    }
    // Waits until the log or standard error holds the text.
    bool waitFor(const QString& text, int ms = 15000)
    {
        for (int waited = 0; waited < ms; waited += 50) {
            if (log().contains(text) || err().contains(text)) {
                return true;
            }
            if (m_process.state() == QProcess::NotRunning) {
                return log().contains(text) || err().contains(text);
            }
            m_process.waitForReadyRead(50);
        }
        return false;
    }
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }
    bool finished(int ms = 10000) { return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(ms); }
    int exitCode() const { return m_process.exitCode(); }
    bool normalExit() const { return m_process.exitStatus() == QProcess::NormalExit; }
    qint64 pid() const { return m_process.processId(); }

private:
    QString m_folder;
    QProcess m_process;
    QString m_err;
};

} // namespace

class TestStartup final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        m_runtime = std::make_unique<QTemporaryDir>();
        m_temp = std::make_unique<QTemporaryDir>();
    }

    void cleanup()
    {
        m_temp.reset();
        m_runtime.reset();
        m_folder.reset();
    }

    // A table missing from a database that is the station's: its error, then the station runs and
    // ends on SIGTERM. A file that is not the station's database: the one warning and exit code 2.
    void damagedDatabase_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("exitCode"); // 0: the station runs until SIGTERM
        QTest::addColumn<QString>("said"); // in the log or on standard error
        QTest::newRow("without delaytime") << "drop delaytime" << 0 << "no such table: delaytime";
        QTest::newRow("without telltime") << "drop telltime" << 0 << "no such table: telltime";
        QTest::newRow("without either") << "drop both" << 0 << "no such table: telltime";
        QTest::newRow("foreign SQLite file")
            << "foreign" << 2 << "draft.dat: not a Kelvora database (none of its tables)";
        QTest::newRow("missing") << "missing" << 2 << "draft.dat: missing";
        QTest::newRow("random bytes") << "random" << 2 << "draft.dat: not a database";
        QTest::newRow("locked") << "locked" << 2 << "draft.dat: locked by another program";
    }

    void damagedDatabase()
    {
        QFETCH(QString, kind);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        const QString database = m_folder->filePath(QStringLiteral("draft.dat"));
        if (kind != QStringLiteral("missing") && kind != QStringLiteral("random")
            && kind != QStringLiteral("foreign")) {
            TDM::createDatabase(database);
        }
        if (kind == QStringLiteral("drop delaytime") || kind == QStringLiteral("drop both")) {
            QVERIFY(runSql(database, { QStringLiteral("DROP TABLE delaytime") }));
        }
        if (kind == QStringLiteral("drop telltime") || kind == QStringLiteral("drop both")) {
            QVERIFY(runSql(database, { QStringLiteral("DROP TABLE telltime") }));
        }
        if (kind == QStringLiteral("foreign")) {
            QVERIFY(runSql(database, { QStringLiteral("CREATE TABLE photos (id INTEGER, path TEXT)") }));
        }
        if (kind == QStringLiteral("random")) {
            QByteArray noise(8192, '\0');
            for (qsizetype i = 0; i < noise.size(); ++i) {
                noise[i] = char((i * 7919 + 13) % 251);
            }
            QVERIFY(writeFile(database, noise));
        }
        QSqlDatabase locker;
        if (kind == QStringLiteral("locked")) {
            locker = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
            locker.setDatabaseName(database);
            QVERIFY(locker.open());
            QVERIFY(QSqlQuery(locker).exec(QStringLiteral("BEGIN EXCLUSIVE")));
        }
        QVERIFY(writeFile(m_folder->filePath(QStringLiteral("setinfo.ini")), Settings));

        Program program(m_folder->path(), m_runtime->path(), m_temp->path());
        QVERIFY(program.start());
        QVERIFY2(program.waitFor(said), qPrintable(program.log() + program.err()));
        if (exitCode == 0) {
            QVERIFY(program.waitFor(QStringLiteral("settings file"))); // start-up reads the settings after the data
            program.signal(SIGTERM);
        }
        QVERIFY2(program.finished(), "the program did not end");
        QVERIFY(program.normalExit());
        QCOMPARE(program.exitCode(), exitCode);
        const QString log = program.log();
        QVERIFY(log.trimmed().endsWith(QStringLiteral("Kelvora ended")));
        if (exitCode == 2) {
            // The one warning, and its reason for the log and a supervisor's journal.
            QCOMPARE(log.count(QStringLiteral("[Warning]")), 1);
            QVERIFY(log.contains(QStringLiteral("message box [Warning] 数据连接失败!")));
            QVERIFY(log.contains(QStringLiteral("数据连接失败! ") + database));
            QVERIFY2(program.err().contains(QStringLiteral("数据连接失败! ") + database), qPrintable(program.err()));
            QCOMPARE(readFile(m_folder->filePath(QStringLiteral("setinfo.ini"))), Settings);
        } else {
            QVERIFY(log.contains(QStringLiteral("signal 15")));
        }
        if (locker.isOpen()) {
            QSqlQuery(locker).exec(QStringLiteral("ROLLBACK"));
            locker.close();
        }
        locker = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("locker"));
    }

    // From the moment the program runs, a signal ends it cleanly: during start-up too.
    void aSignalDuringStartUp_data()
    {
        QTest::addColumn<int>("number");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }

    void aSignalDuringStartUp()
    {
        QFETCH(int, number);
        TDM::createDatabase(m_folder->filePath(QStringLiteral("draft.dat")));
        QVERIFY(writeFile(m_folder->filePath(QStringLiteral("setinfo.ini")), Settings));
        Program program(m_folder->path(), m_runtime->path(), m_temp->path());
        QVERIFY(program.start());
        QVERIFY(program.waitFor(QStringLiteral("started (headless)")));
        program.signal(number);
        QVERIFY2(program.finished(), "the program did not end");
        QVERIFY(program.normalExit());
        QCOMPARE(program.exitCode(), 0);
        const QString log = program.log();
        QVERIFY2(log.contains(QStringLiteral("signal %1").arg(number)), qPrintable(log));
        QCOMPARE(log.count(QStringLiteral("signal ")), 1);
        QVERIFY(log.trimmed().endsWith(QStringLiteral("Kelvora ended")));
        // It ended as the close button does: the voice values are in the file.
        QVERIFY(readFile(m_folder->filePath(QStringLiteral("setinfo.ini"))).contains("VoiceName="));
    }

    // setinfo.ini on a full file system: start-up's write of Next_month and the close's save are both
    // refused and said, naming the file; the file keeps every byte, and the exit code tells it.
    void aFullDiskKeepsTheSettings()
    {
        FullDisk disk(QFileInfo(QStringLiteral(KELVORA_BINARY)).size() + 2 * 1024 * 1024);
        if (!disk.available()) {
            KELVORA_SKIP("a tmpfs cannot be mounted here (not root?)");
        }
        QVERIFY(QFile::copy(QStringLiteral(KELVORA_BINARY), disk.file(QStringLiteral("kelvora"))));
        TDM::createDatabase(disk.file(QStringLiteral("draft.dat")));
        QVERIFY(writeFile(disk.file(QStringLiteral("setinfo.ini")), Settings));
        const QByteArray database = readFile(disk.file(QStringLiteral("draft.dat")));
        disk.fill();

        Program program(disk.path(), m_runtime->path(), m_temp->path());
        QVERIFY(program.start());
        const QString refused = QStringLiteral("无法写入设置文件 ") + disk.file(QStringLiteral("setinfo.ini"));
        QVERIFY2(program.waitFor(refused), qPrintable(program.err()));
        QCOMPARE(readFile(disk.file(QStringLiteral("setinfo.ini"))), Settings);
        program.signal(SIGTERM);
        QVERIFY2(program.finished(), "the program did not end");
        QVERIFY(program.normalExit());
        QCOMPARE(program.exitCode(), 1);
        // Both writes were said (the log itself cannot be written: its lines went to standard error).
        QCOMPARE(program.err().count(QStringLiteral("error box [Kelvora] ") + refused), 2);
        QVERIFY(program.err().contains(QStringLiteral("Kelvora ended")));
        QCOMPARE(readFile(disk.file(QStringLiteral("setinfo.ini"))), Settings);
        QCOMPARE(readFile(disk.file(QStringLiteral("draft.dat"))), database);
        QStringList files = QDir(disk.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
        files.sort();
        QCOMPARE(files,
                 QStringList({ QStringLiteral(".filler"), QStringLiteral("draft.dat"), QStringLiteral("kelvora"),
                               QStringLiteral("setinfo.ini") }));
    }

    // A second copy ends with exit code 3 and says where the lock is and who holds it.
    void aSecondCopy_data()
    {
        QTest::addColumn<bool>("firstFromCron"); // started without a runtime folder, before any log-in
        QTest::newRow("two desktop copies") << false;
        QTest::newRow("cron first, then the desktop") << true;
    }

    void aSecondCopy()
    {
        QFETCH(bool, firstFromCron);
        const QString runUser = QStringLiteral("/run/user/%1").arg(::getuid());
        if (firstFromCron && QFileInfo::exists(runUser)) {
            KELVORA_SKIP("this machine has a session folder; the cron copy would lock the real one");
        }
        TDM::createDatabase(m_folder->filePath(QStringLiteral("draft.dat")));
        Program first(m_folder->path(), firstFromCron ? QString() : m_runtime->path(), m_temp->path());
        QVERIFY(first.start());
        QVERIFY(first.waitFor(QStringLiteral("settings file")));

        QTemporaryDir secondFolder;
        TDM::createDatabase(QDir(secondFolder.path()).filePath(QStringLiteral("draft.dat")));
        Program second(secondFolder.path(), m_runtime->path(), m_temp->path());
        QVERIFY(second.start());
        QVERIFY2(second.finished(), "the second copy did not end");
        QVERIFY(second.normalExit());
        QCOMPARE(second.exitCode(), 3);
        const QString lock = firstFromCron ? QStringLiteral("%1/kelvora-%2/Kelvora").arg(m_temp->path()).arg(::getuid())
                                           : m_runtime->path() + QStringLiteral("/Kelvora");
        const QString said = QStringLiteral("程序已经在运行中! %1: held by process %2").arg(lock).arg(first.pid());
        QVERIFY2(second.err().contains(said), qPrintable(second.err()));
        QVERIFY(second.log().contains(QStringLiteral("error box [Kelvora! !] 程序已经在运行中!")));
        QVERIFY(first.log().contains(QStringLiteral("started (headless)")));

        first.signal(SIGTERM);
        QVERIFY(first.finished());
        QCOMPARE(first.exitCode(), 0);
    }

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<QTemporaryDir> m_runtime;
    std::unique_ptr<QTemporaryDir> m_temp;
};

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
