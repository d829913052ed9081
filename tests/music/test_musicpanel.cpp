#include "common/inifile.h"
#include "common/readingstate.h"
#include "common/services.h"
#include "datafixture.h"
#include "music/musicpanel.h"
#include "recordingaudiolibrary.h"
#include "shell/station.h"
#include "shell/tf_speaker.h"
#include "ui_tf_speaker.h"

#include <QDir>
#include <QLabel>
#include <QTest>
#include <QTimer>

class TestMusicPanel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<StationFixture>(QDateTime(QDate(2024, 3, 5), QTime(9, 30)));
        m_library = std::make_unique<RecordingAudioLibrary>();
    }

    void cleanup()
    {
        m_fixture.reset();
        m_library.reset();
    }

    void startUp()
    {
        makeMusic(QStringLiteral("mp3files"), { QStringLiteral("b.mp3"), QStringLiteral("A.MP3") });
        startStation();
        // Without Mp3bj the music beside the program plays.
        QCOMPARE(QDir(panel()->folder()), QDir(m_fixture->folder.file(QStringLiteral("mp3files"))));
        QCOMPARE(names(), QStringList({ QStringLiteral("A.MP3"), QStringLiteral("b.mp3") }));
        // Both timers rest until a track plays.
        QVERIFY(!panel()->bj_timer2()->isActive());
        QCOMPARE(panel()->bj_timer2()->interval(), 20);
        QVERIFY(!panel()->bj_timer1()->isActive());
        QCOMPARE(panel()->bj_timer1()->interval(), 1000);
        QCOMPARE(panel()->player().bj_level(), 10);
        QCOMPARE(panel()->player().bj_index(), 0);
        QCOMPARE(panel()->song_endtime(), QStringLiteral("00:00:00"));
        QCOMPARE(m_library->calls, QStringList({ QStringLiteral("init") }));
    }

    void startUpFolder()
    {
        makeMusic(QStringLiteral("mp3files"), { QStringLiteral("b.mp3"), QStringLiteral("A.MP3") });
        m_fixture->folder.write(QStringLiteral("setinfo.ini"),
                                "[System]\r\nMp3bj=/no/such/folder\r\ndefault_volume=55\r\n");
        startStation();
        QCOMPARE(QDir(panel()->folder()), QDir(m_fixture->folder.file(QStringLiteral("mp3files"))));
        QCOMPARE(names(), QStringList({ QStringLiteral("A.MP3"), QStringLiteral("b.mp3") }));
        QCOMPARE(panel()->player().musicLevel(), 55);
    }

    void listsOnlyPlainMp3Files()
    {
        const QString music
            = makeMusic(QStringLiteral("music"),
                        { QStringLiteral("c.mp3"), QStringLiteral("a.mp3"), QStringLiteral(".hidden.mp3"),
                          QStringLiteral("notes.txt"), QStringLiteral("mp3"), QStringLiteral("生日 快乐.mp3") });
        QVERIFY(QDir(music).mkdir(QStringLiteral("folder.mp3")));
        startStation();
        panel()->setFolder(music);
        QCOMPARE(names(),
                 QStringList({ QStringLiteral("a.mp3"), QStringLiteral("c.mp3"), QStringLiteral("生日 快乐.mp3") }));
    }

    void aLargeFolderLists()
    {
        QStringList many;
        for (int i = 9999; i >= 0; --i) {
            many.append(QStringLiteral("%1.mp3").arg(i, 5, 10, QLatin1Char('0')));
        }
        const QString music = makeMusic(QStringLiteral("many"), many);
        startStation();
        panel()->setFolder(music);
        QCOMPARE(form()->BJListBox1->count(), 10000);
        QCOMPARE(form()->BJListBox1->item(0)->text(), QStringLiteral("00000.mp3"));
        QCOMPARE(form()->BJListBox1->item(9999)->text(), QStringLiteral("09999.mp3"));
    }

    void playButtonsAndDisplay()
    {
        const QString music = makeMusic(QStringLiteral("music"), { QStringLiteral("a.mp3"), QStringLiteral("b.mp3") });
        m_library->addFile(music + QStringLiteral("/a.mp3"), 215.7);
        m_library->addFile(music + QStringLiteral("/b.mp3"), 30);
        startStation();
        panel()->setFolder(music);
        form()->bj_play->click();
        QCOMPARE(statusText(), QDir::toNativeSeparators(music + QStringLiteral("/a.mp3")));
        QVERIFY(panel()->bj_timer1()->isActive());
        QVERIFY(panel()->bj_timer2()->isActive());
        m_library->setPosition(panel()->player().bj_stream(), 5.2);
        panel()->bj_timer1Timer();
        QCOMPARE(form()->RzLEDDisplay1->text(), QStringLiteral(" 05 / 215 "));

        form()->bj_next->click();
        QCOMPARE(form()->BJListBox1->currentRow(), 1);
        QVERIFY(statusText().endsWith(QStringLiteral("b.mp3")));
        form()->bj_prev->click();
        QCOMPARE(form()->BJListBox1->currentRow(), 0);
        form()->bj_stop->click();
        QVERIFY(m_library->calls.last().startsWith(QStringLiteral("free")));
        // Stop rests both timers; the display shows where the stopped track stands.
        QVERIFY(!panel()->bj_timer1()->isActive());
        QVERIFY(!panel()->bj_timer2()->isActive());
        QCOMPARE(form()->RzLEDDisplay1->text(), QStringLiteral(" 00 / 215 "));
    }

    void doubleClickPlays()
    {
        const QString music = makeMusic(QStringLiteral("music"), { QStringLiteral("a.mp3"), QStringLiteral("b.mp3") });
        m_library->addFile(music + QStringLiteral("/b.mp3"), 30);
        startStation();
        panel()->setFolder(music);
        auto* item = form()->BJListBox1->item(1);
        form()->BJListBox1->setCurrentItem(item);
        emit form()->BJListBox1->itemDoubleClicked(item);
        QVERIFY(m_library->calls.contains(QStringLiteral("create ") + music + QStringLiteral("/b.mp3")));
        QVERIFY(m_library->calls.contains(QStringLiteral("play 45")));
    }

    void emptyFolderPlaysNothing()
    {
        const QString music = makeMusic(QStringLiteral("empty"), {});
        startStation();
        panel()->setFolder(music);
        form()->bj_play->click();
        form()->bj_next->click();
        form()->bj_prev->click();
        QCOMPARE(m_library->calls, QStringList({ QStringLiteral("init") }));
        QVERIFY(!panel()->bj_timer1()->isActive());
    }

    void levelFieldsReachThePlayer()
    {
        const QString music = makeMusic(QStringLiteral("music"), { QStringLiteral("a.mp3") });
        m_library->addFile(music + QStringLiteral("/a.mp3"), 30);
        startStation();
        panel()->setFolder(music);
        form()->bj_play->click();
        m_library->clearVolumes();
        form()->bj_v->setValue(70);
        QCOMPARE(m_library->volumes(), QList<float>({ 0.70f }));
        form()->ComBox1->setCurrentIndex(1);
        m_fixture->station->readingState().claim();
        form()->bj_v1->setValue(15);
        QCOMPARE(m_library->volumes(), QList<float>({ 0.70f, 0.15f }));
        m_fixture->station->readingState().release();
    }

    void choosingTheFolder()
    {
        const QString music = makeMusic(QStringLiteral("新 音乐"), { QStringLiteral("x.mp3") });
        startStation();
        m_fixture->dialogs.answerNextChooser(music);
        form()->bj_ok->click();
        QCOMPARE(names(), QStringList({ QStringLiteral("x.mp3") }));
        QCOMPARE(readMp3bj(), music);

        m_fixture->dialogs.answerNextChooser(QString()); // cancelled: nothing changes
        form()->bj_ok->click();
        QCOMPARE(names(), QStringList({ QStringLiteral("x.mp3") }));
        QCOMPARE(readMp3bj(), music);
    }

    void choosingTheFolderKeepsTheTrackPlaying()
    {
        const QString music = makeMusic(QStringLiteral("music"), { QStringLiteral("a.mp3") });
        const QString other = makeMusic(QStringLiteral("other"), { QStringLiteral("z.mp3") });
        m_library->addFile(music + QStringLiteral("/a.mp3"), 30);
        startStation();
        panel()->setFolder(music);
        form()->bj_play->click();
        m_fixture->dialogs.answerNextChooser(other);
        form()->bj_ok->click();
        QVERIFY(m_library->stream(45)->playing);
    }

    void theDesignatedSongChooser()
    {
        startStation();
        form()->sb_save->setEnabled(false);
        m_fixture->dialogs.answerNextChooser(QStringLiteral("/songs/生日 快乐.mp3"));
        form()->SB_music->click();
        QCOMPARE(form()->edt_song->text(), QStringLiteral("/songs/生日 快乐.mp3"));
        QCOMPARE(m_fixture->dialogs.lastChooser().value(2), QStringLiteral("MP3音乐文件(*.mp3)"));
        QVERIFY(form()->sb_save->isEnabled());

        form()->sb_save->setEnabled(false);
        m_fixture->dialogs.answerNextChooser(QString());
        form()->SB_music->click();
        QVERIFY(form()->edt_song->text().isEmpty()); // cancelling removes the song
        QVERIFY(form()->sb_save->isEnabled());
    }

    void playTheSong()
    {
        const QString song = makeMusic(QStringLiteral("songs"), { QStringLiteral("生日 快乐.mp3") })
            + QStringLiteral("/生日 快乐.mp3");
        m_library->addFile(song, 125.5);
        startStation();
        form()->edt_song->setText(QStringLiteral("  ") + song + QStringLiteral(" "));
        panel()->play_the_song();
        QCOMPARE(panel()->song_endtime(), QStringLiteral("09:32:05"));
        QCOMPARE(statusText(), QDir::toNativeSeparators(song));
        QVERIFY(panel()->bj_timer1()->isActive());
    }

    void aFailedDeviceShowsOneMessageAndStaysSilent()
    {
        m_library->initResult = false;
        const QString music = makeMusic(QStringLiteral("mp3files"), { QStringLiteral("a.mp3") });
        m_library->addFile(music + QStringLiteral("/a.mp3"), 30);
        startStation();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList({ QStringLiteral("初始化错误") }));
        panel()->setFolder(music);
        form()->bj_play->click();
        for (int i = 0; i < 5; ++i) {
            panel()->bj_timer1Timer();
            panel()->bj_timer2Timer();
        }
        QCOMPARE(panel()->player().bj_stream(), AudioLibrary::Handle(0));
        QVERIFY(m_fixture->dialogs.takeTexts().isEmpty());
    }

private:
    void startStation()
    {
        Services services;
        services.audio = m_library.get();
        m_fixture->start(services);
    }

    Ui::Tf_speaker* form() const { return m_fixture->form(); }
    MusicPanel* panel() const { return m_fixture->main()->musicPanel(); }
    QString statusText() const { return m_fixture->main()->statusPanel(2)->text(); }

    QStringList names() const
    {
        QStringList result;
        for (int i = 0; i < form()->BJListBox1->count(); ++i) {
            result.append(form()->BJListBox1->item(i)->text());
        }
        return result;
    }

    QString makeMusic(const QString& folder, const QStringList& files) const
    {
        QDir().mkpath(m_fixture->folder.file(folder));
        for (const QString& name : files) {
            m_fixture->folder.write(folder + QLatin1Char('/') + name, "mp3");
        }
        return QDir::cleanPath(m_fixture->folder.file(folder));
    }

    QString readMp3bj() const
    {
        IniFile ini(IniFile::defaultPath());
        return ini.readString(QStringLiteral("System"), QStringLiteral("Mp3bj"), QString());
    }

    std::unique_ptr<StationFixture> m_fixture;
    std::unique_ptr<RecordingAudioLibrary> m_library;
};

QTEST_MAIN(TestMusicPanel)
#include "test_musicpanel.moc"
