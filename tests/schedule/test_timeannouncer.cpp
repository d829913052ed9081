#include "common/readingstate.h"
#include "common/services.h"
#include "common/sounddevice.h"
#include "fakeclock.h"
#include "recordingvoice.h"
#include "schedule/chime.h"
#include "schedule/telltime.h"
#include "schedule/timeannouncements.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTest>

namespace {

// Records each chime and each voice step with the clock's time, in one log so their order shows.
struct Log
{
    struct Entry
    {
        QString what;
        QDateTime when;
    };
    explicit Log(const Clock& clock)
        : m_clock(clock)
    {
    }
    QList<Entry> entries;
    void add(const QString& what) { entries.append({ what, m_clock.now() }); }
    QStringList whats() const
    {
        QStringList result;
        for (const Entry& entry : entries) {
            result << entry.what;
        }
        return result;
    }

private:
    const Clock& m_clock;
};

class LoggingChime final : public ChimePlayer
{
public:
    explicit LoggingChime(Log& log)
        : m_log(log)
    {
    }
    void play() override { m_log.add(QStringLiteral("chime")); }

private:
    Log& m_log;
};

// A chime whose sound the test switches on and off.
class SoundingChime final : public ChimePlayer
{
public:
    void play() override { ++plays; }
    bool isPlaying() const override { return playing; }
    int plays = 0;
    bool playing = false;
};

class LoggingVoice final : public VoiceEngine
{
public:
    explicit LoggingVoice(Log& log)
        : m_log(log)
    {
    }
    QStringList voices() override { return m_inner.voices(); }
    void setVoice(int index) override { m_inner.setVoice(index); }
    int rate() override { return m_inner.rate(); }
    void setRate(int rate) override { m_inner.setRate(rate); }
    int volume() override { return m_inner.volume(); }
    void setVolume(int volume) override { m_inner.setVolume(volume); }
    void speak(const QString& text, int flags) override
    {
        m_inner.speak(text, flags);
        m_log.add(QStringLiteral("say ") + text);
    }
    void close() override { m_inner.close(); }
    RecordingVoice m_inner;

private:
    Log& m_log;
};

TellTimeList listOf(const QList<QPair<QString, bool>>& entries)
{
    TellTimeList list;
    int id = 0;
    for (const auto& [stime, isplay] : entries) {
        list.rows.append({ QString::number(++id), stime, stime + QStringLiteral(" 报时"), QString(),
                           isplay ? TellTimeList::Checked : QString() });
    }
    return list;
}

} // namespace

class TestTimeAnnouncer : public QObject
{
    Q_OBJECT

private:
    // Drives `telltime` every 200 ms and the single-shot due timer at its time, as the main window does.
    void run(TimeAnnouncer& announcer, const QDateTime& until)
    {
        QDateTime nextTick = m_clock->now();
        while (m_clock->now() <= until) {
            const qint64 due = announcer.nextDueIn(m_clock->now());
            const QDateTime dueAt = due < 0 ? QDateTime() : m_clock->now().addMSecs(due);
            if (dueAt.isValid() && dueAt < nextTick) {
                m_clock->set(dueAt);
                announcer.serve(dueAt);
                continue;
            }
            m_clock->set(nextTick);
            announcer.check(nextTick);
            nextTick = nextTick.addMSecs(200);
        }
    }

    std::unique_ptr<FakeClock> m_clock;

private slots:
    void init() { m_clock = std::make_unique<FakeClock>(2024, 3, 4, 8, 59, 0); }
    void cleanup() { m_clock.reset(); }

    void sentence_data()
    {
        QTest::addColumn<QString>("stime");
        QTest::addColumn<QString>("sentence");
        QTest::newRow("full hour") << QStringLiteral("09:00:00") << QStringLiteral("现在是北京时间09:00正");
        QTest::newRow("half hour") << QStringLiteral("14:30:00") << QStringLiteral("现在是北京时间14:30");
        QTest::newRow("morning half hour") << QStringLiteral("08:30:00") << QStringLiteral("现在是北京时间08:30");
        QTest::newRow("seconds do not count") << QStringLiteral("10:00:45") << QStringLiteral("现在是北京时间10:00正");
        QTest::newRow("last minute of the day") << QStringLiteral("23:59:00") << QStringLiteral("现在是北京时间23:59");
        QTest::newRow("midnight") << QStringLiteral("00:00:00") << QStringLiteral("现在是北京时间 零点正");
        QTest::newRow("half past midnight") << QStringLiteral("00:30:00") << QStringLiteral("现在是北京时间 零点30");
        QTest::newRow("other minute of hour 00") << QStringLiteral("00:15:00") << QString();
        QTest::newRow("empty") << QString() << QStringLiteral("现在是北京时间");
    }
    void sentence()
    {
        QFETCH(QString, stime);
        QFETCH(QString, sentence);
        QCOMPARE(telltimeSentence(stime), sentence);
    }

    void statusClock()
    {
        QCOMPARE(statusClockText(QDateTime(QDate(2024, 3, 4), QTime(9, 5, 7, 999))),
                 QStringLiteral("2024-03-04 星期一 09:05:07"));
        QCOMPARE(statusClockText(QDateTime(QDate(2024, 3, 3), QTime(0, 0))),
                 QStringLiteral("2024-03-03 星期日 00:00:00"));
    }

    void firesOnceAtEachEnabledTime()
    {
        Log log(*m_clock);
        LoggingChime chime(log);
        LoggingVoice voice(log);
        int applied = 0;
        TimeAnnouncer announcer(&chime, &voice, [&] {
            ++applied;
            log.add(QStringLiteral("apply"));
        });
        announcer.setList(listOf({ { QStringLiteral("09:00:00"), true },
                                   { QStringLiteral("12:00:00"), false },
                                   { QStringLiteral("14:30:00"), true } }));
        run(announcer, QDateTime(QDate(2024, 3, 4), QTime(15, 0)));

        QCOMPARE(log.whats(),
                 QStringList({ QStringLiteral("chime"), QStringLiteral("apply"),
                               QStringLiteral("say 现在是北京时间09:00正"), QStringLiteral("chime"),
                               QStringLiteral("apply"), QStringLiteral("say 现在是北京时间14:30") }));
        QCOMPARE(log.entries.at(0).when, QDateTime(QDate(2024, 3, 4), QTime(9, 0)));
        QCOMPARE(log.entries.at(2).when, QDateTime(QDate(2024, 3, 4), QTime(9, 0, 1, 300)));
        QCOMPARE(log.entries.at(3).when, QDateTime(QDate(2024, 3, 4), QTime(14, 30)));
        QCOMPARE(log.entries.at(5).when, QDateTime(QDate(2024, 3, 4), QTime(14, 30, 1, 300)));
        for (const RecordingVoice::Spoken& spoken : voice.m_inner.spoken()) {
            QCOMPARE(spoken.flags, int(VoiceEngine::Async));
        }
        QCOMPARE(applied, 2);
        QCOMPARE(announcer.pending(), 0);
    }

    // A day off keeps the loudspeakers silent unless the calendar says otherwise; the next day
    // announces again.
    void silentOnDaysOff()
    {
        Log log(*m_clock);
        LoggingChime chime(log);
        LoggingVoice voice(log);
        TimeAnnouncer announcer(&chime, &voice, {});
        announcer.setList(listOf({ { QStringLiteral("09:00:00"), true } }));
        const QDate dayOff(2024, 3, 4);
        announcer.setSilentOn([&](const QDate& day) { return day == dayOff; });
        run(announcer, QDateTime(dayOff, QTime(10, 0)));
        QVERIFY(log.entries.isEmpty());
        m_clock->set(QDateTime(dayOff.addDays(1), QTime(8, 59)));
        run(announcer, QDateTime(dayOff.addDays(1), QTime(9, 1)));
        QCOMPARE(log.whats(), QStringList({ QStringLiteral("chime"), QStringLiteral("say 现在是北京时间09:00正") }));
    }

    void twoEntriesOfOneTimeFireTwiceInOrder()
    {
        Log log(*m_clock);
        LoggingChime chime(log);
        LoggingVoice voice(log);
        TimeAnnouncer announcer(&chime, &voice, {});
        announcer.setList(listOf({ { QStringLiteral("09:00:00"), true }, { QStringLiteral("09:00:00"), true } }));
        run(announcer, QDateTime(QDate(2024, 3, 4), QTime(9, 1)));

        const QDateTime nine(QDate(2024, 3, 4), QTime(9, 0));
        const QStringList expected = { QStringLiteral("chime"), QStringLiteral("say 现在是北京时间09:00正"),
                                       QStringLiteral("chime"), QStringLiteral("say 现在是北京时间09:00正") };
        QCOMPARE(log.whats(), expected);
        QCOMPARE(log.entries.at(0).when, nine);
        QCOMPARE(log.entries.at(1).when, nine.addMSecs(1300));
        QCOMPARE(log.entries.at(2).when, nine.addMSecs(1300));
        QCOMPARE(log.entries.at(3).when, nine.addMSecs(2600));
    }

    void midnightEntries()
    {
        Log log(*m_clock);
        LoggingChime chime(log);
        LoggingVoice voice(log);
        TimeAnnouncer announcer(&chime, &voice, {});
        announcer.setList(listOf({ { QStringLiteral("00:00:00"), true },
                                   { QStringLiteral("00:15:00"), true },
                                   { QStringLiteral("00:30:00"), true } }));
        m_clock->set(QDateTime(QDate(2024, 3, 4), QTime(23, 59, 50)));
        run(announcer, QDateTime(QDate(2024, 3, 5), QTime(0, 31)));
        // 00:15 rings the chime and says nothing.
        QCOMPARE(
            log.whats(),
            QStringList({ QStringLiteral("chime"), QStringLiteral("say 现在是北京时间 零点正"), QStringLiteral("chime"),
                          QStringLiteral("chime"), QStringLiteral("say 现在是北京时间 零点30") }));
    }

    void badListsAnnounceNothing_data()
    {
        QTest::addColumn<QString>("stime");
        QTest::newRow("not a time") << QStringLiteral("ab:cd:ef");
        QTest::newRow("without seconds") << QStringLiteral("09:00");
        QTest::newRow("empty") << QString();
    }
    void badListsAnnounceNothing()
    {
        QFETCH(QString, stime);
        Log log(*m_clock);
        LoggingChime chime(log);
        LoggingVoice voice(log);
        TimeAnnouncer announcer(&chime, &voice, {});
        announcer.setList(listOf({ { stime, true } }));
        run(announcer, QDateTime(QDate(2024, 3, 4), QTime(9, 30)));
        announcer.setList(TellTimeList());
        run(announcer, QDateTime(QDate(2024, 3, 4), QTime(10, 30)));
        QVERIFY(log.entries.isEmpty());
    }

    void withoutAVoiceOnlyTheChimeSounds()
    {
        Log log(*m_clock);
        LoggingChime chime(log);
        TimeAnnouncer announcer(&chime, nullptr, {});
        announcer.setList(listOf({ { QStringLiteral("09:00:00"), true } }));
        run(announcer, QDateTime(QDate(2024, 3, 4), QTime(9, 1)));
        QCOMPARE(log.whats(), QStringList({ QStringLiteral("chime") }));
        QCOMPARE(announcer.pending(), 0);
    }

    // The music ducks from the chime until the sentence has been said (the chime over too); isreading,
    // which the repetition follows, is never touched.
    void anAnnouncementSoundsUntilItsChimeAndSentenceAreOver()
    {
        ReadingState state;
        state.release();
        SoundingChime chime;
        RecordingVoice voice;
        TimeAnnouncer announcer(&chime, &voice, {});
        announcer.setReadingState(&state);
        announcer.setList(listOf({ { QStringLiteral("09:00:00"), true } }));
        const QDateTime nine(QDate(2024, 3, 4), QTime(9, 0));
        run(announcer, nine.addSecs(-1));
        QVERIFY(!state.voiceSounds());

        chime.playing = true;
        run(announcer, nine);
        QVERIFY(state.voiceSounds());
        QVERIFY(!state.isreading());
        voice.setSpeaking(true); // the sentence, once handed over, plays for a while
        run(announcer, nine.addMSecs(2600));
        QCOMPARE(voice.texts(), QStringList({ QStringLiteral("现在是北京时间09:00正") }));
        chime.playing = false;
        run(announcer, nine.addSecs(5));
        QVERIFY(state.voiceSounds()); // still speaking
        QCOMPARE(announcer.nextDueIn(m_clock->now()), qint64(TimeAnnouncer::SoundingPollMs));
        voice.setSpeaking(false);
        run(announcer, m_clock->now().addMSecs(TimeAnnouncer::SoundingPollMs));
        QVERIFY(!state.voiceSounds());
        QVERIFY(!announcer.sounding());
        QCOMPARE(announcer.nextDueIn(m_clock->now()), qint64(-1));
    }

    void aVoiceThatNeverFallsSilentEndsTheSoundingInTime()
    {
        ReadingState state;
        state.release();
        RecordingVoice voice;
        voice.setSpeaking(true); // a long reading on the same voice
        TimeAnnouncer announcer(nullptr, &voice, {});
        announcer.setReadingState(&state);
        const QDateTime nine(QDate(2024, 3, 4), QTime(9, 0));
        m_clock->set(nine);
        announcer.telltimeing(QStringLiteral("09:00:00"), nine);
        run(announcer, nine.addMSecs(1300 + TimeAnnouncer::SoundingLimitMs - 200));
        QVERIFY(state.voiceSounds());
        run(announcer, nine.addMSecs(1300 + TimeAnnouncer::SoundingLimitMs + 200));
        QVERIFY(!state.voiceSounds());
    }

    void anAnnouncerGoneWhileSoundingLeavesNoDucking()
    {
        ReadingState state;
        state.release();
        {
            TimeAnnouncer announcer(nullptr, nullptr, {});
            announcer.setReadingState(&state);
            announcer.telltimeing(QStringLiteral("09:00:00"), QDateTime(QDate(2024, 3, 4), QTime(9, 0)));
            QVERIFY(state.voiceSounds());
        }
        QVERIFY(!state.voiceSounds());
    }

    void aFailingVoiceLosesOnlyItsSentence()
    {
        Log log(*m_clock);
        LoggingChime chime(log);
        LoggingVoice voice(log);
        TimeAnnouncer announcer(&chime, &voice, {});
        const QDateTime nine(QDate(2024, 3, 4), QTime(9, 0));
        announcer.telltimeing(QStringLiteral("09:00:00"), nine);
        announcer.telltimeing(QStringLiteral("09:00:00"), nine);
        voice.m_inner.failNextSpeak(QStringLiteral("audio device lost"));
        QVERIFY_THROWS_EXCEPTION(std::exception, announcer.serve(nine.addMSecs(1300)));
        QCOMPARE(announcer.pending(), 1);
        QCOMPARE(announcer.nextDueIn(nine.addMSecs(1300)), 0);
        announcer.serve(nine.addMSecs(1300));
        announcer.serve(nine.addMSecs(2600));
        QCOMPARE(voice.m_inner.texts(), QStringList({ QStringLiteral("现在是北京时间09:00正") }));
        QCOMPARE(log.whats().count(QStringLiteral("chime")), 2);
    }

    void clockJumps_data()
    {
        QTest::addColumn<QTime>("from");
        QTest::addColumn<QTime>("to");
        QTest::addColumn<int>("announcements");
        QTest::newRow("jumps over the entry: no backlog") << QTime(8, 59, 59) << QTime(9, 0, 5) << 0;
        QTest::newRow("wakes exactly at the entry") << QTime(8, 0) << QTime(9, 0, 0, 600) << 1;
        QTest::newRow("set back a few seconds: no repeat") << QTime(9, 0, 3) << QTime(8, 59, 58) << 1;
        QTest::newRow("set back an hour: the time comes again") << QTime(9, 0, 3) << QTime(8, 0) << 2;
    }
    void clockJumps()
    {
        QFETCH(QTime, from);
        QFETCH(QTime, to);
        QFETCH(int, announcements);
        RecordingVoice voice;
        TimeAnnouncer announcer(nullptr, &voice, {});
        announcer.setList(listOf({ { QStringLiteral("09:00:00"), true } }));
        const QDate day(2024, 3, 4);
        m_clock->set(QDateTime(day, qMin(from.addSecs(-1), QTime(8, 59, 50))));
        run(announcer, QDateTime(day, from));
        m_clock->set(QDateTime(day, to));
        run(announcer, QDateTime(day, QTime(9, 10)));
        QCOMPARE(voice.texts().size(), announcements);
    }

    void aClockSetBackWhileWaitingStillSpeaks()
    {
        RecordingVoice voice;
        TimeAnnouncer announcer(nullptr, &voice, {});
        const QDateTime nine(QDate(2024, 3, 4), QTime(9, 0));
        announcer.telltimeing(QStringLiteral("09:00:00"), nine);
        // Set back an hour during the wait: the sentence follows 1.3 s after the time seen, not an hour later.
        announcer.serve(nine.addSecs(-3600));
        QCOMPARE(announcer.nextDueIn(nine.addSecs(-3600)), 1300);
        announcer.serve(nine.addSecs(-3600).addMSecs(1300));
        QCOMPARE(voice.texts().size(), 1);
    }

    void nextEntry_data()
    {
        QTest::addColumn<QStringList>("entries"); // "hh:mm:ss" enabled, "-hh:mm:ss" disabled
        QTest::addColumn<QTime>("now");
        QTest::addColumn<QDateTime>("next");
        const QDate day(2024, 3, 4);
        const QDate tomorrow = day.addDays(1);
        QTest::newRow("later today") << QStringList({ "09:00:00", "14:30:00" }) << QTime(8, 59)
                                     << QDateTime(day, QTime(9, 0));
        QTest::newRow("disabled entries are passed over")
            << QStringList({ "-09:00:00", "14:30:00" }) << QTime(8, 59) << QDateTime(day, QTime(14, 30));
        QTest::newRow("past them all: tomorrow's first")
            << QStringList({ "14:30:00", "09:00:00" }) << QTime(15, 0) << QDateTime(tomorrow, QTime(9, 0));
        QTest::newRow("inside its second, not yet checked")
            << QStringList({ "09:00:00" }) << QTime(9, 0, 0, 400) << QDateTime(day, QTime(9, 0));
        QTest::newRow("across midnight") << QStringList({ "00:00:00" }) << QTime(23, 59, 59, 500)
                                         << QDateTime(tomorrow, QTime(0, 0));
        QTest::newRow("a time written otherwise never matches")
            << QStringList({ "9:00:00", "09:00" }) << QTime(8, 0) << QDateTime();
        QTest::newRow("nothing enabled") << QStringList({ "-09:00:00" }) << QTime(8, 0) << QDateTime();
        QTest::newRow("empty list") << QStringList() << QTime(8, 0) << QDateTime();
    }
    void nextEntry()
    {
        QFETCH(QStringList, entries);
        QFETCH(QTime, now);
        QFETCH(QDateTime, next);
        QList<QPair<QString, bool>> list;
        for (const QString& entry : std::as_const(entries)) {
            list.append(
                { entry.startsWith(QLatin1Char('-')) ? entry.mid(1) : entry, !entry.startsWith(QLatin1Char('-')) });
        }
        TimeAnnouncer announcer(nullptr, nullptr, {});
        announcer.setList(listOf(list));
        const QDateTime at(QDate(2024, 3, 4), now);
        QCOMPARE(announcer.nextEntry(at), next);
        QCOMPARE(announcer.nextEntryIn(at), next.isValid() ? qMax(qint64(0), at.msecsTo(next)) : qint64(-1));
    }

    // Once its second has been checked, the entry's next time is tomorrow's.
    void aCheckedSecondIsNotNextAgain()
    {
        RecordingVoice voice;
        TimeAnnouncer announcer(nullptr, &voice, {});
        announcer.setList(listOf({ { QStringLiteral("09:00:00"), true } }));
        const QDateTime nine(QDate(2024, 3, 4), QTime(9, 0));
        announcer.check(nine);
        QCOMPARE(announcer.nextEntry(nine.addMSecs(500)), nine.addDays(1));
        // Reached late, an entry is fired once, and not again by the check of now that follows.
        TimeAnnouncer late(nullptr, &voice, {});
        late.setList(listOf({ { QStringLiteral("09:00:00"), true } }));
        late.checkLate(nine, nine.addMSecs(1700));
        QCOMPARE(late.pending(), 1);
        late.checkLate(nine, nine.addMSecs(1800));
        late.check(nine.addMSecs(1900));
        QCOMPARE(late.pending() + voice.texts().size(), 1);
        QCOMPARE(late.nextEntry(nine.addMSecs(1900)), nine.addDays(1));
    }

    void listFromTheTable()
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("telltimelist"));
        db.setDatabaseName(QStringLiteral(":memory:"));
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec(QStringLiteral("CREATE TABLE telltime (id INTEGER PRIMARY KEY, stime TEXT, text TEXT, "
                                          "speaker TEXT, isplay INTEGER)")));
        {
            QSqlTableModel model(nullptr, db);
            model.setTable(QStringLiteral("telltime"));
            model.setSort(1, Qt::AscendingOrder);
            QVERIFY(model.select());
            const TellTimeList empty = filltelltime(&model);
            QCOMPARE(empty.rowCount(), 2);
            QVERIFY(!empty.hasData());

            // More rows than one fetch of a lazily fetching model.
            for (int i = 0; i < 300; ++i) {
                QVERIFY(query.exec(QStringLiteral("INSERT INTO telltime VALUES (%1, '%2', 'x', NULL, %3)")
                                       .arg(i + 1)
                                       .arg(QTime(0, 0).addSecs(i * 60).toString(QStringLiteral("HH:mm:ss")))
                                       .arg(i % 2)));
            }
            QVERIFY(query.exec(QStringLiteral("UPDATE telltime SET speaker = 'Mandarin' WHERE id = 2")));
            QVERIFY(model.select());
            const TellTimeList list = filltelltime(&model);
            QCOMPARE(list.rowCount(), 301);
            QCOMPARE(list.rows.at(0).id, QStringLiteral("1"));
            QCOMPARE(list.rows.at(0).stime, QStringLiteral("00:00:00"));
            QCOMPARE(list.rows.at(0).speaker, QString());
            QCOMPARE(list.rows.at(0).isplay, QString());
            QCOMPARE(list.rows.at(1).speaker, QStringLiteral("Mandarin"));
            QCOMPARE(list.rows.at(1).isplay, QStringLiteral("√"));
            QCOMPARE(list.rows.at(299).stime, QStringLiteral("04:59:00"));
        }
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("telltimelist"));
    }

    void isplayValues_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("yes");
        QTest::newRow("1") << QVariant(1) << true;
        QTest::newRow("0") << QVariant(0) << false;
        QTest::newRow("-1 (Access yes)") << QVariant(-1) << true;
        QTest::newRow("true") << QVariant(true) << true;
        QTest::newRow("yes") << QVariant(QStringLiteral("Yes")) << true;
        QTest::newRow("no") << QVariant(QStringLiteral("no")) << false;
        QTest::newRow("text 1") << QVariant(QStringLiteral("1")) << true;
        QTest::newRow("NULL") << QVariant() << false;
    }
    void isplayValues()
    {
        QFETCH(QVariant, value);
        QFETCH(bool, yes);
        QCOMPARE(isplayValue(value), yes);
    }

    void theChimeIsAStereoWaveOfAbout2_6Seconds()
    {
        QFile file(QStringLiteral(":/sounds/clock.wav"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray wav = file.readAll();
        QVERIFY(wav.startsWith("RIFF") && wav.mid(8, 4) == "WAVE");
        const auto u16 = [&](int at) { return quint16(quint8(wav[at])) | quint16(quint8(wav[at + 1])) << 8; };
        const auto u32 = [&](int at) { return quint32(u16(at)) | quint32(u16(at + 2)) << 16; };
        QCOMPARE(wav.mid(12, 4), QByteArray("fmt "));
        QCOMPARE(u16(20), quint16(1)); // PCM
        QCOMPARE(u16(22), quint16(2)); // stereo
        QCOMPARE(u32(24), quint32(44100)); // Hz
        const int dataAt = static_cast<int>(wav.indexOf("data"));
        QVERIFY(dataAt > 0);
        const double seconds = double(u32(dataAt + 4)) / u32(28);
        QVERIFY2(seconds > 2.5 && seconds < 2.7, qPrintable(QString::number(seconds)));
    }

    void theChimePlaysOnItsChannelAndIsReplaced()
    {
        SoundDevice sound;
        QVERIFY(sound.open());
        ResourceChime chime(&sound);
        QVERIFY(!chime.isPlaying());
        chime.play();
        QVERIFY(chime.isPlaying());
        chime.play(); // replaces the one still playing
        QVERIFY(chime.isPlaying());
        sound.close();
        QVERIFY(!chime.isPlaying());
        chime.play(); // the closed output opens again for it
        QVERIFY(chime.isPlaying());
        QCOMPARE(sound.openings(), 2);
        QVERIFY(sound.holds() >= 1); // the chime holds it while it sounds
    }
};

// The announcements on the station: no polling, a single-shot timer armed for the next entry's second
// (or for the safety tick when that is further away), driven here on the fake clock.
class TestTimeAnnouncements : public QObject
{
    Q_OBJECT

private:
    struct World
    {
        explicit World(const QDateTime& start)
            : clock(start)
            , log(clock)
            , chime(log)
        {
            services.clock = &clock;
            services.voice = &voice;
            announcements = std::make_unique<TimeAnnouncements>(nullptr, services, [] {});
            announcements->setChime(&chime);
        }
        // Lets time pass up to until as the event loop would, firing the entry timer at its moments;
        // returns how often it fired.
        int runUntil(const QDateTime& until)
        {
            int firings = 0;
            QTimer* timer = announcements->nextEntryTimer();
            while (timer->isActive() && clock.now().addMSecs(timer->interval()) <= until) {
                clock.advance(timer->interval());
                announcements->entryTimer();
                ++firings;
            }
            clock.advance(qMax(qint64(0), clock.now().msecsTo(until)));
            return firings;
        }
        QList<QDateTime> chimes() const
        {
            QList<QDateTime> result;
            for (const Log::Entry& entry : log.entries) {
                result.append(entry.when);
            }
            return result;
        }

        FakeClock clock;
        Log log;
        LoggingChime chime;
        RecordingVoice voice;
        Services services;
        std::unique_ptr<TimeAnnouncements> announcements;
    };

    static TellTimeList nineOClock()
    {
        TellTimeList list;
        list.rows.append(
            { QStringLiteral("1"), QStringLiteral("09:00:00"), QString(), QString(), TellTimeList::Checked });
        return list;
    }

    const QDate m_day { 2024, 3, 4 };

private slots:
    void armsForTheNextEntryOrTheSafetyTick()
    {
        World world(QDateTime(m_day, QTime(8, 59, 55)));
        QTimer* timer = world.announcements->nextEntryTimer();
        QVERIFY(!timer->isActive()); // nothing enabled: nothing to look at
        world.announcements->setList(nineOClock());
        QVERIFY(timer->isActive());
        QVERIFY(timer->isSingleShot());
        QCOMPARE(timer->interval(), 5000);
        QCOMPARE(world.announcements->armedFor(), QDateTime(m_day, QTime(9, 0)));
        world.clock.set(QDateTime(m_day, QTime(8, 0)));
        world.announcements->setList(nineOClock());
        QCOMPARE(timer->interval(), TimeAnnouncements::SafetyTickMs);
        QVERIFY(!world.announcements->armedFor().isValid());
        world.announcements->setList(TellTimeList());
        QVERIFY(!timer->isActive());
    }

    // An hour of waiting wakes only at the safety ticks, and the entry sounds on its very second.
    void firesOnItsSecondWithoutPolling()
    {
        World world(QDateTime(m_day, QTime(8, 0)));
        world.announcements->setList(nineOClock());
        const int firings = world.runUntil(QDateTime(m_day, QTime(9, 1)));
        QCOMPARE(world.chimes(), QList<QDateTime>({ QDateTime(m_day, QTime(9, 0)) }));
        QVERIFY2(firings <= 61 * 60 * 1000 / TimeAnnouncements::SafetyTickMs + 2, qPrintable(QString::number(firings)));
    }

    void clockSteps_data()
    {
        QTest::addColumn<QTime>("start");
        QTest::addColumn<QTime>("runTo"); // time passes up to here before the step
        QTest::addColumn<QTime>("steppedTo");
        QTest::addColumn<QList<QTime>>("chimes");
        QTest::newRow("set back an hour while armed: the entry comes again")
            << QTime(8, 59, 50) << QTime(8, 59, 50) << QTime(7, 59, 55) << QList<QTime>({ QTime(9, 0) });
        QTest::newRow("set back by a second just after it: no repeat")
            << QTime(8, 59, 59) << QTime(9, 0, 0, 200) << QTime(8, 59, 59, 500) << QList<QTime>({ QTime(9, 0) });
        QTest::newRow("set forward over the entry: no backlog")
            << QTime(8, 59, 59) << QTime(8, 59, 59, 500) << QTime(9, 0, 5) << QList<QTime>();
        QTest::newRow("set forward from far away to before it")
            << QTime(7, 0) << QTime(7, 0, 3) << QTime(8, 59, 40) << QList<QTime>({ QTime(9, 0) });
    }
    void clockSteps()
    {
        QFETCH(QTime, start);
        QFETCH(QTime, runTo);
        QFETCH(QTime, steppedTo);
        QFETCH(QList<QTime>, chimes);
        World world(QDateTime(m_day, start));
        world.announcements->setList(nineOClock());
        world.runUntil(QDateTime(m_day, runTo));
        world.clock.set(QDateTime(m_day, steppedTo));
        world.runUntil(QDateTime(m_day, QTime(9, 10)));
        QList<QDateTime> expected;
        for (const QTime& time : std::as_const(chimes)) {
            expected.append(QDateTime(m_day, time));
        }
        QCOMPARE(world.chimes(), expected);
    }

    // A timer reached after its second by a busy moment (no clock step) still says its entry, once.
    void aLateTimerStillAnnounces()
    {
        World world(QDateTime(m_day, QTime(8, 59, 59)));
        world.announcements->setList(nineOClock());
        QCOMPARE(world.announcements->nextEntryTimer()->interval(), 1000);
        world.clock.advance(2500); // the main thread was busy
        world.announcements->entryTimer();
        QCOMPARE(world.chimes(), QList<QDateTime>({ QDateTime(m_day, QTime(9, 0, 1, 500)) }));
        world.runUntil(QDateTime(m_day, QTime(9, 5)));
        QCOMPARE(world.chimes().size(), 1);
        QCOMPARE(world.announcements->armedFor(), QDateTime());
        QCOMPARE(world.announcements->announcer().nextEntry(world.clock.now()),
                 QDateTime(m_day.addDays(1), QTime(9, 0)));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TestTimeAnnouncer announcer;
    TestTimeAnnouncements announcements;
    return QTest::qExec(&announcer, argc, argv) | QTest::qExec(&announcements, argc, argv);
}
#include "test_timeannouncer.moc"
