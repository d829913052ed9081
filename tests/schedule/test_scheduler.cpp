#include "broadcastworld.h"
#include "fakeclock.h"
#include "schedule/scheduler.h"
#include "testfolder.h"

#include <QTest>

namespace {

const QDate Monday(2024, 3, 4);
const QDate Sunday(2024, 3, 3);

ScheduleInputs mondayToSaturday(const QString& text = QStringLiteral("今天是：Kelvora员工，张三生日快乐。"))
{
    ScheduleInputs in;
    in.rangeStart = QTime(9, 0);
    in.rangeEnd = QTime(14, 0);
    in.weekdays = { false, true, true, true, true, true, true };
    in.editorText = text;
    return in;
}

} // namespace

class TestScheduler : public QObject
{
    Q_OBJECT

private:
    // Ticks every stepMs from the clock's time up to `until`, as timer_autoplay does.
    void run(const QDateTime& until, qint64 stepMs = 100)
    {
        while (m_clock->now() <= until) {
            tickOnce();
            m_clock->advance(stepMs);
        }
    }
    void tickOnce()
    {
        const QDateTime now = m_clock->now();
        m_world.advanceTo(now);
        m_scheduler.tick(now, m_inputs, m_world);
    }
    void startAt(const QDate& day, const QTime& time)
    {
        m_clock = std::make_unique<FakeClock>(QDateTime(day, time));
        m_world.now = m_clock->now();
    }

    std::unique_ptr<FakeClock> m_clock;
    BroadcastWorld m_world;
    Scheduler m_scheduler;
    ScheduleInputs m_inputs = mondayToSaturday();

private slots:
    void init()
    {
        m_world = BroadcastWorld();
        m_scheduler = Scheduler();
        m_inputs = mondayToSaturday();
    }

    void cleanup() { m_clock.reset(); }

    void weekdayNumber_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<int>("number");
        QTest::newRow("Sunday") << Sunday << 1;
        QTest::newRow("Monday") << Monday << 2;
        QTest::newRow("Saturday") << QDate(2024, 3, 9) << 7;
        QTest::newRow("29 February 2024, a Thursday") << QDate(2024, 2, 29) << 5;
    }
    void weekdayNumber()
    {
        QFETCH(QDate, date);
        QFETCH(int, number);
        QCOMPARE(Scheduler::weekdayNumber(date), number);
    }

    void editorHasText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("hasText");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("blanks and line ends") << QStringLiteral("  \r\n\t ") << false;
        QTest::newRow("control characters") << QStringLiteral("\x01\x1f\x7f") << false;
        QTest::newRow("full-width blank") << QStringLiteral("\u3000") << false;
        QTest::newRow("one character") << QStringLiteral(" \n今 ") << true;
        QTest::newRow("punctuation") << QStringLiteral("。") << true;
    }
    void editorHasText()
    {
        QFETCH(QString, text);
        QFETCH(bool, hasText);
        QCOMPARE(Scheduler::editorHasText(text), hasText);
    }

    void rangeHoldsToTheMillisecond_data()
    {
        QTest::addColumn<QTime>("now");
        QTest::addColumn<bool>("holds");
        QTest::newRow("a millisecond early") << QTime(8, 59, 59, 999) << false;
        QTest::newRow("the start") << QTime(9, 0) << true;
        QTest::newRow("the end") << QTime(14, 0) << true;
        QTest::newRow("a millisecond late") << QTime(14, 0, 0, 1) << false;
    }
    void rangeHoldsToTheMillisecond()
    {
        QFETCH(QTime, now);
        QFETCH(bool, holds);
        QCOMPARE(Scheduler::rangeHolds(now, QTime(9, 0), QTime(14, 0)), holds);
        // An end before the start never holds.
        QVERIFY(!Scheduler::rangeHolds(now, QTime(14, 0), QTime(9, 0)));
    }

    void startsAtTheFirstTickInsideTheRange_data()
    {
        QTest::addColumn<QTime>("start");
        QTest::addColumn<QTime>("firstTick");
        QTest::newRow("08:59:50, ticks on whole tenths") << QTime(8, 59, 50) << QTime(9, 0);
        QTest::newRow("ticks between tenths") << QTime(8, 59, 50, 37) << QTime(9, 0, 0, 37);
        QTest::newRow("started inside the range") << QTime(10, 30) << QTime(10, 30);
        QTest::newRow("started at the last millisecond") << QTime(14, 0) << QTime(14, 0);
    }
    void startsAtTheFirstTickInsideTheRange()
    {
        QFETCH(QTime, start);
        QFETCH(QTime, firstTick);
        startAt(Monday, start);
        run(QDateTime(Monday, QTime(14, 0, 1)));

        QCOMPARE(m_world.count(QStringLiteral("repeat")), 1);
        QCOMPARE(m_world.count(QStringLiteral("play")), 1);
        QCOMPARE(m_world.first(QStringLiteral("repeat")), QDateTime(Monday, firstTick));
        QCOMPARE(m_world.first(QStringLiteral("play")), QDateTime(Monday, firstTick));
        QCOMPARE(m_world.names().mid(0, 2), QStringList({ QStringLiteral("repeat"), QStringLiteral("play") }));
        QVERIFY(m_scheduler.auto_started());
    }

    void songFollowsTheLastReadingAndEnds()
    {
        TestFolder folder;
        folder.write(QStringLiteral("mp3files/song.mp3"), "ID3");
        m_inputs.songFile = QLatin1Char(' ') + folder.file(QStringLiteral("mp3files/song.mp3")) + QLatin1Char(' ');
        m_world.readtimes = 2;
        m_world.intervalS = 60;
        m_world.readingMs = 25350;
        m_world.songLengthS = 200;
        startAt(Monday, QTime(8, 59, 50));
        run(QDateTime(Monday, QTime(13, 0)));

        QCOMPARE(m_world.readingStarts.size(), 2);
        QCOMPARE(m_world.readingEnds.size(), 2);
        QCOMPARE(m_world.count(QStringLiteral("song")), 1);
        const QDateTime secondEnd = m_world.readingEnds.at(1);
        const QDateTime song = m_world.first(QStringLiteral("song"));
        QVERIFY2(song >= secondEnd && secondEnd.msecsTo(song) <= 1100,
                 qPrintable(secondEnd.toString(Qt::ISODateWithMs) + QLatin1String(" / ")
                            + song.toString(Qt::ISODateWithMs)));
        // The music stops at the first tick whose time text is past the song's end.
        QCOMPARE(m_world.count(QStringLiteral("musicstop")), 1);
        const QDateTime stop = m_world.first(QStringLiteral("musicstop"));
        const QDateTime songEnd(Monday, QTime::fromString(m_world.endtime, QStringLiteral("HH:mm:ss")));
        QVERIFY(stop > songEnd && stop <= songEnd.addSecs(1));
        QVERIFY(m_scheduler.song_started() && m_scheduler.song_done());
        QCOMPARE(m_world.music, BroadcastWorld::Music::None);
    }

    void withoutSongTheMusicPlaysToTheEndOfTheRange()
    {
        startAt(Monday, QTime(8, 59, 50));
        run(QDateTime(Monday, QTime(14, 0)));
        QCOMPARE(m_world.count(QStringLiteral("musicstop")), 0);
        QCOMPARE(m_world.music, BroadcastWorld::Music::Background);
        QVERIFY(m_scheduler.song_checked());
        QVERIFY(!m_scheduler.song_started());
        // The first tick past 14:00:00 stops music, then reading.
        run(QDateTime(Monday, QTime(14, 0, 0, 100)));
        QCOMPARE(m_world.names().mid(m_world.names().size() - 2),
                 QStringList({ QStringLiteral("musicstop"), QStringLiteral("readstop") }));
        QCOMPARE(m_world.first(QStringLiteral("musicstop")), QDateTime(Monday, QTime(14, 0, 0, 100)));
    }

    void missingSongStopsTheMusicAfterTheRepetition()
    {
        m_inputs.songFile = QStringLiteral("/nowhere/deleted.mp3");
        startAt(Monday, QTime(8, 59, 50));
        run(QDateTime(Monday, QTime(12, 0)));
        QCOMPARE(m_world.count(QStringLiteral("song")), 0);
        QCOMPARE(m_world.count(QStringLiteral("musicstop")), 2); // step 3, then step 2 marks the song done
        QCOMPARE(m_world.readingEnds.size(), 2);
        QVERIFY(m_world.first(QStringLiteral("musicstop")) >= m_world.readingEnds.last());
        QVERIFY(m_world.readingEnds.last().msecsTo(m_world.first(QStringLiteral("musicstop"))) <= 1100);
        QVERIFY(m_scheduler.song_started() && m_scheduler.song_done());
    }

    // After the range a hand start is stopped as it starts; the ticks themselves press nothing more
    // once the range has ended, so nothing queued on the voice (a time announcement) is cut by them.
    void afterTheRangeHandStartsAreStoppedAsTheyStart()
    {
        m_inputs.editorText.clear(); // a day without birthdays: nothing is started automatically
        startAt(Monday, QTime(13, 59, 0));
        run(QDateTime(Monday, QTime(14, 30)));
        QCOMPARE(m_world.count(QStringLiteral("repeat")), 0);
        // The end of the range stops once.
        QCOMPARE(m_world.names(), QStringList({ QStringLiteral("musicstop"), QStringLiteral("readstop") }));
        QCOMPARE(m_world.first(QStringLiteral("readstop")), QDateTime(Monday, QTime(14, 0, 0, 100)));

        m_world.readByHand();
        m_scheduler.readingStarted(m_clock->now(), m_inputs, m_world);
        QVERIFY(!m_world.isreading);
        m_world.playMusic();
        m_scheduler.musicStarted(m_clock->now(), m_inputs, m_world);
        QCOMPARE(m_world.music, BroadcastWorld::Music::None);
        run(QDateTime(Monday, QTime(23, 59, 59, 900)));
        QCOMPARE(m_world.count(QStringLiteral("readstop")), 2);
        QCOMPARE(m_world.count(QStringLiteral("musicstop")), 2);

        // Before the range, a hand start is left alone.
        m_world = BroadcastWorld();
        m_clock->set(QDateTime(Monday.addDays(1), QTime(8, 0)));
        m_world.now = m_clock->now();
        m_world.readByHand();
        m_scheduler.readingStarted(m_clock->now(), m_inputs, m_world);
        m_world.playMusic();
        m_scheduler.musicStarted(m_clock->now(), m_inputs, m_world);
        run(QDateTime(Monday.addDays(1), QTime(8, 0, 5)));
        QCOMPARE(m_world.music, BroadcastWorld::Music::Background);
        QCOMPARE(m_world.count(QStringLiteral("readstop")), 0);
    }

    void afterRange_data()
    {
        QTest::addColumn<QTime>("now");
        QTest::addColumn<QTime>("start");
        QTest::addColumn<QTime>("end");
        QTest::addColumn<bool>("after");
        QTest::newRow("the end itself") << QTime(14, 0) << QTime(9, 0) << QTime(14, 0) << false;
        QTest::newRow("a millisecond later") << QTime(14, 0, 0, 1) << QTime(9, 0) << QTime(14, 0) << true;
        QTest::newRow("just before midnight") << QTime(23, 59, 59, 999) << QTime(9, 0) << QTime(14, 0) << true;
        QTest::newRow("before the start") << QTime(8, 0) << QTime(9, 0) << QTime(14, 0) << false;
        // A range that never holds ends nothing: hand starts are the operator's all day.
        QTest::newRow("end before start") << QTime(15, 0) << QTime(22, 0) << QTime(6, 0) << false;
    }
    void afterRange()
    {
        QFETCH(QTime, now);
        QFETCH(QTime, start);
        QFETCH(QTime, end);
        QFETCH(bool, after);
        QCOMPARE(Scheduler::afterRange(now, start, end), after);
    }

    void aRunningRepetitionIsStoppedAtTheEndOfTheRange()
    {
        m_inputs.rangeEnd = QTime(9, 0, 30);
        startAt(Monday, QTime(8, 59, 50));
        run(QDateTime(Monday, QTime(9, 0, 31)));
        QVERIFY(m_world.count(QStringLiteral("readstop")) >= 1);
        QVERIFY(!m_world.readcycled);
        QCOMPARE(m_world.first(QStringLiteral("readstop")), QDateTime(Monday, QTime(9, 0, 30, 100)));
    }

    void changedRangeAllowsOneMoreStartButNoSecondSong()
    {
        TestFolder folder;
        folder.write(QStringLiteral("song.mp3"), "ID3");
        m_inputs.songFile = folder.file(QStringLiteral("song.mp3"));
        m_world.songLengthS = 60;
        startAt(Monday, QTime(8, 59, 50));
        run(QDateTime(Monday, QTime(10, 0)));
        QCOMPARE(m_world.count(QStringLiteral("repeat")), 1);
        QCOMPARE(m_world.count(QStringLiteral("song")), 1);

        m_inputs.rangeStart = QTime(9, 30);
        m_scheduler.timeRangeChanged();
        run(QDateTime(Monday, QTime(11, 0)));
        QCOMPARE(m_world.count(QStringLiteral("repeat")), 2);
        QCOMPARE(m_world.count(QStringLiteral("play")), 2);
        QCOMPARE(m_world.first(QStringLiteral("repeat"))
                     .secsTo(m_world.events.at(m_world.names().lastIndexOf(QStringLiteral("repeat"))).when),
                 3600);
        QCOMPARE(m_world.count(QStringLiteral("song")), 1);
    }

    // An unticked day is silent: no reading, no music and no designated song; the song still plays on
    // the next ticked day.
    void anUncheckedDayPlaysNoSong()
    {
        TestFolder folder;
        folder.write(QStringLiteral("song.mp3"), "ID3");
        m_inputs.songFile = folder.file(QStringLiteral("song.mp3"));
        startAt(Sunday, QTime(8, 59, 50));
        run(QDateTime(Sunday, QTime(13, 0)));
        QVERIFY(m_world.events.isEmpty());
        QVERIFY(!m_scheduler.song_checked());
        QVERIFY(!Scheduler::broadcastDay(Sunday, m_inputs));
        QVERIFY(Scheduler::broadcastDay(Monday, m_inputs));
        m_clock->set(QDateTime(Monday, QTime(9, 0)));
        m_world.voiceChosen = false; // no repetition: the song follows at once
        run(QDateTime(Monday, QTime(9, 0, 1)));
        QCOMPARE(m_world.count(QStringLiteral("song")), 1);
    }

    // The calendar's word on the day wins over the weekday box: a day off neither reads nor plays the
    // designated song; a working Sunday broadcasts as a ticked day does, an ordinary one is silent.
    void calendarDecidesTheDay_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<int>("calendarDay");
        QTest::addColumn<int>("readings");
        QTest::addColumn<int>("songs");
        QTest::newRow("a day off on a Monday") << Monday << int(CalendarDay::DayOff) << 0 << 0;
        QTest::newRow("a day off on a Sunday") << Sunday << int(CalendarDay::DayOff) << 0 << 0;
        QTest::newRow("a working Sunday") << Sunday << int(CalendarDay::WorkingDay) << 1 << 1;
        QTest::newRow("a working Monday") << Monday << int(CalendarDay::WorkingDay) << 1 << 1;
        QTest::newRow("an ordinary Monday") << Monday << int(CalendarDay::Ordinary) << 1 << 1;
        QTest::newRow("an ordinary, unticked Sunday") << Sunday << int(CalendarDay::Ordinary) << 0 << 0;
    }

    void calendarDecidesTheDay()
    {
        QFETCH(QDate, day);
        QFETCH(int, calendarDay);
        QFETCH(int, readings);
        QFETCH(int, songs);
        TestFolder folder;
        folder.write(QStringLiteral("song.mp3"), "ID3");
        m_inputs.songFile = folder.file(QStringLiteral("song.mp3"));
        m_inputs.calendarDay = CalendarDay(calendarDay);
        startAt(day, QTime(8, 59, 50));
        run(QDateTime(day, QTime(13, 0)));
        QCOMPARE(m_world.count(QStringLiteral("repeat")), readings);
        QCOMPARE(m_world.count(QStringLiteral("play")), readings);
        QCOMPARE(m_world.count(QStringLiteral("song")), songs);
    }

    void withoutAVoiceTheSongStepRunsAtOnce()
    {
        TestFolder folder;
        folder.write(QStringLiteral("song.mp3"), "ID3");
        m_inputs.songFile = folder.file(QStringLiteral("song.mp3"));
        m_world.voiceChosen = false;
        startAt(Monday, QTime(8, 59, 50));
        run(QDateTime(Monday, QTime(12, 0)));
        QCOMPARE(m_world.count(QStringLiteral("repeat")), 1); // the warning, once per run
        QCOMPARE(m_world.names().mid(0, 3),
                 QStringList({ QStringLiteral("repeat"), QStringLiteral("play"), QStringLiteral("song") }));
        QCOMPARE(m_world.first(QStringLiteral("song")), QDateTime(Monday, QTime(9, 0)));
    }

    void blankEditorStartsNothing()
    {
        TestFolder folder;
        folder.write(QStringLiteral("song.mp3"), "ID3");
        m_inputs.songFile = folder.file(QStringLiteral("song.mp3"));
        m_inputs.editorText = QStringLiteral(" \r\n ");
        startAt(Monday, QTime(8, 0));
        run(QDateTime(Monday, QTime(14, 0)));
        QVERIFY(m_world.events.isEmpty());
    }

    void endBeforeStartNeverStartsNorStops()
    {
        m_inputs.rangeStart = QTime(14, 0);
        m_inputs.rangeEnd = QTime(9, 0);
        startAt(Monday, QTime(8, 59));
        run(QDateTime(Monday, QTime(15, 0)));
        m_world.readByHand();
        m_scheduler.readingStarted(m_clock->now(), m_inputs, m_world);
        QVERIFY(m_world.isreading);
        QVERIFY(m_world.events.isEmpty());
    }

    void clockJumps_data()
    {
        QTest::addColumn<QTime>("before");
        QTest::addColumn<QTime>("after");
        QTest::addColumn<int>("starts");
        QTest::newRow("wakes from sleep inside the range") << QTime(8, 0) << QTime(10, 30) << 1;
        QTest::newRow("sleeps through the whole range") << QTime(8, 0) << QTime(15, 0) << 0;
        QTest::newRow("set back to before the range after the start") << QTime(10, 0) << QTime(8, 50) << 1;
        QTest::newRow("set back inside the range") << QTime(11, 0) << QTime(9, 0) << 1;
    }
    void clockJumps()
    {
        QFETCH(QTime, before);
        QFETCH(QTime, after);
        QFETCH(int, starts);
        startAt(Monday, before.addSecs(-60));
        run(QDateTime(Monday, before));
        m_clock->set(QDateTime(Monday, after));
        const int eventsBefore = static_cast<int>(m_world.events.size());
        run(QDateTime(Monday, QTime(16, 0)));
        QCOMPARE(m_world.count(QStringLiteral("repeat")), starts);
        QVERIFY(m_world.count(QStringLiteral("play")) <= 1);
        if (after == QTime(10, 30)) {
            // It acts on the first tick it sees, without a backlog of missed ticks.
            QCOMPARE(m_world.events.at(eventsBefore).when, QDateTime(Monday, after));
        }
    }

    // The daily rollover resets the scheduler; a clock set forward a day and back again (a wrong time
    // corrected) never gives a day a second broadcast.
    void atMostOneBroadcastPerDay()
    {
        startAt(Monday, QTime(8, 59, 50));
        run(QDateTime(Monday, QTime(9, 0, 10)));
        QCOMPARE(m_world.count(QStringLiteral("repeat")), 1);
        m_clock->set(QDateTime(Monday.addDays(1), QTime(9, 0)));
        m_scheduler.reset();
        run(QDateTime(Monday.addDays(1), QTime(9, 0, 10)));
        QCOMPARE(m_world.count(QStringLiteral("repeat")), 2);
        m_clock->set(QDateTime(Monday, QTime(9, 5)));
        m_scheduler.reset();
        run(QDateTime(Monday, QTime(9, 6)));
        QCOMPARE(m_world.count(QStringLiteral("repeat")), 2);
        QVERIFY(!m_scheduler.startDue(m_clock->now(), m_inputs));
        // A change of the range by the operator allows one more.
        m_scheduler.timeRangeChanged();
        QVERIFY(m_scheduler.startDue(m_clock->now(), m_inputs));
        run(QDateTime(Monday, QTime(9, 7)));
        QCOMPARE(m_world.count(QStringLiteral("repeat")), 3);
    }

    void midnightKeepsTheFlags()
    {
        startAt(Monday, QTime(13, 59, 50));
        run(QDateTime(Monday.addDays(1), QTime(9, 30)));
        // One broadcast per run: the next morning nothing starts again.
        QCOMPARE(m_world.count(QStringLiteral("repeat")), 1);
        QCOMPARE(m_world.first(QStringLiteral("repeat")), QDateTime(Monday, QTime(13, 59, 50)));
    }

    // Resting as long as restAfter allows (as the panel arms timer_autoplay), the scheduler does what
    // ticking every 100 ms does, each action within a tick of the same moment, while it looks at most
    // once a second when nothing is under way.
    void restingBetweenTicksChangesNothing_data()
    {
        QTest::addColumn<QTime>("start");
        QTest::addColumn<bool>("song");
        QTest::addColumn<QTime>("stepTo"); // the clock set to this time at 11:00 (invalid: never)
        QTest::newRow("readings, then the song") << QTime(8, 59, 50) << true << QTime();
        QTest::newRow("music to the end of the range") << QTime(8, 59, 50) << false << QTime();
        QTest::newRow("started inside the range") << QTime(10, 30, 0, 500) << true << QTime();
        QTest::newRow("started after the range") << QTime(15, 0) << true << QTime();
        QTest::newRow("clock set back into the morning") << QTime(8, 0) << true << QTime(8, 59, 58);
        QTest::newRow("clock set forward past the range") << QTime(8, 0) << false << QTime(13, 59, 59, 300);
    }

    void restingBetweenTicksChangesNothing()
    {
        QFETCH(QTime, start);
        QFETCH(bool, song);
        QFETCH(QTime, stepTo);
        TestFolder folder;
        folder.write(QStringLiteral("song.mp3"), "ID3");
        qint64 seconds = 0;
        const auto live = [&](bool armed, int* idleLooks) {
            BroadcastWorld world;
            world.readtimes = 2;
            world.intervalS = 30;
            world.readingMs = 25000;
            world.songLengthS = 200;
            Scheduler scheduler;
            ScheduleInputs inputs = mondayToSaturday();
            inputs.songFile = song ? folder.file(QStringLiteral("song.mp3")) : QString();
            FakeClock clock(QDateTime(Monday, start));
            bool stepped = !stepTo.isValid();
            // Through midnight into Tuesday, whose broadcast the first day's flags hold back.
            const QDateTime until(Monday.addDays(1), QTime(0, 0, 30));
            while (clock.now() <= until) {
                if (!stepped && clock.now().time() >= QTime(11, 0)) {
                    stepped = true;
                    clock.setTime(stepTo);
                }
                const QDateTime now = clock.now();
                world.advanceTo(now);
                scheduler.tick(now, inputs, world);
                const qint64 rest = armed ? scheduler.restAfter(now, inputs, world) : 100;
                if (armed && rest > Scheduler::BusyTickMs) {
                    ++*idleLooks;
                }
                clock.advance(rest);
            }
            seconds = clock.elapsedMs() / 1000;
            return world.events;
        };
        int idleLooks = 0;
        const QList<BroadcastWorld::Event> ticking = live(false, &idleLooks);
        const QList<BroadcastWorld::Event> resting = live(true, &idleLooks);
        QStringList shown;
        for (const auto& e : resting) {
            shown << e.what + QLatin1Char('@') + e.when.toString(QStringLiteral("hh:mm:ss.zzz"));
        }
        QCOMPARE(resting.size(), ticking.size());
        for (qsizetype i = 0; i < ticking.size(); ++i) {
            QCOMPARE(resting[i].what, ticking[i].what);
            QVERIFY2(std::abs(resting[i].when.msecsTo(ticking[i].when)) <= 100,
                     qPrintable(shown.join(QLatin1Char(' '))));
        }
        // Most of the day idle: at most one look a second (a few more at the range's ends).
        QVERIFY2(idleLooks <= seconds + 60, qPrintable(QStringLiteral("%1 looks in %2 s").arg(idleLooks).arg(seconds)));
        QVERIFY(idleLooks >= seconds / 2);
    }

    void actionsThatReenterTheTickRunEachStepOnce()
    {
        // An action that opens a message box lets the timer tick again inside it.
        struct Reentrant final : ScheduleActions
        {
            Scheduler* scheduler = nullptr;
            ScheduleInputs inputs;
            QDateTime now;
            QStringList log;
            bool repetitionActive() const override { return false; }
            QString endtime = QStringLiteral("00:00:00");
            QString song_endtime() const override { return endtime; }
            void play_the_song(const QString&) override
            {
                log << QStringLiteral("song");
                endtime = QStringLiteral("09:03:00");
            }
            void startRepetition() override
            {
                log << QStringLiteral("repeat");
                scheduler->tick(now, inputs, *this);
            }
            void playMusic() override { log << QStringLiteral("play"); }
            void stopMusic() override { log << QStringLiteral("musicstop"); }
            void stopReading() override { log << QStringLiteral("readstop"); }
        } actions;
        TestFolder folder;
        folder.write(QStringLiteral("song.mp3"), "ID3");
        actions.scheduler = &m_scheduler;
        actions.inputs = m_inputs;
        actions.inputs.songFile = folder.file(QStringLiteral("song.mp3"));
        actions.now = QDateTime(Monday, QTime(9, 0));
        m_scheduler.tick(actions.now, actions.inputs, actions);
        QCOMPARE(actions.log,
                 QStringList({ QStringLiteral("repeat"), QStringLiteral("song"), QStringLiteral("play") }));
    }
};

QTEST_GUILESS_MAIN(TestScheduler)
#include "test_scheduler.moc"
