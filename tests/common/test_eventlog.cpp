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
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// How many of this process's descriptors are open on path.
int openDescriptors(const QString& path)
{
    const QString target = QFileInfo(path).canonicalFilePath().isEmpty() ? path : QFileInfo(path).canonicalFilePath();
    int count = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        if (fd.symLinkTarget() == target) {
            ++count;
        }
    }
    return count;
}

} // namespace

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

    // The log is opened once and stays open between lines; each line is in the file as soon as it is
    // logged (nothing waits in a buffer for a crash to lose).
    void theFileStaysOpenBetweenLines()
    {
        TestFolder folder;
        FakeClock clock(2024, 3, 4, 9, 0, 0);
        const QString path = folder.file(QStringLiteral("kelvora.log"));
        QCOMPARE(openDescriptors(path), 0);
        EventLog::open(path, false, &clock);
        for (int i = 0; i < 3; ++i) {
            logEvent(QStringLiteral("line %1").arg(i));
            QCOMPARE(folder.read(QStringLiteral("kelvora.log")).count('\n'), i + 1);
            QCOMPARE(openDescriptors(path), 1);
        }
        EventLog::close();
        QCOMPARE(openDescriptors(path), 0);
    }

    // Somebody else removes the log, or renames it away (log rotation): the next line goes to a file of
    // the log's name again, with the permissions of a new log, not into the one that went.
    void aRemovedOrRotatedLogIsFollowed_data()
    {
        QTest::addColumn<bool>("rename");
        QTest::addColumn<bool>("replace");
        QTest::newRow("removed") << false << false;
        QTest::newRow("renamed away") << true << false;
        QTest::newRow("renamed and replaced") << true << true;
    }
    void aRemovedOrRotatedLogIsFollowed()
    {
        QFETCH(bool, rename);
        QFETCH(bool, replace);
        TestFolder folder;
        FakeClock clock(2024, 3, 4, 9, 0, 0);
        const QString path = folder.file(QStringLiteral("kelvora.log"));
        EventLog::open(path, false, &clock);
        logEvent(QStringLiteral("first"));
        if (rename) {
            QVERIFY(QFile::rename(path, path + QStringLiteral(".old")));
        } else {
            QVERIFY(QFile::remove(path));
        }
        if (replace) {
            folder.write(QStringLiteral("kelvora.log"), "kept\n");
        }
        logEvent(QStringLiteral("second"));
        const QByteArray now = folder.read(QStringLiteral("kelvora.log"));
        QCOMPARE(now, QByteArray(replace ? "kept\n" : "") + "2024-03-04T09:00:00.000 second\n");
        if (rename) {
            QCOMPARE(folder.read(QStringLiteral("kelvora.log.old")), QByteArray("2024-03-04T09:00:00.000 first\n"));
        }
        if (!replace) {
            struct stat info = {};
            QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
            QCOMPARE(int(info.st_mode & 0777), 0600);
        }
        QCOMPARE(openDescriptors(path), 1);
    }

    // Lines from many threads at once come out whole, none torn into another.
    void linesFromManyThreadsStayWhole()
    {
        TestFolder folder;
        FakeClock clock(2024, 3, 4, 9, 0, 0);
        EventLog::open(folder.file(QStringLiteral("kelvora.log")), false, &clock, 64 * 1024 * 1024);
        const QString payload(200, QLatin1Char('x'));
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([t, &payload] {
                for (int i = 0; i < 200; ++i) {
                    logEvent(QStringLiteral("thread %1 line %2 ").arg(t).arg(i) + payload);
                }
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        const QList<QByteArray> lines = folder.read(QStringLiteral("kelvora.log")).split('\n');
        QCOMPARE(lines.size(), 4 * 200 + 1);
        QVERIFY(lines.last().isEmpty());
        for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
            QVERIFY2(lines.at(i).startsWith("2024-03-04T09:00:00.000 thread ")
                         && lines.at(i).endsWith(payload.toLatin1()),
                     lines.at(i).constData());
        }
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
