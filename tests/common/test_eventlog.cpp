#include "ciskip.h"
#include "common/dialogs.h"
#include "common/eventlog.h"
#include "common/loggingdialogs.h"
#include "fakeclock.h"
#include "fulldisk.h"
#include "recordingdialogs.h"
#include "testfolder.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

class TestEventLog : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { EventLog::close(); }

    void linesStartWithTheTime()
    {
        TestFolder folder;
        FakeClock clock(2024, 3, 4, 9, 0, 5);
        logEvent(QStringLiteral("before opening"));
        EventLog::open(folder.file(QStringLiteral("kelvora.log")), false, &clock);
        logEvent(QStringLiteral("广播开始"));
        clock.advance(1500);
        logEvent(QStringLiteral("two\nlines"));
        QCOMPARE(folder.read(QStringLiteral("kelvora.log")),
                 QStringLiteral("2024-03-04T09:00:05.000 广播开始\n2024-03-04T09:00:06.500 two lines\n").toUtf8());
    }

    void fileStaysBounded()
    {
        TestFolder folder;
        FakeClock clock;
        EventLog::open(folder.file(QStringLiteral("kelvora.log")), false, &clock, 1000);
        for (int i = 0; i < 200; ++i) {
            logEvent(QStringLiteral("event %1").arg(i));
        }
        QVERIFY(QFileInfo(folder.file(QStringLiteral("kelvora.log"))).size() <= 1000);
        QVERIFY(QFileInfo(folder.file(QStringLiteral("kelvora.log.1"))).size() <= 1000);
        QVERIFY(folder.read(QStringLiteral("kelvora.log")).endsWith("event 199\n"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), 2);
    }

    void unwritableLogDoesNotStopAnything()
    {
        TestFolder folder;
        QDir().mkpath(folder.file(QStringLiteral("kelvora.log"))); // a folder in the way
        EventLog::open(folder.file(QStringLiteral("kelvora.log")), false);
        // Standard error goes to a file meanwhile, to count the complaints.
        const QString errPath = folder.file(QStringLiteral("stderr.txt"));
        fflush(stderr);
        const int saved = dup(2);
        FILE* err = fopen(QFile::encodeName(errPath).constData(), "w");
        QVERIFY(err);
        dup2(fileno(err), 2);
        logEvent(QStringLiteral("lost"));
        logEvent(QStringLiteral("lost again"));
        fflush(stderr);
        dup2(saved, 2);
        ::close(saved);
        fclose(err);
        QVERIFY(EventLog::isOpen());
        const QString said = QString::fromUtf8(folder.read(QStringLiteral("stderr.txt")));
        QCOMPARE(said.count(QStringLiteral("cannot write the event log")), 1);
        QVERIFY(said.contains(folder.file(QStringLiteral("kelvora.log"))));
        // The events themselves are not lost: standard error has them.
        QVERIFY(said.contains(QStringLiteral(" lost\n")));
        QVERIFY(said.contains(QStringLiteral(" lost again\n")));
    }

    // The log holds names: a new one is its owner's; one that follows a full one keeps the old one's.
    void permissions_data()
    {
        QTest::addColumn<int>("oldMode"); // 0: no log yet
        QTest::addColumn<int>("mode");
        QTest::newRow("a new log") << 0 << 0600;
        QTest::newRow("after a shared log") << 0644 << 0644;
        QTest::newRow("after a private log") << 0600 << 0600;
    }

    void permissions()
    {
        QFETCH(int, oldMode);
        QFETCH(int, mode);
        TestFolder folder;
        FakeClock clock;
        const QString path = folder.file(QStringLiteral("kelvora.log"));
        if (oldMode != 0) {
            folder.write(QStringLiteral("kelvora.log"), QByteArray(990, 'x'));
            QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(oldMode)) == 0);
        }
        EventLog::open(path, false, &clock, 1000);
        logEvent(QStringLiteral("past the limit of the old file"));
        QVERIFY(folder.read(QStringLiteral("kelvora.log")).endsWith("past the limit of the old file\n"));
        struct stat info = {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
        QCOMPARE(int(info.st_mode & 0777), mode);
    }

    // A full disk: no half line stays in the log, the line goes to standard error instead.
    void aFullDiskLeavesNoHalfLine()
    {
        FullDisk disk;
        if (!disk.available()) {
            KELVORA_SKIP("a tmpfs cannot be mounted here (not root?)");
        }
        FakeClock clock;
        const QString path = disk.file(QStringLiteral("kelvora.log"));
        EventLog::open(path, false, &clock);
        logEvent(QStringLiteral("before"));
        disk.fill();
        fflush(stderr);
        const int saved = dup(2);
        TestFolder folder;
        FILE* err = fopen(QFile::encodeName(folder.file(QStringLiteral("stderr.txt"))).constData(), "w");
        QVERIFY(err);
        dup2(fileno(err), 2);
        // Longer than what is left of the file's last page.
        logEvent(QStringLiteral("张三生日，") + QString(6000, QLatin1Char('x')));
        fflush(stderr);
        dup2(saved, 2);
        ::close(saved);
        fclose(err);
        QFile log(path);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray content = log.readAll();
        QVERIFY2(content.endsWith(" before\n"), content.constData());
        QCOMPARE(content.count('\n'), 1);
        QVERIFY(folder.read(QStringLiteral("stderr.txt")).contains("张三生日，xxx"));
    }

    void boxesAreLoggedWithTheirAnswers()
    {
        TestFolder folder;
        FakeClock clock(2024, 3, 4, 9, 0, 0);
        RecordingDialogs recording;
        LoggingDialogs logging(recording);
        EventLog::open(folder.file(QStringLiteral("kelvora.log")), false, &clock);
        recording.answerNextQuestion(true);
        QVERIFY(logging.message(Dialogs::Icon::Question, QStringLiteral("Confirm"), QStringLiteral("确信要删除该记录?"),
                                Dialogs::Buttons::YesNo));
        QCOMPARE(recording.takeTexts(), QStringList { QStringLiteral("确信要删除该记录?") });
        const QString log = QString::fromUtf8(folder.read(QStringLiteral("kelvora.log")));
        QVERIFY(log.contains(QStringLiteral("message box [Confirm] 确信要删除该记录?")));
        QVERIFY(log.contains(QStringLiteral("answered Yes")));
    }
};

QTEST_GUILESS_MAIN(TestEventLog)
#include "test_eventlog.moc"
