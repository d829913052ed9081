#include "ciskip.h"
#include "common/instanceguard.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// /run/user and /tmp of a machine, in a folder of the test's own.
class Machine
{
public:
    Machine()
    {
        QDir().mkpath(runUserRoot());
        QDir().mkpath(tempRoot());
    }
    QString runUserRoot() const { return m_dir.filePath(QStringLiteral("run/user")); }
    QString runUser() const { return runUserRoot() + QStringLiteral("/%1").arg(::getuid()); }
    QString tempRoot() const { return m_dir.filePath(QStringLiteral("tmp")); }
    QString tempFolder() const { return tempRoot() + QStringLiteral("/kelvora-%1").arg(::getuid()); }
    // The user logs in: the session's runtime folder appears.
    void logIn() const { QDir().mkpath(runUser()); }
    QString elsewhere() const { return m_dir.filePath(QStringLiteral("elsewhere")); }

    // How a start of the given kind sees the machine.
    LockPlaces places(const QString& kind) const
    {
        LockPlaces places;
        places.runUserRoot = runUserRoot();
        places.tempRoot = tempRoot();
        places.uid = ::getuid();
        if (kind == QStringLiteral("desktop")) {
            places.runtimeDir = runUser(); // what the session sets
        } else if (kind == QStringLiteral("elsewhere")) {
            places.runtimeDir = elsewhere();
        } else if (kind == QStringLiteral("relative")) {
            places.runtimeDir = QStringLiteral("run");
        }
        return places; // "cron": no runtime folder named
    }

private:
    QTemporaryDir m_dir;
};

mode_t modeOf(const QString& path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

} // namespace

// One copy of the station per user, however each copy was started.
class TestInstanceGuard final : public QObject
{
    Q_OBJECT

private slots:
    void whereTheLockIsLooked_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<QStringList>("folders"); // r: /run/user/UID, t: /tmp/kelvora-UID, e: elsewhere
        QTest::newRow("desktop") << "desktop" << true << QStringList { "r", "t" };
        QTest::newRow("cron, somebody logged in") << "cron" << true << QStringList { "r", "t" };
        QTest::newRow("cron before anybody logged in") << "cron" << false << QStringList { "t" };
        QTest::newRow("runtime folder elsewhere") << "elsewhere" << true << QStringList { "e", "r", "t" };
        QTest::newRow("a relative runtime folder is no folder") << "relative" << false << QStringList { "t" };
    }

    void whereTheLockIsLooked()
    {
        QFETCH(QString, kind);
        QFETCH(bool, loggedIn);
        QFETCH(QStringList, folders);
        Machine machine;
        if (loggedIn) {
            machine.logIn();
        }
        QStringList expected;
        for (const QString& folder : std::as_const(folders)) {
            expected.append(folder == QStringLiteral("r")       ? machine.runUser()
                                : folder == QStringLiteral("t") ? machine.tempFolder()
                                                                : machine.elsewhere());
        }
        InstanceGuard guard(machine.places(kind));
        QCOMPARE(guard.folders(), expected);
        QVERIFY(guard.tryAcquire());
        QCOMPARE(guard.lockPath(), expected.first() + QStringLiteral("/Kelvora"));
    }

    void everyStartFindsTheCopyThatRuns_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("logInBetween"); // nobody is logged in when the first starts
        QTest::newRow("desktop, then cron") << "desktop"
                                            << "cron" << false;
        QTest::newRow("cron, then desktop") << "cron"
                                            << "desktop" << false;
        QTest::newRow("cron at boot, desktop after the log-in") << "cron"
                                                                << "desktop" << true;
        QTest::newRow("two desktops") << "desktop"
                                      << "desktop" << false;
        QTest::newRow("two crons at boot") << "cron"
                                           << "cron" << true;
        // A runtime folder named elsewhere (not the session's) still sees the others; they do not see it.
        QTest::newRow("cron at boot, then runtime folder elsewhere") << "cron"
                                                                     << "elsewhere" << true;
        QTest::newRow("cron with a session, then runtime folder elsewhere") << "cron"
                                                                            << "elsewhere" << false;
    }

    void everyStartFindsTheCopyThatRuns()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(bool, logInBetween);
        Machine machine;
        if (!logInBetween || first == QStringLiteral("desktop")) {
            machine.logIn();
        }
        InstanceGuard running(machine.places(first));
        QVERIFY(running.tryAcquire());
        machine.logIn();
        InstanceGuard another(machine.places(second));
        QVERIFY(!another.tryAcquire());
        QVERIFY(another.running());
        QVERIFY2(another.failure().contains(QStringLiteral("held by process %1").arg(::getpid())),
                 qPrintable(another.failure()));
        // Once the first ends, the next start runs.
        running.~InstanceGuard();
        new (&running) InstanceGuard(machine.places(first));
        InstanceGuard next(machine.places(second));
        QVERIFY(next.tryAcquire());
    }

    void theTemporaryFolderMustBeTheUsersOwn_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("usable");
        QTest::newRow("made by the guard") << "missing" << true;
        QTest::newRow("open to everybody: closed") << "0777" << true;
        QTest::newRow("a symbolic link") << "link" << false;
        QTest::newRow("another user's") << "foreign" << false;
        QTest::newRow("a file") << "file" << false;
    }

    void theTemporaryFolderMustBeTheUsersOwn()
    {
        QFETCH(QString, kind);
        QFETCH(bool, usable);
        Machine machine;
        const QString folder = machine.tempFolder();
        const QByteArray path = QFile::encodeName(folder);
        if (kind == QStringLiteral("0777")) {
            QCOMPARE(::mkdir(path.constData(), 0700), 0);
            QCOMPARE(::chmod(path.constData(), 0777), 0);
        } else if (kind == QStringLiteral("link")) {
            QVERIFY(QDir().mkpath(machine.elsewhere()));
            QVERIFY(QFile::link(machine.elsewhere(), folder));
        } else if (kind == QStringLiteral("foreign")) {
            if (::geteuid() != 0) {
                KELVORA_SKIP("only root can give a folder to another user");
            }
            QCOMPARE(::mkdir(path.constData(), 0777), 0);
            QCOMPARE(::chown(path.constData(), ::getuid() + 4242, ::getgid()), 0);
        } else if (kind == QStringLiteral("file")) {
            QFile file(folder);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        InstanceGuard guard(machine.places(QStringLiteral("cron")));
        QCOMPARE(guard.tryAcquire(), usable);
        if (usable) {
            QCOMPARE(int(modeOf(folder)), 0700);
            QCOMPARE(guard.lockPath(), folder + QStringLiteral("/Kelvora"));
        } else {
            QVERIFY(!guard.running()); // no lock anywhere: the station runs unguarded, and says why
            QVERIFY2(guard.failure().contains(folder), qPrintable(guard.failure()));
            QVERIFY(!QFile::exists(machine.elsewhere() + QStringLiteral("/Kelvora")));
        }
    }

    // A copy killed outright never removes its lock file; the next start takes it over, wherever it is.
    void aKilledCopysLockIsTakenOver_data()
    {
        QTest::addColumn<QString>("killed");
        QTest::addColumn<QString>("next");
        QTest::newRow("same place") << "cron"
                                    << "cron";
        QTest::newRow("a place only looked at") << "cron"
                                                << "desktop";
    }

    void aKilledCopysLockIsTakenOver()
    {
        QFETCH(QString, killed);
        QFETCH(QString, next);
        Machine machine;
        const pid_t child = ::fork();
        if (child == 0) {
            InstanceGuard guard(machine.places(killed));
            ::_exit(guard.tryAcquire() ? 0 : 1);
        }
        int status = -1;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QCOMPARE(WEXITSTATUS(status), 0);
        QVERIFY(QFile::exists(machine.tempFolder() + QStringLiteral("/Kelvora")));
        machine.logIn();
        InstanceGuard guard(machine.places(next));
        QVERIFY2(guard.tryAcquire(), qPrintable(guard.failure()));
    }
};

QTEST_GUILESS_MAIN(TestInstanceGuard)
#include "test_instanceguard.moc"
