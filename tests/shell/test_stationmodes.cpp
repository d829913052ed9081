// The real program as installed beside /usr/share/kelvora, copied into a folder of its own, or pointed at a
// folder with --folder: where its settings, database and log end up, with a fresh home folder and with a
// program folder nobody may write.

#include "ciskip.h"
#include "data/tdm.h"
#include "readonlyfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The names in the roster of a database file.
QStringList rosterNames(const QString& path)
{
    QStringList names;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("modes-read"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(QStringLiteral("SELECT emp_name FROM birthday ORDER BY emp_name"), db);
            while (query.next()) {
                names.append(query.value(0).toString());
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("modes-read"));
    return names;
}

bool addPerson(const QString& path, const QString& name)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("modes-write"));
        db.setDatabaseName(path);
        ok = db.open()
            && QSqlQuery(db).exec(
                QStringLiteral("INSERT INTO birthday (emp_name, birthday, indate) VALUES ('%1', '1990-01-02', "
                               "'2015-03-04')")
                    .arg(name));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("modes-write"));
    return ok;
}

QStringList entries(const QString& folder)
{
    QStringList names = QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    names.sort();
    return names;
}

} // namespace

class TestStationModes final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(path(QStringLiteral("usr/bin"))));
        QVERIFY(QDir().mkpath(path(QStringLiteral("home"))));
        QVERIFY(QDir().mkpath(path(QStringLiteral("runtime"))));
        QVERIFY(QDir().mkpath(path(QStringLiteral("tmp"))));
        // The program and its shared files as a package installs them.
        const QString program = path(QStringLiteral("usr/bin/kelvora"));
        if (::link(KELVORA_BINARY, QFile::encodeName(program).constData()) != 0) {
            QVERIFY(QFile::copy(QStringLiteral(KELVORA_BINARY), program));
        }
        QVERIFY(QDir().mkpath(path(QStringLiteral("usr/share/kelvora"))));
        TDM::createDatabase(path(QStringLiteral("usr/share/kelvora/draft.dat")));
    }

    void cleanup() { m_root.reset(); }

    // A package's program (in a folder nobody may write) with a home folder that has never seen it:
    // the settings, the roster and the log go to the XDG folders, and they are really written.
    void installedWithAFreshHome()
    {
        ReadOnlyFolder readOnly(path(QStringLiteral("usr")));
        if (!readOnly.available()) {
            KELVORA_SKIP(qPrintable(readOnly.failure()));
        }
        QProcess station;
        start(station, {});
        const QString log = path(QStringLiteral("home/.local/state/kelvora/kelvora.log"));
        QVERIFY2(waitFor(station, log, QStringLiteral("settings file")), qPrintable(readFile(log)));
        stop(station);
        QCOMPARE(station.exitCode(), 0);

        const QString settings = path(QStringLiteral("home/.config/kelvora/setinfo.ini"));
        QVERIFY2(readFile(settings).contains("Next_month=1"), readFile(settings).constData());
        QVERIFY(readFile(settings).contains("VoiceName=")); // the closing save
        const QString database = path(QStringLiteral("home/.local/share/kelvora/draft.dat"));
        QCOMPARE(readFile(database), readFile(path(QStringLiteral("usr/share/kelvora/draft.dat"))));
        QVERIFY(QFileInfo(path(QStringLiteral("home/.local/share/kelvora/mp3files"))).isDir());
        const QString events = QString::fromUtf8(readFile(log));
        QVERIFY2(events.contains(QStringLiteral("station folders (installed)")), qPrintable(events));
        QVERIFY(events.contains(QStringLiteral("copied from ") + path(QStringLiteral("usr/share/kelvora/draft.dat"))));
        QVERIFY(events.trimmed().endsWith(QStringLiteral("Kelvora ended")));
        QCOMPARE(entries(path(QStringLiteral("usr/bin"))), QStringList { QStringLiteral("kelvora") });
    }

    // The first start copies the template; a later start, or one after the user's roster grew, keeps
    // the roster it finds.
    void theTemplateNeverReplacesTheRoster()
    {
        const QString database = path(QStringLiteral("home/.local/share/kelvora/draft.dat"));
        QVERIFY(QDir().mkpath(QFileInfo(database).absolutePath()));
        TDM::createDatabase(database);
        QVERIFY(addPerson(database, QStringLiteral("钱五")));
        QVERIFY(addPerson(path(QStringLiteral("usr/share/kelvora/draft.dat")), QStringLiteral("模板")));
        for (int run = 0; run < 2; ++run) {
            QFile::remove(path(QStringLiteral("home/.local/state/kelvora/kelvora.log"))); // this run's lines only
            QProcess station;
            start(station, {});
            QVERIFY(waitFor(station, path(QStringLiteral("home/.local/state/kelvora/kelvora.log")),
                            QStringLiteral("settings file")));
            stop(station);
            QCOMPARE(station.exitCode(), 0);
            QVERIFY(rosterNames(database).contains(QStringLiteral("钱五")));
            QVERIFY(!rosterNames(database).contains(QStringLiteral("模板")));
        }
    }

    // A copied folder that holds the station's files stays the station's even when it cannot be
    // written: the refused writes are reported (on standard error, as the log cannot be written
    // either), the closing save's refusal gives exit code 1, and nothing appears in the home folder.
    void readOnlyPortableFolder()
    {
        TDM::createDatabase(path(QStringLiteral("usr/bin/draft.dat")));
        const QByteArray settings = "[System]\r\nNext_month=0\r\n";
        QVERIFY(writeFile(path(QStringLiteral("usr/bin/setinfo.ini")), settings));
        ReadOnlyFolder readOnly(path(QStringLiteral("usr/bin")));
        if (!readOnly.available()) {
            KELVORA_SKIP(qPrintable(readOnly.failure()));
        }
        QProcess station;
        start(station, {});
        QVERIFY(waitFor(station, QString(), path(QStringLiteral("usr/bin/setinfo.ini"))));
        stop(station);
        QCOMPARE(station.exitCode(), 1);
        QVERIFY2(m_err.contains(QStringLiteral("station folder ") + path(QStringLiteral("usr/bin/"))),
                 qPrintable(m_err));
        QCOMPARE(readFile(path(QStringLiteral("usr/bin/setinfo.ini"))), settings);
        QCOMPARE(entries(path(QStringLiteral("home"))), QStringList());
    }

    // --folder puts everything in one folder, over a portable program folder and the XDG folders; the
    // previews read from it and make nothing.
    void chosenFolder()
    {
        TDM::createDatabase(path(QStringLiteral("usr/bin/draft.dat")));
        const QByteArray programDatabase = readFile(path(QStringLiteral("usr/bin/draft.dat")));
        const QString folder = path(QStringLiteral("station"));
        QProcess station;
        start(station, { QStringLiteral("--folder"), folder });
        QVERIFY(waitFor(station, folder + QStringLiteral("/kelvora.log"), QStringLiteral("settings file")));
        stop(station);
        QCOMPARE(station.exitCode(), 0);
        QCOMPARE(entries(folder),
                 QStringList({ QStringLiteral("draft.dat"), QStringLiteral("kelvora.log"), QStringLiteral("mp3files"),
                               QStringLiteral("setinfo.ini") }));
        QCOMPARE(readFile(path(QStringLiteral("usr/bin/draft.dat"))), programDatabase);
        QCOMPARE(entries(path(QStringLiteral("usr/bin"))),
                 QStringList({ QStringLiteral("draft.dat"), QStringLiteral("kelvora") }));
        QCOMPARE(entries(path(QStringLiteral("home"))), QStringList());

        QVERIFY(addPerson(folder + QStringLiteral("/draft.dat"), QStringLiteral("孙四")));
        QCOMPARE(run({ QStringLiteral("--folder"), folder, QStringLiteral("--export"), path(QStringLiteral("x.csv")),
                       QStringLiteral("--format"), QStringLiteral("csv-utf8") }),
                 0);
        QVERIFY(QString::fromUtf8(readFile(path(QStringLiteral("x.csv")))).contains(QStringLiteral("孙四")));
        const QString nowhere = path(QStringLiteral("nowhere"));
        QCOMPARE(run({ QStringLiteral("--announcement"), QStringLiteral("--folder"), nowhere }), 1);
        QVERIFY2(m_err.contains(nowhere + QStringLiteral("/draft.dat does not exist")), qPrintable(m_err));
        QVERIFY(!QFileInfo::exists(nowhere));
    }

    // One copy per user wherever its files are.
    void anotherFolderIsNotAnotherStation()
    {
        QProcess first;
        start(first, { QStringLiteral("--folder"), path(QStringLiteral("one")) });
        QVERIFY(waitFor(first, path(QStringLiteral("one/kelvora.log")), QStringLiteral("settings file")));
        QCOMPARE(run({ QStringLiteral("--headless"), QStringLiteral("--folder"), path(QStringLiteral("two")) }), 3);
        // The box keeps its text; its details (and the log) name the lock and who holds it.
        const QString log = QString::fromUtf8(readFile(path(QStringLiteral("two/kelvora.log"))));
        QVERIFY2(log.contains(QStringLiteral("程序已经在运行中! (details: ") + path(QStringLiteral("runtime/Kelvora"))),
                 qPrintable(log));
        stop(first);
        QCOMPARE(first.exitCode(), 0);
    }

private:
    QString path(const QString& relative) const { return QDir::cleanPath(m_root->filePath(relative)); }

    void setUp(QProcess& process, const QStringList& arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
        environment.insert(QStringLiteral("HOME"), path(QStringLiteral("home")));
        for (const char* name :
             { "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "QT_QPA_PLATFORM", "DISPLAY" }) {
            environment.remove(QString::fromLatin1(name));
        }
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), path(QStringLiteral("runtime")));
        environment.insert(QStringLiteral("TMPDIR"), path(QStringLiteral("tmp")));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(path(QStringLiteral("tmp")));
        process.setProgram(path(QStringLiteral("usr/bin/kelvora")));
        process.setArguments(arguments);
        m_err.clear();
    }

    void start(QProcess& process, const QStringList& arguments)
    {
        setUp(process, QStringList { QStringLiteral("--headless") } + arguments);
        process.start();
        QVERIFY(process.waitForStarted(10000));
    }

    // A command run to its end; its exit code.
    int run(const QStringList& arguments)
    {
        QProcess process;
        setUp(process, arguments);
        process.start();
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        m_err = QString::fromUtf8(process.readAllStandardError());
        return process.exitCode();
    }

    // Until the log (or standard error) says the text.
    bool waitFor(QProcess& process, const QString& log, const QString& text)
    {
        for (int waited = 0; waited < 20000; waited += 50) {
            m_err += QString::fromUtf8(process.readAllStandardError());
            if ((!log.isEmpty() && QString::fromUtf8(readFile(log)).contains(text)) || m_err.contains(text)) {
                return true;
            }
            if (process.state() == QProcess::NotRunning) {
                return false;
            }
            process.waitForReadyRead(50);
        }
        return false;
    }

    void stop(QProcess& process)
    {
        ::kill(pid_t(process.processId()), SIGTERM);
        QVERIFY2(process.waitForFinished(20000), "the station did not end");
        m_err += QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    }

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_err;
};

QTEST_GUILESS_MAIN(TestStationModes)
#include "test_stationmodes.moc"
