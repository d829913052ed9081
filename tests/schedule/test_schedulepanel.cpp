#include "broadcastworld.h"
#include "common/helpers.h"
#include "datafixture.h"
#include "music/musicpanel.h"
#include "recordingaudiolibrary.h"
#include "recordingvoice.h"
#include "schedule/chime.h"
#include "schedule/schedulepanel.h"
#include "schedule/telltimetab.h"
#include "schedule/timeannouncements.h"
#include "shell/station.h"
#include "shell/tf_speaker.h"
#include "shell/tfdelaytime.h"
#include "speech/readingcommands.h"
#include "speech/readingcontroller.h"
#include "ui_telltimetab.h"
#include "ui_tf_speaker.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSqlTableModel>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimeEdit>
#include <QToolButton>

namespace {

const QDate Monday(2024, 3, 4);

class CountingChime final : public ChimePlayer
{
public:
    explicit CountingChime(const Clock& clock)
        : m_clock(clock)
    {
    }
    void play() override { times.append(m_clock.now()); }
    QList<QDateTime> times;

private:
    const Clock& m_clock;
};

// The no-voice warning of the whole-text loop: its box runs the event loop, so the timer ticks again
// inside the start of the repetition.
class WarningActions final : public ScheduleActions
{
public:
    WarningActions(BroadcastWorld& world, Dialogs& dialogs)
        : m_world(world)
        , m_dialogs(dialogs)
    {
    }
    SchedulePanel* panel = nullptr;
    int starts = 0;

    void startRepetition() override
    {
        ++starts;
        m_world.startRepetition();
        warnbox(m_dialogs, QStringLiteral("请选择语音引擎!"));
        panel->timer_autoplayTimer();
    }
    void playMusic() override { m_world.playMusic(); }
    void stopMusic() override { m_world.stopMusic(); }
    void stopReading() override { m_world.stopReading(); }
    bool repetitionActive() const override { return m_world.repetitionActive(); }
    void play_the_song(const QString& path) override { m_world.play_the_song(path); }
    QString song_endtime() const override { return m_world.song_endtime(); }

private:
    BroadcastWorld& m_world;
    Dialogs& m_dialogs;
};

// The schedule controls as the main window holds them, with the scheduler's actions going to a
// BroadcastWorld.
struct Panel
{
    QWidget window;
    QTimeEdit* from = new QTimeEdit(QTime(9, 0), &window);
    QTimeEdit* to = new QTimeEdit(QTime(14, 0), &window);
    std::array<QCheckBox*, 7> days {};
    QPlainTextEdit* memo = new QPlainTextEdit(QStringLiteral("今天是：员工，张三生日快乐。"), &window);
    QLineEdit* song = new QLineEdit(&window);
    BroadcastWorld world;
    std::unique_ptr<SchedulePanel> panel;

    Panel(Clock& clock, Dialogs& dialogs)
    {
        from->setDisplayFormat(QStringLiteral("HH:mm:ss"));
        to->setDisplayFormat(QStringLiteral("HH:mm:ss"));
        for (size_t day = 0; day < days.size(); ++day) {
            days[day] = new QCheckBox(&window);
            days[day]->setChecked(day != 0);
        }
        ScheduleControls controls;
        controls.TimeEdit1 = from;
        controls.TimeEdit2 = to;
        controls.chk = days;
        controls.Memo1 = memo;
        controls.edt_song = song;
        panel = std::make_unique<SchedulePanel>(controls, clock, dialogs);
        panel->setActions(&world);
    }

    void run(FakeClock& clock, const QDateTime& until)
    {
        while (clock.now() <= until) {
            world.advanceTo(clock.now());
            panel->timer_autoplayTimer();
            clock.advance(100);
        }
    }
};

} // namespace

class TestSchedulePanel : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_fixture = std::make_unique<StationFixture>(QDateTime(Monday, QTime(8, 59, 50))); }

    void cleanup() { m_fixture.reset(); }

    void readsTheControlsAndStartsTheBroadcast()
    {
        Panel p(m_fixture->clock, m_fixture->dialogs);
        // The first look comes at once.
        QVERIFY(p.panel->timer_autoplay()->isSingleShot());
        QVERIFY(p.panel->timer_autoplay()->isActive());
        QCOMPARE(p.panel->timer_autoplay()->interval(), 0);
        p.world.now = m_fixture->clock.now();
        p.run(m_fixture->clock, QDateTime(Monday, QTime(9, 0, 10)));
        QCOMPARE(p.world.names(), QStringList({ QStringLiteral("repeat"), QStringLiteral("play") }));
        // While the repetition runs the scheduler looks every 100 ms.
        QCOMPARE(p.panel->timer_autoplay()->interval(), Scheduler::BusyTickMs);
        QCOMPARE(p.world.first(QStringLiteral("repeat")), QDateTime(Monday, QTime(9, 0)));

        // The Monday box unticked after the start changes nothing; a changed range allows one more start.
        p.days[1]->setChecked(false);
        p.run(m_fixture->clock, QDateTime(Monday, QTime(9, 0, 20)));
        QCOMPARE(p.world.count(QStringLiteral("repeat")), 1);
        p.days[1]->setChecked(true);
        p.from->setTime(QTime(9, 0, 15));
        QVERIFY(!p.panel->scheduler().auto_started());
        p.run(m_fixture->clock, QDateTime(Monday, QTime(9, 0, 20, 100)));
        QCOMPARE(p.world.count(QStringLiteral("repeat")), 2);
        p.to->setTime(QTime(9, 30));
        QVERIFY(!p.panel->scheduler().auto_started());
    }

    void theEditorOrADeletedSongDecide()
    {
        Panel p(m_fixture->clock, m_fixture->dialogs);
        p.memo->setPlainText(QStringLiteral("\n  \t"));
        p.song->setText(m_fixture->folder.file(QStringLiteral("deleted.mp3")));
        p.world.now = m_fixture->clock.now();
        p.run(m_fixture->clock, QDateTime(Monday, QTime(9, 1)));
        QVERIFY(p.world.events.isEmpty());

        p.memo->setPlainText(QStringLiteral("祝你生日快乐"));
        p.world.voiceChosen = false;
        p.run(m_fixture->clock, QDateTime(Monday, QTime(9, 1, 1)));
        // No repetition runs, so the song step follows at once: the song is gone, so the music stops.
        QCOMPARE(p.world.names(),
                 QStringList({ QStringLiteral("repeat"), QStringLiteral("play"), QStringLiteral("musicstop"),
                               QStringLiteral("musicstop") }));
        QCOMPARE(p.world.count(QStringLiteral("song")), 0);
    }

    void theEndOfTheRangeStopsMusicAndReadingOnce()
    {
        Panel p(m_fixture->clock, m_fixture->dialogs);
        m_fixture->clock.set(QDateTime(Monday, QTime(14, 0, 0, 50)));
        p.world.now = m_fixture->clock.now();
        p.world.readByHand();
        p.world.playMusic();
        p.panel->timer_autoplayTimer();
        QVERIFY(!p.world.isreading);
        QCOMPARE(p.world.music, BroadcastWorld::Music::None);
        QCOMPARE(p.world.names().mid(1), QStringList({ QStringLiteral("musicstop"), QStringLiteral("readstop") }));
        p.run(m_fixture->clock, QDateTime(Monday, QTime(14, 1)));
        QCOMPARE(p.world.events.size(), 3);
        // What starts later is stopped as it starts.
        p.world.readByHand();
        p.panel->readingStarted();
        p.world.playMusic();
        p.panel->musicStarted();
        QVERIFY(!p.world.isreading);
        QCOMPARE(p.world.music, BroadcastWorld::Music::None);
    }

    // Without the rollover, a broadcast on a later day than the editor's text composes today's first; a
    // text the operator changed that day is left as it is.
    void withoutRolloverTheBroadcastDayComposesFirst_data()
    {
        QTest::addColumn<bool>("editedThatDay");
        QTest::newRow("composed the day before") << false;
        QTest::newRow("edited on the day") << true;
    }
    void withoutRolloverTheBroadcastDayComposesFirst()
    {
        QFETCH(bool, editedThatDay);
        Panel p(m_fixture->clock, m_fixture->dialogs); // composed on Monday, at start-up
        int composed = 0;
        p.panel->setRecompose([&] {
            ++composed;
            QVERIFY(p.memo->toPlainText().isEmpty()); // replaced, not appended to
            p.memo->setPlainText(QStringLiteral("今天是：员工，李四生日快乐。"));
        });
        const QDate tuesday = Monday.addDays(1);
        m_fixture->clock.set(QDateTime(tuesday, QTime(8, 0)));
        p.world.now = m_fixture->clock.now();
        p.panel->timer_autoplayTimer(); // outside the range: nothing is composed yet
        QCOMPARE(composed, 0);
        if (editedThatDay) {
            p.memo->setPlainText(QStringLiteral("今天下午开会。"));
        }
        QCOMPARE(p.panel->composedOn(), editedThatDay ? tuesday : Monday);
        m_fixture->clock.set(QDateTime(tuesday, QTime(9, 0)));
        p.run(m_fixture->clock, QDateTime(tuesday, QTime(9, 0, 1)));
        QCOMPARE(composed, editedThatDay ? 0 : 1);
        QCOMPARE(p.memo->toPlainText(),
                 editedThatDay ? QStringLiteral("今天下午开会。") : QStringLiteral("今天是：员工，李四生日快乐。"));
        QCOMPARE(p.world.count(QStringLiteral("repeat")), 1);
        QCOMPARE(p.panel->composedOn(), tuesday);
    }

    // A day without anyone to greet: the old text is dropped and nothing is broadcast.
    void withoutRolloverAnEmptyDayBroadcastsNothing()
    {
        Panel p(m_fixture->clock, m_fixture->dialogs);
        p.panel->setRecompose([] {});
        m_fixture->clock.set(QDateTime(Monday.addDays(1), QTime(9, 0)));
        p.world.now = m_fixture->clock.now();
        p.run(m_fixture->clock, QDateTime(Monday.addDays(1), QTime(9, 0, 1)));
        QVERIFY(p.memo->toPlainText().isEmpty());
        QVERIFY(p.world.events.isEmpty());
    }

    // In the station: a time announcement after the range is said whole (no stop empties the voice), and
    // a reading or music started by hand then is stopped as it starts.
    void afterTheRangeTheStationCutsNoAnnouncement()
    {
        RecordingVoice voice;
        RecordingAudioLibrary library;
        m_fixture->folder.write(QStringLiteral("a.mp3"), "ID3"); // the music folder is the program folder
        library.addFile(m_fixture->folder.file(QStringLiteral("a.mp3")), 600.0);
        m_audio = &library;
        m_fixture->clock.set(QDateTime(Monday, QTime(15, 59, 59)));
        startStation(&voice);
        Tf_speaker* main = m_fixture->main();
        main->timeAnnouncements()->telltime()->stop();
        CountingChime chime(m_fixture->clock);
        main->timeAnnouncements()->setChime(&chime);
        main->form()->flatComboBox1->setCurrentIndex(0);
        main->schedulePanel()->timer_autoplayTimer();
        // The shipped 16:00 entry (on by default) fires on its own.
        for (int tick = 0; tick < 30; ++tick) {
            m_fixture->clock.advance(100);
            main->schedulePanel()->timer_autoplayTimer();
            main->timeAnnouncements()->telltimeTimer();
        }
        QCOMPARE(chime.times.size(), 1);
        const QList<RecordingVoice::Spoken> spoken = voice.spoken();
        QVERIFY(!spoken.isEmpty());
        QCOMPARE(spoken.last().text, QStringLiteral("现在是北京时间16:00正"));
        for (const RecordingVoice::Spoken& s : spoken) {
            QVERIFY2(!(s.flags & VoiceEngine::PurgeBeforeSpeak), qPrintable(s.text));
        }

        main->form()->Memo1->setPlainText(QStringLiteral("大家好。"));
        main->form()->SB_play->click();
        QVERIFY(!main->readingController().isreading());
        QTRY_COMPARE(main->readingController().runningThreads(), 0);
        main->musicPanel()->player().bj_playClick();
        QVERIFY(!main->musicPanel()->player().isStopped());
        QTRY_VERIFY(main->musicPanel()->player().isStopped());
        main->timeAnnouncements()->setChime(nullptr);
        m_fixture->station.reset(); // before the library it plays on
        m_audio = nullptr;
    }

    void aWarningThatLetsTheTimerTickStartsOnce()
    {
        Panel p(m_fixture->clock, m_fixture->dialogs);
        WarningActions actions(p.world, m_fixture->dialogs);
        actions.panel = p.panel.get();
        p.panel->setActions(&actions);
        p.world.voiceChosen = false;
        m_fixture->clock.set(QDateTime(Monday, QTime(9, 0)));
        p.world.now = m_fixture->clock.now();
        p.panel->timer_autoplayTimer();
        p.panel->timer_autoplayTimer();
        QCOMPARE(actions.starts, 1);
        QCOMPARE(p.world.count(QStringLiteral("play")), 1);
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList({ QStringLiteral("请选择语音引擎!") }));
    }

    // Idle, the scheduler rests until the range opens (a second at most); what the clock cannot foresee
    // makes it look at once.
    void restsUntilSomethingCanChange()
    {
        Panel p(m_fixture->clock, m_fixture->dialogs);
        QTimer* timer = p.panel->timer_autoplay();
        m_fixture->clock.set(QDateTime(Monday, QTime(8, 0)));
        p.world.now = m_fixture->clock.now();
        p.panel->timer_autoplayTimer();
        QCOMPARE(timer->interval(), Scheduler::SafetyTickMs);
        m_fixture->clock.set(QDateTime(Monday, QTime(8, 59, 59, 400)));
        p.panel->timer_autoplayTimer();
        QCOMPARE(timer->interval(), 600);
        p.days[3]->setChecked(false);
        QCOMPARE(timer->interval(), 0);
        p.panel->timer_autoplayTimer();
        p.memo->setPlainText(QStringLiteral("今天是：员工，李四生日快乐。"));
        QCOMPARE(timer->interval(), 0);
        p.panel->timer_autoplayTimer();
        p.to->setTime(QTime(15, 0));
        QCOMPARE(timer->interval(), 0);
        p.panel->timer_autoplayTimer();
        p.song->setText(QStringLiteral("/music/song.mp3"));
        QCOMPARE(timer->interval(), 0);
        p.panel->timer_autoplayTimer();
        p.panel->readingStarted();
        QCOMPARE(timer->interval(), 0);
        QVERIFY(timer->isActive());
    }

    void theStationRunsBothTimers()
    {
        RecordingVoice voice;
        RecordingAudioLibrary library;
        m_fixture->folder.write(QStringLiteral("a.mp3"), "ID3"); // the music folder is the program folder
        library.addFile(m_fixture->folder.file(QStringLiteral("a.mp3")), 600.0);
        m_audio = &library;
        startStation(&voice);
        Tf_speaker* main = m_fixture->main();
        QVERIFY(main->schedulePanel()->timer_autoplay()->isActive());
        QVERIFY(main->schedulePanel()->timer_autoplay()->interval() <= Scheduler::SafetyTickMs);
        // The status-bar clock runs only while the window can be seen.
        QTimer* clock = main->timeAnnouncements()->telltime();
        QCOMPARE(clock->interval(), 200);
        QVERIFY(!main->isVisible());
        QVERIFY(!clock->isActive());
        main->show();
        QVERIFY(clock->isActive());
        main->hide();
        QVERIFY(!clock->isActive());

        // The scheduler starts the reading controller and the music player themselves: no button is
        // pressed.
        int repeats = 0;
        int clicks = 0;
        connect(&main->readingController(), &ReadingController::repetitionStarted, this, [&] { ++repeats; });
        for (QAbstractButton* button : main->findChildren<QAbstractButton*>()) {
            connect(button, &QAbstractButton::clicked, this, [&] { ++clicks; });
        }
        main->form()->Memo1->setPlainText(QStringLiteral("今天是：员工，张三生日快乐。"));
        main->form()->chk2->setChecked(true);
        main->form()->sb_save->setEnabled(false);
        for (int tick = 0; tick < 200; ++tick) {
            main->schedulePanel()->timer_autoplayTimer();
            m_fixture->clock.advance(100);
        }
        QCOMPARE(repeats, 1);
        QCOMPARE(library.calls.filter(QStringLiteral("play ")).size(), 1);
        main->form()->TimeEdit1->setTime(QTime(9, 0, 5));
        QVERIFY(!main->schedulePanel()->scheduler().auto_started());
        QVERIFY(main->form()->sb_save->isEnabled());
        main->schedulePanel()->timer_autoplayTimer();
        QCOMPARE(repeats, 2);
        QCOMPARE(clicks, 0);
        main->readingController().stop();
        m_fixture->station.reset(); // before the library it plays on
        m_audio = nullptr;
    }

    void theStationAnnouncesTheShippedTimes()
    {
        RecordingVoice voice;
        startStation(&voice);
        TimeAnnouncements* announcements = m_fixture->main()->timeAnnouncements();
        CountingChime chime(m_fixture->clock);
        announcements->setChime(&chime);
        QCOMPARE(m_fixture->form()->flatComboBox1->count(), voice.voices().size());
        m_fixture->form()->flatComboBox1->setCurrentIndex(1);

        m_fixture->clock.set(QDateTime(Monday, QTime(9, 0)));
        announcements->telltimeTimer();
        QCOMPARE(m_fixture->main()->statusPanel(1)->text(), QStringLiteral("2024-03-04 星期一 09:00:00"));
        QCOMPARE(chime.times.size(), 1);
        QVERIFY(voice.texts().isEmpty());
        QVERIFY(announcements->dueTimer()->isActive());
        QCOMPARE(announcements->dueTimer()->interval(), 1300);
        for (int tick = 1; tick < 10; ++tick) {
            m_fixture->clock.advance(200);
            announcements->telltimeTimer(); // the window goes on; the sentence waits for its time
        }
        QCOMPARE(voice.texts(), QStringList({ QStringLiteral("现在是北京时间09:00正") }));
        QCOMPARE(voice.currentVoice(), 1); // applyvoice before the sentence
        QCOMPARE(chime.times.size(), 1);
        QVERIFY(!announcements->dueTimer()->isActive());

        // Switched on in the grid: not announced until the tab's save rebuilds the list.
        TellTimeTab* tab = telltimeTab();
        QVERIFY(tab);
        QTableView* grid = tab->form()->DBGridEh1;
        const QModelIndex nine = findRow(grid, QStringLiteral("09:30:00"));
        QVERIFY(nine.isValid());
        QVERIFY(grid->model()->setData(nine.siblingAtColumn(4), Qt::Checked, Qt::CheckStateRole));
        m_fixture->clock.set(QDateTime(Monday, QTime(9, 30)));
        announcements->telltimeTimer();
        QCOMPARE(chime.times.size(), 1);
        tab->form()->BitBtn5->click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList({ QStringLiteral("保存成功!") }));
        m_fixture->clock.set(QDateTime(Monday.addDays(1), QTime(9, 30)));
        announcements->telltimeTimer();
        QCOMPARE(chime.times.size(), 2);
        announcements->setChime(nullptr);
    }

    void theTabIsTheThirdPageOfTheSettings()
    {
        startStation(nullptr);
        QTabWidget* pages = m_fixture->station->settingsWindow()->pages();
        QCOMPARE(pages->count(), 6); // the calendar's, the lexicon's and the start-up's pages come after it
        QCOMPARE(pages->tabText(2), QStringLiteral("整点报时"));
        QVERIFY(qobject_cast<TellTimeTab*>(pages->widget(2)));
        // Without a voice the announcement rings the chime and says nothing, without a message.
        TimeAnnouncements* announcements = m_fixture->main()->timeAnnouncements();
        CountingChime chime(m_fixture->clock);
        announcements->setChime(&chime);
        m_fixture->clock.set(QDateTime(Monday, QTime(10, 0)));
        announcements->telltimeTimer();
        m_fixture->clock.advance(1400);
        announcements->telltimeTimer();
        QCOMPARE(chime.times.size(), 1);
        QCOMPARE(announcements->announcer().pending(), 0);
        announcements->setChime(nullptr);
    }

    void theDesignatedSongReachesTheMusicPanel()
    {
        // A Sunday with its box unticked is silent; on Monday, without a voice (no reading), the song
        // plays once at the start of the range.
        m_fixture->clock.set(QDateTime(Monday.addDays(-1), QTime(8, 59, 59, 950)));
        RecordingAudioLibrary library;
        // Outside the music folder (the program folder), so the background music never picks it.
        const QString song = m_fixture->folder.file(QStringLiteral("designated/song.mp3"));
        m_fixture->folder.write(QStringLiteral("designated/song.mp3"), "ID3");
        library.addFile(song, 3.0);
        m_audio = &library;
        startStation(nullptr);
        Tf_speaker* main = m_fixture->main();
        main->form()->chk1->setChecked(false);
        main->form()->Memo1->setPlainText(QStringLiteral("今天是：员工，张三生日快乐。"));
        main->form()->edt_song->setText(song);
        int repeats = 0;
        connect(&main->readingController(), &ReadingController::repetitionStarted, this, [&] { ++repeats; });
        for (int tick = 0; tick < 60; ++tick) { // 09:00:05.950
            main->schedulePanel()->timer_autoplayTimer();
            m_fixture->clock.advance(100);
        }
        QVERIFY(library.calls.filter(QStringLiteral("create")).isEmpty());
        QVERIFY(m_fixture->dialogs.takeTexts().isEmpty());
        m_fixture->clock.set(QDateTime(Monday, QTime(8, 59, 59, 950)));
        main->schedulePanel()->timer_autoplayTimer(); // the rollover: nobody's birthday in the roster
        QVERIFY(main->form()->Memo1->toPlainText().isEmpty());
        main->form()->Memo1->setPlainText(QStringLiteral("今天是：员工，张三生日快乐。"));
        for (int tick = 0; tick < 60; ++tick) { // 09:00:05.950
            main->schedulePanel()->timer_autoplayTimer();
            m_fixture->clock.advance(100);
        }
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("请选择语音引擎!") });
        QCOMPARE(repeats, 0);
        QCOMPARE(library.calls.filter(QStringLiteral("create")), QStringList({ QStringLiteral("create ") + song }));
        QCOMPARE(main->musicPanel()->song_endtime(), QStringLiteral("09:00:03"));
        // The step after the song's end stops the music.
        QVERIFY(main->schedulePanel()->scheduler().song_done());
        QVERIFY(!library.calls.filter(QStringLiteral("free")).isEmpty());
        m_fixture->station.reset(); // before the library it plays on
        m_audio = nullptr;
    }

    void theSongWaitsForTheRepetitionOfTheReadingCommands()
    {
        RecordingVoice voice;
        RecordingAudioLibrary library;
        // Outside the music folder (the program folder), so the background music never picks it.
        const QString song = m_fixture->folder.file(QStringLiteral("designated/song.mp3"));
        m_fixture->folder.write(QStringLiteral("designated/song.mp3"), "ID3");
        library.addFile(song, 3.0);
        m_audio = &library;
        m_fixture->clock.set(QDateTime(Monday, QTime(9, 0)));
        startStation(&voice);
        Tf_speaker* main = m_fixture->main();
        main->form()->chk2->setChecked(true);
        main->form()->Memo1->setPlainText(QStringLiteral("今天是：员工，张三生日快乐。"));
        main->form()->edt_song->setText(song);
        main->schedulePanel()->timer_autoplayTimer();
        QVERIFY(main->readingController().repetitionActive());
        QVERIFY(!main->schedulePanel()->scheduler().song_checked());
        QVERIFY(library.calls.filter(QStringLiteral("create ") + song).isEmpty());

        // Once the repetition timer is off, the next tick plays the song.
        main->form()->SB_stop->click();
        QVERIFY(!main->readingController().repetitionActive());
        m_fixture->clock.advance(100);
        main->schedulePanel()->timer_autoplayTimer();
        QVERIFY(main->schedulePanel()->scheduler().song_checked());
        QCOMPARE(library.calls.filter(QStringLiteral("create ") + song).size(), 1);
        m_fixture->station.reset();
        m_audio = nullptr;
    }

private:
    void startStation(VoiceEngine* voice)
    {
        Services services;
        services.voice = voice;
        services.audio = m_audio;
        m_fixture->start(services);
    }

    TellTimeTab* telltimeTab() const
    {
        QTabWidget* pages = m_fixture->station->settingsWindow()->pages();
        return qobject_cast<TellTimeTab*>(pages->widget(2));
    }

    static QModelIndex findRow(QTableView* grid, const QString& stime)
    {
        for (int row = 0; row < grid->model()->rowCount(); ++row) {
            const QModelIndex index = grid->model()->index(row, 1);
            if (index.data().toString() == stime) {
                return index;
            }
        }
        return {};
    }

    std::unique_ptr<StationFixture> m_fixture;
    AudioLibrary* m_audio = nullptr;
};

QTEST_MAIN(TestSchedulePanel)
#include "test_schedulepanel.moc"
