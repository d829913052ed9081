// A broadcast day without a window: the scheduler starts and stops the reading controller and the music
// player themselves, with the real rules of both on the fake clock.
#include "common/readingstate.h"
#include "datafixture.h"
#include "fakeclock.h"
#include "fakereadingview.h"
#include "music/musicplayer.h"
#include "recordingaudiolibrary.h"
#include "recordingdialogs.h"
#include "recordingvoice.h"
#include "schedule/broadcastactions.h"
#include "schedule/scheduler.h"
#include "speech/pausesymbols.h"
#include "speech/readingcontroller.h"
#include "testfolder.h"

#include <QTest>
#include <QTimer>

namespace {

const QDate Monday(2024, 3, 4);

// The music list of the window, in memory.
class ListView final : public MusicView
{
public:
    int count() const override { return int(paths.size()); }
    int selectedIndex() const override { return selected; }
    void select(int index) override { selected = index; }
    QString entryPath(int index) const override { return paths.at(index); }
    bool folderExists() const override { return true; }
    QString folderPath() const override { return QStringLiteral("/music"); }
    void showPosition(const QString&) override { }
    void showStatus(const QString&) override { }
    void setPositionTimer(bool) override { }

    QStringList paths;
    int selected = -1;
};

} // namespace

class TestBroadcastActions : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // Each test its own world: the test object lives through all of them.
        m_scheduler = Scheduler();
        m_folder = std::make_unique<TestFolder>();
        m_library = std::make_unique<RecordingAudioLibrary>();
        m_clock = std::make_unique<FakeClock>(QDateTime(Monday, QTime(8, 59, 59)));
        m_voice.clear();
        m_voice.setSpeakDuration(3000, *m_clock);
        m_view = std::make_unique<FakeReadingView>(*m_clock, &m_voice);
        m_view->setText(QStringLiteral("今天是：员工，张三生日快乐。"));
        m_view->readtimes = 2;
        m_view->intervaltime = 10;
        m_pauses.publish(std::make_shared<const PauseTable>(QStringLiteral("，。"),
                                                            QHash<char32_t, int> { { U'，', 300 }, { U'。', 500 } }));
        Services services = fakeServices(*m_clock, m_dialogs);
        services.voice = &m_voice;
        m_reading = std::make_unique<ReadingController>(*m_view, services, m_state, m_pauses);
        m_reading->readcycled()->setInterval(24 * 3600 * 1000); // ticked by the test
        m_track = m_folder->file(QStringLiteral("a.mp3"));
        m_song = m_folder->file(QStringLiteral("song.mp3"));
        m_folder->write(QStringLiteral("a.mp3"), "ID3");
        m_folder->write(QStringLiteral("song.mp3"), "ID3");
        m_library->addFile(m_track, 600.0);
        m_library->addFile(m_song, 30.0);
        m_list.paths = { m_track };
        m_music = std::make_unique<MusicPlayer>(m_library.get(), m_list, m_state, *m_clock);
        m_actions = std::make_unique<BroadcastActions>(*m_reading, *m_music, m_dialogs);
        m_inputs.rangeStart = QTime(9, 0);
        m_inputs.rangeEnd = QTime(10, 0);
        m_inputs.weekdays = { false, true, true, true, true, true, true };
        m_inputs.editorText = m_view->text();
        m_inputs.songFile = m_song;
    }

    void cleanup()
    {
        m_actions.reset();
        m_reading.reset();
        m_music.reset();
        m_view.reset();
        m_dialogs.verifyAllSeen();
        m_library.reset();
        m_folder.reset();
        m_clock.reset();
    }

    void aBroadcastDay()
    {
        tick();
        QVERIFY(!m_reading->repetitionActive());
        m_clock->advance(1000); // 09:00:00
        tick();
        QVERIFY(m_reading->repetitionActive());
        QVERIFY(m_state.isreading());
        QCOMPARE(m_library->calls.filter(QStringLiteral("create ")),
                 QStringList { QStringLiteral("create ") + m_track });

        // Two readings ten seconds apart; the song waits for the repetition's end.
        for (int second = 0; second < 60; ++second) {
            m_reading->readcycledTimer();
            QTRY_COMPARE(m_state.readings(), 0);
            if (!m_reading->repetitionActive()) {
                break;
            }
            tick();
            QVERIFY(!m_library->calls.contains(QStringLiteral("create ") + m_song));
            m_clock->advance(1000);
        }
        QVERIFY(!m_reading->repetitionActive());
        QCOMPARE(m_voice.texts().filter(QStringLiteral("今天是")).size(), 2);
        tick();
        QCOMPARE(m_library->calls.filter(QStringLiteral("create ")).last(), QStringLiteral("create ") + m_song);
        QVERIFY(m_scheduler.song_started());

        // The song's time is over: the music stops.
        m_clock->advance(31 * 1000);
        tick();
        QVERIFY(m_scheduler.song_done());
        QVERIFY(m_music->isStopped());

        // Started by hand after the range, before the scheduler's first tick past it: that tick stops them.
        m_clock->set(QDateTime(Monday, QTime(10, 0, 1)));
        m_music->bj_playClick();
        m_reading->play();
        tick();
        QVERIFY(m_music->isStopped());
        QVERIFY(!m_state.isreading());
        QTRY_COMPARE(m_state.readings(), 0);
    }

    void withoutAVoiceTheSongFollowsAtOnce()
    {
        RecordingVoice silent(QStringList {});
        m_actions.reset();
        m_reading.reset();
        m_view = std::make_unique<FakeReadingView>(*m_clock, &silent);
        m_view->setText(m_inputs.editorText);
        Services services = fakeServices(*m_clock, m_dialogs);
        services.voice = &silent;
        m_reading = std::make_unique<ReadingController>(*m_view, services, m_state, m_pauses);
        m_actions = std::make_unique<BroadcastActions>(*m_reading, *m_music, m_dialogs);
        m_clock->advance(1000);
        tick();
        QCOMPARE(m_dialogs.takeTexts(), QStringList { QStringLiteral("请选择语音引擎!") });
        QVERIFY(!m_reading->repetitionActive());
        QCOMPARE(m_library->calls.filter(QStringLiteral("create ")),
                 QStringList({ QStringLiteral("create ") + m_track, QStringLiteral("create ") + m_song }));
        m_actions.reset();
        m_reading.reset();
    }

private:
    void tick() { m_scheduler.tick(m_clock->now(), m_inputs, *m_actions); }

    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<FakeClock> m_clock;
    RecordingDialogs m_dialogs;
    RecordingVoice m_voice;
    ReadingState m_state;
    PauseSymbols m_pauses;
    std::unique_ptr<RecordingAudioLibrary> m_library;
    ListView m_list;
    QString m_track;
    QString m_song;
    std::unique_ptr<FakeReadingView> m_view;
    std::unique_ptr<ReadingController> m_reading;
    std::unique_ptr<MusicPlayer> m_music;
    std::unique_ptr<BroadcastActions> m_actions;
    Scheduler m_scheduler;
    ScheduleInputs m_inputs;
};

QTEST_GUILESS_MAIN(TestBroadcastActions)
#include "test_broadcastactions.moc"
