#include "common/eventlog.h"
#include "common/readingstate.h"
#include "fakeclock.h"
#include "music/musicplayer.h"
#include "recordingaudiolibrary.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The list, display, status panel and position timer of the window, in memory.
class FakeView final : public MusicView
{
public:
    int count() const override { return int(entries.size()); }
    int selectedIndex() const override { return selected; }
    void select(int index) override { selected = index; }
    QString entryPath(int index) const override { return QStringLiteral("/music/") + entries.at(index); }
    bool folderExists() const override { return true; }
    QString folderPath() const override { return QStringLiteral("/music"); }
    void showPosition(const QString& text) override { position = text; }
    void showStatus(const QString& path) override { status = path; }
    void setPositionTimer(bool on) override { timerOn = on; }
    void setLevelTimer(bool on) override { levelTimerOn = on; }

    QStringList entries;
    int selected = -1;
    QString position;
    QString status;
    bool timerOn = false;
    bool levelTimerOn = false;
};

QList<float> levels(std::initializer_list<int> values)
{
    QList<float> result;
    for (int value : values) {
        result.append(float(value) / 100.0f);
    }
    return result;
}

QList<float> rising(int from, int to)
{
    QList<float> result;
    for (int level = from; level <= to; ++level) {
        result.append(float(level) / 100.0f);
    }
    return result;
}

} // namespace

class TestMusicPlayer : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_clock = std::make_unique<FakeClock>(2024, 3, 5, 9, 5, 7);
        m_library = std::make_unique<RecordingAudioLibrary>();
        m_view = std::make_unique<FakeView>();
        m_state = std::make_unique<ReadingState>();
        m_state->release();
        m_draws.clear();
        m_bounds.clear();
        m_player = std::make_unique<MusicPlayer>(m_library.get(), *m_view, *m_state, *m_clock, [this](int bound) {
            m_bounds.append(bound);
            return m_draws.isEmpty() ? 0 : m_draws.takeFirst();
        });
        m_player->setBj_level(10);
    }

    void cleanup()
    {
        m_player.reset();
        m_view.reset();
        m_library.reset();
        m_clock.reset();
    }

    void newTrackStartsAtSpeakingLevelAndFadesUp()
    {
        addFiles({ QStringLiteral("a.mp3") }, 215.7);
        m_player->bj_playClick();
        QCOMPARE(m_view->status, QStringLiteral("/music/a.mp3"));
        QCOMPARE(m_library->calls.mid(0, 2),
                 QStringList({ QStringLiteral("create /music/a.mp3"), QStringLiteral("volume 45 0.10") }));
        QVERIFY(m_library->calls.contains(QStringLiteral("play 45")));
        QCOMPARE(m_player->bj_length(), 215);
        QVERIFY(m_view->timerOn);
        m_library->clearVolumes();
        ticks(31);
        QCOMPARE(m_library->volumes(), rising(11, 40));
    }

    void duckingUnderTheVoice()
    {
        addFiles({ QStringLiteral("a.mp3") }, 100);
        m_player->bj_playClick();
        ticks(30);
        QCOMPARE(m_player->bj_level(), 40);

        m_library->clearVolumes();
        m_state->claim();
        ticks(4);
        // Down in steps of ten, then set on every tick while speaking, also when unchanged.
        QCOMPARE(m_library->volumes(), levels({ 30, 20, 10, 10 }));

        m_library->clearVolumes();
        m_state->release();
        ticks(35);
        QCOMPARE(m_library->volumes(), rising(11, 40));
    }

    void speakingLevelAboveTheCurrentLevelJumps()
    {
        addFiles({ QStringLiteral("a.mp3") }, 100);
        m_player->bj_playClick();
        m_player->setBj_level(30);
        m_player->setSpeakingLevel(50);
        m_state->claim();
        m_library->clearVolumes();
        ticks(2);
        QCOMPARE(m_library->volumes(), levels({ 50, 50 }));
    }

    void noStreamNoVolumeCalls()
    {
        addFiles({ QStringLiteral("a.mp3") }, 100);
        m_state->claim();
        ticks(3);
        m_state->release();
        ticks(3);
        QVERIFY(m_library->calls.isEmpty());
    }

    void musicLevelBelowSpeakingLevel()
    {
        // Outside a reading a track never plays louder than the music level.
        addFiles({ QStringLiteral("a.mp3") }, 100);
        m_player->setMusicLevel(5);
        m_player->setSpeakingLevel(20);
        m_player->bj_playClick();
        QCOMPARE(m_library->volumes(), levels({ 5 }));
        m_state->claim();
        ticks(1);
        m_state->release();
        m_library->clearVolumes();
        ticks(3);
        QCOMPARE(m_library->volumes(), levels({ 5 }));
        QCOMPARE(m_player->bj_level(), 5);
    }

    void trackStartedDuringReadingStaysDown()
    {
        addFiles({ QStringLiteral("a.mp3") }, 100);
        m_state->claim();
        m_player->bj_playClick();
        QCOMPARE(m_library->volumes(), levels({ 10 }));
        QCOMPARE(m_player->bj_level(), 10);
    }

    void levelEdits()
    {
        addFiles({ QStringLiteral("a.mp3"), QStringLiteral("b.mp3") }, 100);
        m_player->bj_playClick();
        m_library->clearVolumes();

        m_player->bj_vChange(60); // outside a reading: at once, no fade
        QCOMPARE(m_player->bj_level(), 60);
        m_player->bj_v1Change(20); // outside a reading: only remembered
        QCOMPARE(m_library->volumes(), levels({ 60 }));

        m_state->claim();
        m_player->bj_vChange(70); // while speaking: takes effect when the music rises again
        m_player->bj_v1Change(25);
        QCOMPARE(m_player->bj_level(), 25);
        QCOMPARE(m_library->volumes(), levels({ 60, 25 }));

        m_player->setBj_level(33);
        m_player->BJListBox1Change();
        QCOMPARE(m_library->volumes(), levels({ 60, 25, 25 }));
        QCOMPARE(m_player->bj_level(), 33);
        m_state->release();
        m_player->BJListBox1Change();
        QCOMPARE(m_library->volumes(), levels({ 60, 25, 25, 70 }));
        QCOMPARE(m_player->bj_level(), 33);
    }

    void playWithNothingSelected_data()
    {
        QTest::addColumn<int>("order");
        QTest::addColumn<int>("drawn");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QList<int>>("bounds");
        QTest::newRow("sequential") << 0 << 2 << QStringLiteral("a.mp3") << QList<int>();
        QTest::newRow("random") << 1 << 2 << QStringLiteral("c.mp3") << QList<int>({ 3 });
    }

    void playWithNothingSelected()
    {
        QFETCH(int, order);
        QFETCH(int, drawn);
        addFiles({ QStringLiteral("a.mp3"), QStringLiteral("b.mp3"), QStringLiteral("c.mp3") }, 100);
        m_player->setPlayOrder(order);
        m_draws = { drawn };
        m_player->bj_playClick();
        QTEST(m_view->status.mid(7), "expected");
        QTEST(m_bounds, "bounds");
    }

    void nextAndPrevious_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("expected");
        QTest::newRow("next") << 0 << "next" << 1;
        QTest::newRow("next on the last wraps") << 2 << "next" << 0;
        QTest::newRow("previous") << 2 << "prev" << 1;
        QTest::newRow("previous on the first replays it") << 0 << "prev" << 0;
    }

    void nextAndPrevious()
    {
        QFETCH(int, start);
        QFETCH(QString, button);
        QFETCH(int, expected);
        addFiles({ QStringLiteral("a.mp3"), QStringLiteral("b.mp3"), QStringLiteral("c.mp3") }, 100);
        m_view->selected = start;
        m_player->bj_playClick();
        m_library->calls.clear();
        if (button == QLatin1String("next")) {
            m_player->bj_nextClick();
        } else {
            m_player->bj_prevClick();
        }
        QCOMPARE(m_view->selected, expected);
        QCOMPARE(m_player->bj_index(), expected);
        QCOMPARE(m_view->status, m_view->entryPath(expected));
        // The change notification sets the old stream's level before the new track replaces it.
        QCOMPARE(m_library->calls.mid(0, 3),
                 QStringList({ QStringLiteral("volume 45 0.40"), QStringLiteral("free 45"),
                               QStringLiteral("create ") + m_view->entryPath(expected) }));
    }

    void previousWithoutSelectionCountsFromTheTrack()
    {
        addFiles({ QStringLiteral("a.mp3"), QStringLiteral("b.mp3"), QStringLiteral("c.mp3") }, 100);
        m_view->selected = 2;
        m_player->bj_playClick();
        m_view->selected = -1; // the list was re-read
        m_player->bj_prevClick();
        QCOMPARE(m_player->bj_index(), 1);
        QCOMPARE(m_view->status, QStringLiteral("/music/b.mp3"));
    }

    void nextAndPreviousOnAnEmptyList()
    {
        m_player->bj_nextClick();
        m_player->bj_prevClick();
        QVERIFY(m_library->calls.isEmpty());
        QVERIFY(m_view->status.isEmpty());
    }

    void playOnAnEmptyListSwitchesTheTimerOff()
    {
        m_view->timerOn = true;
        m_player->bj_playClick();
        QVERIFY(!m_view->timerOn);
        QVERIFY(m_library->calls.isEmpty());
    }

    // A broadcast whose music list is empty says so in the log, once, naming the folder.
    void anEmptyListIsLogged()
    {
        QTemporaryDir folder;
        EventLog::open(folder.filePath(QStringLiteral("kelvora.log")), false, m_clock.get());
        m_player->bj_playClick();
        EventLog::close();
        QFile log(folder.filePath(QStringLiteral("kelvora.log")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(log.readAll());
        QCOMPARE(text.count(QLatin1Char('\n')), 1);
        QVERIFY2(text.contains(QStringLiteral("music not started: no MP3 file in the music folder /music")),
                 qPrintable(text));
    }

    void positionDisplay()
    {
        addFiles({ QStringLiteral("a.mp3") }, 215.7);
        m_player->bj_playClick();
        m_library->setPosition(m_player->bj_stream(), 5.9);
        m_player->bj_timer1Timer();
        QCOMPARE(m_view->position, QStringLiteral(" 05 / 215 "));
        QCOMPARE(m_player->bj_length(), 215);
        m_library->setPosition(m_player->bj_stream(), 125.0);
        m_player->bj_timer1Timer();
        QCOMPARE(m_view->position, QStringLiteral(" 125 / 215 "));
    }

    void endOfTrack_data()
    {
        QTest::addColumn<int>("order");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("drawn");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QList<int>>("bounds");
        QTest::newRow("sequential: the next one") << 0 << 1 << 0 << 2 << QList<int>();
        QTest::newRow("sequential: the last one starts over") << 0 << 2 << 0 << 0 << QList<int>();
        // One of the other two, each as likely: draws at or past the track that ended move past it.
        QTest::newRow("random: below the one that ended") << 1 << 2 << 1 << 1 << QList<int>({ 2 });
        QTest::newRow("random: the one that ended is passed") << 1 << 0 << 0 << 1 << QList<int>({ 2 });
        QTest::newRow("random: the last entry can be drawn") << 1 << 0 << 1 << 2 << QList<int>({ 2 });
    }

    void endOfTrack()
    {
        QFETCH(int, order);
        QFETCH(int, start);
        QFETCH(int, drawn);
        QFETCH(int, expected);
        addFiles({ QStringLiteral("a.mp3"), QStringLiteral("b.mp3"), QStringLiteral("c.mp3") }, 100.4);
        m_player->setPlayOrder(order);
        m_view->selected = start;
        m_player->bj_playClick();
        m_draws = { drawn };
        // The position timer is the fallback of a library that cannot tell the end: the track is not
        // cut within its last second.
        m_library->setEndHandler({});
        m_library->setPosition(m_player->bj_stream(), 100.3);
        m_player->bj_timer1Timer();
        QCOMPARE(m_player->bj_index(), start); // 100.4 > 100.3: still playing
        m_library->setPosition(m_player->bj_stream(), 100.4);
        m_player->bj_timer1Timer();
        QCOMPARE(m_player->bj_index(), expected);
        QCOMPARE(m_view->selected, expected);
        QCOMPARE(m_view->status, m_view->entryPath(expected));
        QTEST(m_bounds, "bounds");
    }

    void randomWithOneFilePlaysItAgain()
    {
        addFiles({ QStringLiteral("only.mp3") }, 3);
        m_player->setPlayOrder(MusicPlayer::Random);
        m_player->bj_playClick();
        for (int round = 0; round < 3; ++round) {
            QVERIFY(m_library->finish(m_player->bj_stream()));
            QCOMPARE(m_view->status, QStringLiteral("/music/only.mp3"));
        }
        QCOMPARE(m_library->calls.filter(QStringLiteral("create")).size(), 4);
        QVERIFY(m_bounds.isEmpty()); // a single choice needs no draw
    }

    void stopNeverAdvances()
    {
        addFiles({ QStringLiteral("a.mp3"), QStringLiteral("b.mp3") }, 10);
        m_player->bj_playClick();
        const auto handle = m_player->bj_stream();
        m_player->bj_stopClick();
        QCOMPARE(m_library->calls.mid(m_library->calls.size() - 2),
                 QStringList({ QStringLiteral("stop 45"), QStringLiteral("free 45") }));
        QCOMPARE(m_player->bj_stream(), handle); // keeps the freed handle's value
        // Both timers rest while nothing plays; the display shows the stopped position at once.
        QVERIFY(!m_view->timerOn);
        QVERIFY(!m_view->levelTimerOn);
        QCOMPARE(m_view->position, QStringLiteral(" 00 / 10 "));
        // A tick already queued when the timer stopped still advances nothing.
        for (int second = 0; second < 20; ++second) {
            m_player->bj_timer1Timer();
        }
        QCOMPARE(m_view->position, QStringLiteral(" 00 / 10 "));
        QCOMPARE(m_library->calls.filter(QStringLiteral("create")).size(), 1);
        // Play starts again, and with it the advance and both timers.
        m_player->bj_playClick();
        QVERIFY(!m_player->isStopped());
        QVERIFY(m_view->timerOn);
        QVERIFY(m_view->levelTimerOn);
    }

    // The 20 ms level timer runs only while a stream is open: it starts with a track, rests after a
    // stop, after a list of which nothing plays, and at its own tick once the stream has gone.
    void theLevelTimerRunsOnlyWithAStream()
    {
        addFiles({ QStringLiteral("a.mp3"), QStringLiteral("b.mp3") }, 10);
        // A tick without any stream (one queued before the timer was switched off) switches it off.
        m_view->levelTimerOn = true;
        m_player->bj_timer2Timer();
        QVERIFY(!m_view->levelTimerOn);
        m_player->bj_playClick();
        QVERIFY(m_view->levelTimerOn);
        m_player->bj_timer2Timer();
        QVERIFY(m_view->levelTimerOn);
        m_player->bj_nextClick();
        QVERIFY(m_view->levelTimerOn);
        // Nothing of the list plays: the timer rests again.
        m_view->entries = QStringList({ QStringLiteral("missing.mp3") });
        m_view->selected = 0;
        m_player->bj_playClick();
        QVERIFY(!m_view->levelTimerOn);
        QVERIFY(!m_view->timerOn);
    }

    void aFileThatFailsIsPassedOver_data()
    {
        QTest::addColumn<QStringList>("entries"); // "x" marks a file the library refuses
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("plays"); // empty: nothing can play
        QTest::addColumn<int>("opened"); // files the player tried
        QTest::newRow("the next one plays") << QStringList { "a", "x1", "b" } << 1 << "/music/b.mp3" << 2;
        QTest::newRow("the list wraps") << QStringList { "a", "b", "x1" } << 2 << "/music/a.mp3" << 2;
        QTest::newRow("two in a row") << QStringList { "x1", "x2", "c" } << 0 << "/music/c.mp3" << 3;
        QTest::newRow("none plays, each tried once") << QStringList { "x1", "x2", "x3" } << 1 << QString() << 3;
    }

    void aFileThatFailsIsPassedOver()
    {
        QFETCH(QStringList, entries);
        QFETCH(int, selected);
        QFETCH(QString, plays);
        QFETCH(int, opened);
        for (const QString& entry : std::as_const(entries)) {
            m_view->entries.append(entry + QStringLiteral(".mp3"));
            if (!entry.startsWith(QLatin1Char('x'))) {
                m_library->addFile(QStringLiteral("/music/%1.mp3").arg(entry), 60);
            }
        }
        m_view->selected = selected;
        m_player->bj_playClick();
        QCOMPARE(m_library->calls.filter(QStringLiteral("create")).size(), opened);
        if (plays.isEmpty()) {
            QCOMPARE(m_player->bj_stream(), AudioLibrary::Handle(0));
            QVERIFY(!m_view->timerOn);
            QVERIFY(m_player->isStopped());
        } else {
            QVERIFY(AudioLibrary::isOpen(m_player->bj_stream()));
            QCOMPARE(m_library->stream(m_player->bj_stream())->path, plays);
            QCOMPARE(m_view->status, plays);
            QVERIFY(m_view->timerOn);
        }
    }

    void withoutLibraryNothingHappens()
    {
        FakeView view;
        view.entries = { QStringLiteral("a.mp3") };
        MusicPlayer player(nullptr, view, *m_state, *m_clock);
        player.bj_playClick();
        player.bj_timer2Timer();
        player.bj_vChange(50);
        player.bj_timer1Timer();
        player.bj_stopClick();
        QCOMPARE(player.bj_stream(), AudioLibrary::Handle(0));
        QCOMPARE(view.status, QStringLiteral("/music/a.mp3"));
        QVERIFY(!view.timerOn);
    }

    void theDesignatedSong_data()
    {
        QTest::addColumn<QTime>("now");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("endtime");
        QTest::newRow("zero-padded") << QTime(8, 59, 0) << 65.9 << QStringLiteral("09:00:05");
        QTest::newRow("afternoon") << QTime(13, 58, 30) << 215.7 << QStringLiteral("14:02:05");
        QTest::newRow("single digits") << QTime(0, 0, 1) << 1.0 << QStringLiteral("00:00:02");
    }

    void theDesignatedSong()
    {
        QFETCH(QTime, now);
        QFETCH(double, seconds);
        m_clock->setTime(now);
        m_library->addFile(QStringLiteral("/songs/生日 快乐.mp3"), seconds);
        m_player->setBj_level(40);
        m_player->play_the_song(QStringLiteral("/songs/生日 快乐.mp3"));
        QTEST(m_player->song_endtime(), "endtime");
        QCOMPARE(m_view->status, QStringLiteral("/songs/生日 快乐.mp3"));
        QCOMPARE(m_player->bj_level(), 10); // fades in from the speaking level
        QVERIFY(m_view->timerOn);
    }

    void aMissingSongLeavesTheEndTime()
    {
        m_player->play_the_song(QStringLiteral("/songs/gone.mp3"));
        QCOMPARE(m_player->song_endtime(), QStringLiteral("00:00:00"));
        QVERIFY(!m_view->timerOn);
    }

    // The broadcast ends with the designated song: nothing of the list follows it, whether the library
    // tells the end or the position timer finds it.
    void silenceAfterTheSong_data()
    {
        QTest::addColumn<bool>("told");
        QTest::newRow("the library tells the end") << true;
        QTest::newRow("the position timer finds it") << false;
    }
    void silenceAfterTheSong()
    {
        QFETCH(bool, told);
        addFiles({ QStringLiteral("a.mp3"), QStringLiteral("b.mp3") }, 30);
        m_library->addFile(QStringLiteral("/songs/song.mp3"), 4.5);
        m_player->bj_playClick();
        m_player->play_the_song(QStringLiteral("/songs/song.mp3"));
        QVERIFY(m_player->songPlaying());
        const auto song = m_player->bj_stream();
        if (told) {
            QVERIFY(m_library->finish(song));
        } else {
            m_library->setEndHandler({});
            m_library->setPosition(song, 4.0);
            m_player->bj_timer1Timer();
            QVERIFY(m_player->songPlaying()); // within its last second: still playing
            m_library->setPosition(song, 4.5);
            m_player->bj_timer1Timer();
        }
        QVERIFY(!m_player->songPlaying());
        QVERIFY(m_player->isStopped());
        QCOMPARE(m_library->calls.filter(QStringLiteral("create")).size(), 2);
        QCOMPARE(m_library->calls.mid(m_library->calls.size() - 2),
                 QStringList({ QStringLiteral("stop %1").arg(song), QStringLiteral("free %1").arg(song) }));
        for (int second = 0; second < 5; ++second) {
            m_player->bj_timer1Timer();
        }
        QCOMPARE(m_library->calls.filter(QStringLiteral("create")).size(), 2);
        QVERIFY(m_view->status.endsWith(QStringLiteral("song.mp3")));
    }

    // The next track starts as soon as the library tells the end, not at the next second's tick.
    void theNextTrackStartsWhenTheLibraryTellsTheEnd()
    {
        addFiles({ QStringLiteral("a.mp3"), QStringLiteral("b.mp3") }, 30.7);
        m_player->bj_playClick();
        const auto first = m_player->bj_stream();
        QVERIFY(m_library->hasEndHandler());
        QVERIFY(m_library->finish(first));
        QCOMPARE(m_view->status, QStringLiteral("/music/b.mp3"));
        QCOMPARE(m_view->selected, 1);
        const auto second = m_player->bj_stream();
        QVERIFY(second != first);
        // An end told late, of a track already replaced, changes nothing.
        m_player->streamEnded(first);
        QCOMPARE(m_player->bj_stream(), second);
        // Nor does the end of a stopped track.
        m_player->bj_stopClick();
        m_player->streamEnded(second);
        QCOMPARE(m_library->calls.filter(QStringLiteral("create")).size(), 2);
    }

    void theEndHandlerGoesWithThePlayer()
    {
        QVERIFY(m_library->hasEndHandler());
        m_player.reset();
        QVERIFY(!m_library->hasEndHandler());
    }

    // Every file can be drawn, and with two or more the same file never plays twice in a row.
    void randomPlayDrawsEveryFileNeverTheSameTwice_data()
    {
        QTest::addColumn<int>("files");
        QTest::newRow("two files") << 2;
        QTest::newRow("ten files") << 10;
    }
    void randomPlayDrawsEveryFileNeverTheSameTwice()
    {
        QFETCH(int, files);
        FakeView view;
        for (int i = 0; i < files; ++i) {
            view.entries.append(QStringLiteral("%1.mp3").arg(i));
            m_library->addFile(QStringLiteral("/music/%1.mp3").arg(i), 60);
        }
        MusicPlayer player(m_library.get(), view, *m_state, *m_clock); // the real generator
        player.setPlayOrder(MusicPlayer::Random);
        QList<int> played;
        player.bj_playClick();
        played.append(player.bj_index());
        for (int pick = 0; pick < 40 * files; ++pick) {
            QVERIFY(m_library->finish(player.bj_stream()));
            QCOMPARE(view.status, view.entryPath(player.bj_index()));
            played.append(player.bj_index());
        }
        for (int i = 1; i < played.size(); ++i) {
            QVERIFY2(played.at(i) != played.at(i - 1), qPrintable(QStringLiteral("pick %1").arg(i)));
        }
        for (int file = 0; file < files; ++file) {
            QVERIFY2(played.contains(file), qPrintable(QStringLiteral("file %1 never played").arg(file)));
        }
    }

    // Play with nothing selected (a list read again) in random order does not repeat the last track.
    void randomPlayAfterATrackDrawsAnother()
    {
        addFiles({ QStringLiteral("a.mp3"), QStringLiteral("b.mp3"), QStringLiteral("c.mp3") }, 100);
        m_player->setPlayOrder(MusicPlayer::Random);
        m_view->selected = 1;
        m_player->bj_playClick();
        m_view->selected = -1;
        m_draws = { 1 };
        m_player->bj_playClick();
        QCOMPARE(m_bounds, QList<int>({ 2 }));
        QCOMPARE(m_view->status, QStringLiteral("/music/c.mp3"));
    }

    // An announcement ducks the music as a reading does; isreading is left alone.
    void duckingUnderAnAnnouncement()
    {
        addFiles({ QStringLiteral("a.mp3") }, 100);
        m_player->bj_playClick();
        ticks(30);
        m_library->clearVolumes();
        m_state->announcementStarted();
        QVERIFY(!m_state->isreading());
        ticks(3);
        QCOMPARE(m_library->volumes(), levels({ 30, 20, 10 }));
        m_state->announcementEnded();
        m_library->clearVolumes();
        ticks(30);
        QCOMPARE(m_library->volumes(), rising(11, 40));
    }

private:
    void addFiles(const QStringList& names, double seconds)
    {
        for (const QString& name : names) {
            m_view->entries.append(name);
            m_library->addFile(QStringLiteral("/music/") + name, seconds);
        }
    }

    void ticks(int count)
    {
        for (int i = 0; i < count; ++i) {
            m_player->bj_timer2Timer();
        }
    }

    std::unique_ptr<FakeClock> m_clock;
    std::unique_ptr<RecordingAudioLibrary> m_library;
    std::unique_ptr<FakeView> m_view;
    std::unique_ptr<ReadingState> m_state;
    std::unique_ptr<MusicPlayer> m_player;
    QList<int> m_draws;
    QList<int> m_bounds;
};

QTEST_GUILESS_MAIN(TestMusicPlayer)
#include "test_musicplayer.moc"
