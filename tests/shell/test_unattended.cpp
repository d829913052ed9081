#include "birthdays/birthdaylist.h"
#include "common/errorguard.h"
#include "common/eventlog.h"
#include "common/inifile.h"
#include "common/loggingdialogs.h"
#include "common/readingstate.h"
#include "common/runtimeerror.h"
#include "datafixture.h"
#include "music/musicpanel.h"
#include "recordingaudiolibrary.h"
#include "recordingvoice.h"
#include "schedule/schedulepanel.h"
#include "schedule/timeannouncements.h"
#include "shell/station.h"
#include "shell/termination.h"
#include "shell/tf_speaker.h"
#include "speech/readingcommands.h"
#include "speech/tts.h"
#include "testdatabase.h"
#include "ui_tf_speaker.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSqlDatabase>
#include <QTest>

#include <csignal>

namespace {

const QDate Monday(2024, 3, 4);
const QString System = QStringLiteral("System");

// The log's events without their time stamps.
QStringList loggedEvents(const TestFolder& folder)
{
    QStringList events;
    const QString text = QString::fromUtf8(folder.read(QStringLiteral("kelvora.log")));
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        events.append(line.section(QLatin1Char(' '), 1));
    }
    return events;
}

} // namespace

// A station left alone for days: the event log of a broadcast day, and the daily rollover.
class TestUnattended final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<StationFixture>(QDateTime(Monday, QTime(8, 0)));
        // One write of a new file: nothing reads it before the log is open.
        IniChanges settings;
        settings.setString(System, QStringLiteral("playtime1"), QStringLiteral("09:00:00"));
        settings.setString(System, QStringLiteral("playtime2"), QStringLiteral("09:30:00"));
        settings.setInteger(System, QStringLiteral("Readtimes"), 1);
        settings.setString(System, QStringLiteral("Mainread"), QStringLiteral("祝生日快乐！"));
        settings.setBool(System, QStringLiteral("Next_month"), false);
        IniFile(m_fixture->folder.file(QStringLiteral("setinfo.ini"))).write(settings);
        EventLog::open(m_fixture->folder.file(QStringLiteral("kelvora.log")), false, &m_fixture->clock);
    }

    void cleanup()
    {
        m_fixture->station.reset();
        EventLog::close();
        m_fixture.reset();
    }

    void aBroadcastDayIsLogged()
    {
        seed({ { QStringLiteral("张三"), QStringLiteral("1990-03-04") } });
        RecordingAudioLibrary library;
        const QString track = m_fixture->folder.file(QStringLiteral("a.mp3"));
        const QString song = m_fixture->folder.file(QStringLiteral("songs/song.mp3"));
        m_fixture->folder.write(QStringLiteral("a.mp3"), "ID3");
        m_fixture->folder.write(QStringLiteral("songs/song.mp3"), "ID3");
        library.addFile(track, 600.0);
        library.addFile(song, 5.0);
        RecordingVoice voice;
        // Every box is logged with its text, as the program wraps its dialogs.
        LoggingDialogs logging(m_fixture->dialogs);
        startStation(&voice, &library, &logging);
        Tf_speaker* main = m_fixture->main();
        // The test says when the announcement timers tick: the real ones, firing while the reading's
        // waits let events flow at 09:00 on the fake clock, would add the 09:00 announcement.
        main->timeAnnouncements()->telltime()->stop();
        main->timeAnnouncements()->nextEntryTimer()->stop();
        main->form()->edt_song->setText(song);

        m_fixture->clock.set(QDateTime(Monday, QTime(9, 0)));
        main->schedulePanel()->timer_autoplayTimer();
        runRepetition();
        main->schedulePanel()->timer_autoplayTimer(); // the designated song follows the reading
        m_fixture->clock.advance(6000);
        main->schedulePanel()->timer_autoplayTimer(); // and ends with its time
        main->timeAnnouncements()->telltimeing(QStringLiteral("10:00:00"));
        m_fixture->clock.advance(1300);
        main->timeAnnouncements()->telltimeTimer();
        guarded(logging, [] { throw RuntimeError(QStringLiteral("磁盘已满")); });
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList({ QStringLiteral("磁盘已满") }));

        const QString announcement = QStringLiteral("今天是：员工，张三生日，祝生日快乐！");
        QCOMPARE(main->form()->Memo1->toPlainText(), announcement);
        const QStringList expected = {
            QStringLiteral("settings file %1 read as GB18030").arg(IniFile::defaultPath()),
            QStringLiteral("announcement composed: ") + announcement,
            QStringLiteral("broadcast started"),
            QStringLiteral("music started: ") + track,
            QStringLiteral("reading started"),
            QStringLiteral("speaking: 今天是："),
            QStringLiteral("speaking: 员工，"),
            QStringLiteral("speaking: 张三生日，"),
            QStringLiteral("speaking: 祝生日快乐！"),
            QStringLiteral("reading ended"),
            QStringLiteral("designated song: ") + song,
            QStringLiteral("music started: ") + song,
            QStringLiteral("designated song over"),
            QStringLiteral("music stopped: ") + song,
            QStringLiteral("time announcement: 现在是北京时间10:00正"),
            QStringLiteral("error box [Kelvora] 磁盘已满"),
        };
        QCOMPARE(loggedEvents(m_fixture->folder), expected);
        // Lines start with the ISO date and time.
        QVERIFY(QString::fromUtf8(m_fixture->folder.read(QStringLiteral("kelvora.log")))
                    .startsWith(QStringLiteral("2024-03-04T08:00:00.000 ")));
        m_fixture->station.reset(); // before the library it plays on
    }

    // On unless switched off; a file that holds Rollover=0 keeps it.
    void rolloverIsOnByDefaultAndOffIsKept()
    {
        RecordingVoice voice;
        startStation(&voice, nullptr);
        Ui::Tf_speaker* form = m_fixture->form();
        QVERIFY(form->chk_rollover->isChecked());
        QCOMPARE(form->chk_rollover->text(), QStringLiteral("每天零点重新生成播报"));
        form->sb_save->setEnabled(false);
        form->chk_rollover->setChecked(false);
        QVERIFY(form->sb_save->isEnabled());
        m_fixture->main()->sb_saveClick();
        QVERIFY(!IniFile(IniFile::defaultPath()).readBool(System, QStringLiteral("Rollover"), true));
        m_fixture->station.reset();
        startStation(&voice, nullptr);
        QVERIFY(!m_fixture->form()->chk_rollover->isChecked());
    }

    // A restart in the afternoon composes that day's announcement; the broadcast next morning greets the
    // morning's people, with the rollover on or off (then recomposed first, and logged).
    void aStationStartedInTheAfternoonGreetsTheNextMorningsPeople_data()
    {
        QTest::addColumn<bool>("rollover");
        QTest::addColumn<bool>("byHand"); // the afternoon's text composed again with the button
        QTest::newRow("rollover") << true << false;
        QTest::newRow("no rollover") << false << false;
        QTest::newRow("no rollover, composed by hand") << false << true;
    }
    void aStationStartedInTheAfternoonGreetsTheNextMorningsPeople()
    {
        QFETCH(bool, rollover);
        QFETCH(bool, byHand);
        IniFile(m_fixture->folder.file(QStringLiteral("setinfo.ini")))
            .writeBool(System, QStringLiteral("Rollover"), rollover);
        seed({ { QStringLiteral("张三"), QStringLiteral("1990-03-04") },
               { QStringLiteral("李四"), QStringLiteral("1991-03-05") } });
        m_fixture->clock.set(QDateTime(Monday, QTime(15, 0)));
        RecordingVoice voice;
        startStation(&voice, nullptr);
        Tf_speaker* main = m_fixture->main();
        QVERIFY(main->form()->Memo1->toPlainText().contains(QStringLiteral("张三生日")));
        main->schedulePanel()->timer_autoplayTimer();
        if (byHand) {
            main->form()->SB_write->click();
            QVERIFY(main->form()->Memo1->toPlainText().contains(QStringLiteral("张三生日")));
        }
        QVERIFY(voice.texts().isEmpty());

        m_fixture->clock.set(QDateTime(Monday.addDays(1), QTime(0, 0, 0, 50)));
        main->schedulePanel()->timer_autoplayTimer();
        m_fixture->clock.set(QDateTime(Monday.addDays(1), QTime(9, 0)));
        main->schedulePanel()->timer_autoplayTimer();
        runRepetition();
        QVERIFY2(voice.texts().contains(QStringLiteral("李四生日，")),
                 qPrintable(voice.texts().join(QLatin1Char('|'))));
        QVERIFY(!voice.texts().contains(QStringLiteral("张三生日，")));
        const QStringList events = loggedEvents(m_fixture->folder);
        QCOMPARE(events.filter(QStringLiteral("composed before the broadcast")),
                 rollover ? QStringList()
                          : QStringList { QStringLiteral("the announcement in the editor was composed on 2024-03-04: "
                                                         "today's (2024-03-05) is composed before the broadcast") });
        QCOMPARE(events.filter(QStringLiteral("broadcast started")).size(), 1);
    }

    // An announcement typed on the day of the broadcast is the operator's: it is broadcast as it is.
    void aTextEditedOnTheDayIsBroadcastAsItIs()
    {
        IniFile(m_fixture->folder.file(QStringLiteral("setinfo.ini")))
            .writeBool(System, QStringLiteral("Rollover"), false);
        seed({ { QStringLiteral("李四"), QStringLiteral("1991-03-05") } });
        m_fixture->clock.set(QDateTime(Monday, QTime(15, 0)));
        RecordingVoice voice;
        startStation(&voice, nullptr);
        Tf_speaker* main = m_fixture->main();
        m_fixture->clock.set(QDateTime(Monday.addDays(1), QTime(8, 0)));
        main->schedulePanel()->timer_autoplayTimer();
        main->form()->Memo1->setPlainText(QStringLiteral("今天下午三点开会。"));
        m_fixture->clock.set(QDateTime(Monday.addDays(1), QTime(9, 0)));
        main->schedulePanel()->timer_autoplayTimer();
        runRepetition();
        QCOMPARE(voice.texts(), QStringList { QStringLiteral("今天下午三点开会。") });
        QVERIFY(loggedEvents(m_fixture->folder).filter(QStringLiteral("composed before the broadcast")).isEmpty());
    }

    void eachDayBroadcastsItsOwnAnnouncement_data()
    {
        QTest::addColumn<bool>("rollover");
        QTest::newRow("rollover") << true;
        QTest::newRow("no rollover") << false;
    }
    void eachDayBroadcastsItsOwnAnnouncement()
    {
        QFETCH(bool, rollover);
        IniFile(m_fixture->folder.file(QStringLiteral("setinfo.ini")))
            .writeBool(System, QStringLiteral("Rollover"), rollover);
        // Tuesday's person is still in Wednesday's window of days, but is not greeted again then.
        seed({ { QStringLiteral("张三"), QStringLiteral("1990-03-04") },
               { QStringLiteral("李四"), QStringLiteral("1991-03-05") } });
        RecordingVoice voice;
        startStation(&voice, nullptr);
        Tf_speaker* main = m_fixture->main();
        main->form()->chk_next->setChecked(true); // the list is emptied on a day without birthdays

        QList<QStringList> spokenByDay;
        for (int day = 0; day < 3; ++day) {
            voice.clear();
            m_fixture->clock.set(QDateTime(Monday.addDays(day), QTime(0, 0, 0, 50)));
            main->schedulePanel()->timer_autoplayTimer();
            m_fixture->clock.set(QDateTime(Monday.addDays(day), QTime(9, 0)));
            main->schedulePanel()->timer_autoplayTimer();
            runRepetition();
            m_fixture->clock.set(QDateTime(Monday.addDays(day), QTime(23, 59, 59)));
            main->schedulePanel()->timer_autoplayTimer();
            spokenByDay.append(voice.texts());
        }
        QVERIFY(spokenByDay[0].contains(QStringLiteral("张三生日，")));
        if (rollover) {
            QCOMPARE(spokenByDay[0].filter(QStringLiteral("今天是")).size(), 1);
            QVERIFY(spokenByDay[1].contains(QStringLiteral("李四生日，")));
            QVERIFY(!spokenByDay[1].contains(QStringLiteral("张三生日，")));
            QCOMPARE(spokenByDay[1].filter(QStringLiteral("今天是")).size(), 1);
            QVERIFY2(spokenByDay[2].isEmpty(), qPrintable(spokenByDay[2].join(QLatin1Char('|'))));
            QVERIFY(main->form()->Memo1->toPlainText().isEmpty());
            const QStringList events = loggedEvents(m_fixture->folder);
            QCOMPARE(events.filter(QStringLiteral("broadcast started")).size(), 2);
            QCOMPARE(events.filter(QStringLiteral("new day")),
                     QStringList({ QStringLiteral("new day 2024-03-05: the announcement is composed again"),
                                   QStringLiteral("new day 2024-03-06: the announcement is composed again") }));
        } else {
            // One broadcast per run, of the start-up's announcement.
            QVERIFY(spokenByDay[1].isEmpty());
            QVERIFY(spokenByDay[2].isEmpty());
            QVERIFY(main->form()->Memo1->toPlainText().contains(QStringLiteral("张三")));
        }
    }

    void rolloverStopsAReadingStillRunning()
    {
        IniFile(m_fixture->folder.file(QStringLiteral("setinfo.ini")))
            .writeBool(System, QStringLiteral("Rollover"), true);
        IniFile(m_fixture->folder.file(QStringLiteral("setinfo.ini")))
            .writeString(System, QStringLiteral("playtime2"), QStringLiteral("23:59:59"));
        IniFile(m_fixture->folder.file(QStringLiteral("setinfo.ini")))
            .writeInteger(System, QStringLiteral("Readtimes"), 5);
        seed({ { QStringLiteral("张三"), QStringLiteral("1990-03-04") } });
        RecordingVoice voice;
        startStation(&voice, nullptr);
        Tf_speaker* main = m_fixture->main();
        m_fixture->clock.set(QDateTime(Monday, QTime(23, 59, 59)));
        main->schedulePanel()->timer_autoplayTimer();
        QVERIFY(main->readingController().repetitionActive());
        m_fixture->clock.set(QDateTime(Monday.addDays(1), QTime(0, 0, 0, 50)));
        main->schedulePanel()->timer_autoplayTimer();
        QVERIFY(!main->readingController().repetitionActive());
        QVERIFY(!main->schedulePanel()->scheduler().auto_started());
        QVERIFY(main->form()->Memo1->toPlainText().isEmpty());
        QCOMPARE(main->musicPanel()->song_endtime(), QStringLiteral("00:00:00"));
    }

    // systemd may send SIGTERM again while the first still saves: the close save runs once. Made to
    // fail here (a settings file nobody may write), so each run of it would show a box.
    void aSecondSignalDoesNotSaveAgain()
    {
        RecordingVoice voice;
        startStation(&voice, nullptr);
        const QString settings = IniFile::defaultPath();
        QVERIFY(QFile::setPermissions(settings, QFileDevice::ReadOwner));
        Termination termination;
        termination.setMainWindow(m_fixture->main());
        ::raise(SIGTERM);
        ::raise(SIGTERM);
        ::raise(SIGINT);
        QTRY_COMPARE(loggedEvents(m_fixture->folder).filter(QStringLiteral("already ending")).size(), 2);
        const QStringList boxes = m_fixture->dialogs.takeTexts();
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes.first().startsWith(QStringLiteral("无法写入设置文件 ") + settings), qPrintable(boxes.first()));
        QCOMPARE(
            loggedEvents(m_fixture->folder).filter(QStringLiteral("signal 15: ending as the close button does")).size(),
            1);
        QVERIFY(m_fixture->main()->closeSaveFailed());
        QCOMPARE(termination.requested(), SIGTERM);
        QFile::setPermissions(settings, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

private:
    void seed(const QList<QPair<QString, QString>>& people)
    {
        const QString name = QStringLiteral("unattended-seed");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(m_fixture->folder.file(QStringLiteral("draft.dat")));
            QVERIFY(db.open());
            for (const auto& person : people) {
                QVERIFY(addEmployee(db, person.first, person.second, QStringLiteral("2010-01-01")) > 0);
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }

    void startStation(VoiceEngine* voice, AudioLibrary* audio, Dialogs* dialogs = nullptr)
    {
        Services services;
        services.dialogs = dialogs;
        services.voice = voice;
        services.audio = audio;
        m_fixture->start(services);
        m_fixture->form()->chk1->setChecked(true); // every weekday
    }

    // The repetition timer ticks once a second until the repetition is over.
    void runRepetition()
    {
        ReadingController& reading = m_fixture->main()->readingController();
        for (int tick = 0; tick < 100 && reading.repetitionActive(); ++tick) {
            reading.readcycledTimer();
            QTRY_COMPARE(reading.runningThreads(), 0);
            QTRY_COMPARE(m_fixture->station->readingState().readings(), 0);
            m_fixture->clock.advance(1000);
        }
        QVERIFY(!reading.repetitionActive());
    }

    std::unique_ptr<StationFixture> m_fixture;
};

QTEST_MAIN(TestUnattended)
#include "test_unattended.moc"
