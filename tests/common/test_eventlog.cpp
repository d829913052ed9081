#include "common/dialogs.h"
#include "common/eventlog.h"
#include "common/loggingdialogs.h"
#include "fakeclock.h"
#include "recordingdialogs.h"
#include "testfolder.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <cstdio>
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
        EventLog::open(folder.file(QStringLiteral("kelvora.log")), false);
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
        EventLog::open(folder.file(QStringLiteral("kelvora.log")), false, 1000);
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
    }

    void boxesAreLoggedWithTheirAnswers()
    {
        TestFolder folder;
        FakeClock clock(2024, 3, 4, 9, 0, 0);
        RecordingDialogs recording;
        LoggingDialogs logging(recording);
        EventLog::open(folder.file(QStringLiteral("kelvora.log")), false);
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
