#include "common/ansi.h"
#include "common/clock.h"
#include "common/helpers.h"
#include "common/instanceguard.h"
#include "fakeclock.h"
#include "recordingdialogs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/wait.h>
#include <unistd.h>

class TestHelpers : public QObject
{
    Q_OBJECT

private slots:
    void rightpart_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("expected");
        QTest::newRow("date tail") << QStringLiteral("2024-03-15") << 5 << QStringLiteral("03-15");
        QTest::newRow("shorter") << QStringLiteral("2024-03-15") << 20 << QStringLiteral("2024-03-15");
        QTest::newRow("chinese counts 2") << QStringLiteral("生日快乐") << 4 << QStringLiteral("快乐");
        QTest::newRow("never half a char") << QStringLiteral("生日快乐") << 3 << QStringLiteral("乐");
        QTest::newRow("zero") << QStringLiteral("abc") << 0 << QString();
    }

    void rightpart()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        QFETCH(QString, expected);
        QCOMPARE(::rightpart(text, count), expected);
    }

    void padleft_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one digit") << QStringLiteral("3") << QStringLiteral("03");
        QTest::newRow("two digits") << QStringLiteral("12") << QStringLiteral("12");
        QTest::newRow("three digits") << QStringLiteral("123") << QStringLiteral("123");
        QTest::newRow("empty") << QString() << QStringLiteral("00");
        QTest::newRow("chinese is already 2 bytes") << QStringLiteral("月") << QStringLiteral("月");
    }

    void padleft()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(::padleft(text, 2, QLatin1Char('0')), expected);
    }

    // The export and import choosers start in the documents folder, or at home when there is none.
    void documentsFolderOrHome()
    {
        QTemporaryDir home;
        const QByteArray before = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        const QString withoutDocuments = documentsdir();
        QDir().mkpath(home.filePath(QStringLiteral("Documents")));
        const QString withDocuments = documentsdir();
        qputenv("HOME", before);
        QCOMPARE(withoutDocuments, home.path() + QLatin1Char('/'));
        QCOMPARE(withDocuments, home.filePath(QStringLiteral("Documents")) + QLatin1Char('/'));
    }

    void withslash()
    {
        QCOMPARE(::withslash(QString()), QString());
        QCOMPARE(::withslash(QStringLiteral("/music/")), QStringLiteral("/music/"));
        QCOMPARE(::withslash(QStringLiteral("/music")), QStringLiteral("/music/"));
    }

    void ansiPositions()
    {
        const QString text = QStringLiteral("ab生日c");
        QCOMPARE(Ansi::length(text), 7);
        QCOMPARE(Ansi::byteOffset(text, 3), 4);
        QCOMPARE(Ansi::charPosition(text, 4), 3);
        QCOMPARE(Ansi::charPosition(text, 3), 2); // inside 生: rounds down
        QCOMPARE(Ansi::left(text, 5), QStringLiteral("ab生"));
        QCOMPARE(Ansi::mid(text, 2, 4), QStringLiteral("生日"));
        QCOMPARE(Ansi::encode(QStringLiteral("※")), QByteArray("\xa1\xf9"));
        // Outside GBK: GB18030 keeps it in four bytes, nothing is lost.
        const QString emoji = QString::fromUcs4(U"a\U0001F382b");
        QCOMPARE(Ansi::length(emoji), 6);
        QCOMPARE(Ansi::decode(Ansi::encode(emoji)), emoji);
        QCOMPARE(Ansi::left(emoji, 3), QStringLiteral("a"));
    }

    void boxesHaveTheirTitles()
    {
        RecordingDialogs dialogs;
        warnbox(dialogs, QStringLiteral("w"));
        infobox(dialogs, QStringLiteral("i"));
        dialogs.answerNextQuestion(false);
        QVERIFY(!askbox(dialogs, QStringLiteral("q")));
        dialogs.answerNextQuestion(true);
        QVERIFY(askbox(dialogs, QStringLiteral("q2")));
        const auto boxes = dialogs.takeBoxes();
        QCOMPARE(boxes.size(), 4);
        QCOMPARE(boxes.at(0).caption, QStringLiteral("Warning"));
        QCOMPARE(boxes.at(0).icon, Dialogs::Icon::Warning);
        QCOMPARE(boxes.at(1).caption, QStringLiteral("Information"));
        QCOMPARE(boxes.at(2).caption, QStringLiteral("Confirm"));
        QCOMPARE(boxes.at(2).icon, Dialogs::Icon::Question);
    }

    void waitmsAdvancesTheClockAndServesEvents()
    {
        FakeClock clock(2024, 3, 4, 9, 0, 0);
        bool served = false;
        QTimer::singleShot(0, this, [&] { served = true; });
        waitms(clock, 1300);
        QVERIFY(served);
        QCOMPARE(clock.now().time(), QTime(9, 0, 1, 300));
        waitms(clock, 0); // at least one pass, no time
        QCOMPARE(clock.now().time(), QTime(9, 0, 1, 300));
    }

    void realWaitIsNotBusy()
    {
        // The real wait sleeps between passes: its CPU time stays far below the time waited.
        const clock_t before = std::clock();
        QElapsedTimer elapsed;
        elapsed.start();
        waitms(Clock::system(), 200);
        QVERIFY(elapsed.elapsed() >= 200);
        const double cpuMs = 1000.0 * double(std::clock() - before) / CLOCKS_PER_SEC;
        QVERIFY2(cpuMs < 100, qPrintable(QString::number(cpuMs)));
    }

    void weekdayNames()
    {
        QCOMPARE(weekdayName(QDate(2024, 3, 5)), QStringLiteral("星期二"));
        QCOMPARE(weekdayName(QDate(2024, 3, 10)), QStringLiteral("星期日"));
        QCOMPARE(weekdayName(QDate(2024, 3, 9)), QStringLiteral("星期六"));
    }
    void instanceGuardRefusesALiveCopyAndTakesOverAKilledOne()
    {
        QTemporaryDir runtime;
        {
            InstanceGuard first(runtime.path());
            QVERIFY(first.tryAcquire());
            InstanceGuard second(runtime.path());
            QVERIFY(!second.tryAcquire());
        }
        // A copy killed outright never removes its lock file.
        const pid_t child = fork();
        if (child == 0) {
            InstanceGuard killed(runtime.path());
            _exit(killed.tryAcquire() ? 0 : 1);
        }
        int status = -1;
        QCOMPARE(waitpid(child, &status, 0), child);
        QCOMPARE(WEXITSTATUS(status), 0);
        InstanceGuard next(runtime.path());
        QVERIFY(QFile::exists(next.lockPath()));
        QVERIFY(next.tryAcquire());
    }
};

QTEST_GUILESS_MAIN(TestHelpers)
#include "test_helpers.moc"
