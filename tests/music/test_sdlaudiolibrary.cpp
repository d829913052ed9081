#include "ciskip.h"
#include "common/clock.h"
#include "common/eventlog.h"
#include "common/readingstate.h"
#include "common/sounddevice.h"
#include "music/musicplayer.h"
#include "music/sdlaudiolibrary.h"
#include "recordingaudiolibrary.h"
#include "recordingdialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <SDL_mixer.h>
#include <cmath>

namespace {

// 3.7 s of a 440 Hz tone, 16-bit stereo at 44.1 kHz.
QByteArray tonePcm(double seconds)
{
    const int frames = int(seconds * 44100);
    QByteArray pcm(frames * 4, Qt::Uninitialized);
    auto* samples = reinterpret_cast<qint16*>(pcm.data());
    for (int i = 0; i < frames; ++i) {
        const auto value = qint16(8000 * std::sin(2 * M_PI * 440 * i / 44100.0));
        samples[2 * i] = value;
        samples[2 * i + 1] = value;
    }
    return pcm;
}

// The player's window, in memory, over the MP3 files of a real folder.
class FolderView final : public MusicView
{
public:
    explicit FolderView(const QString& folder)
        : m_folder(folder)
        , m_names(QDir(folder).entryList({ QStringLiteral("*.mp3") }, QDir::Files, QDir::Name))
    {
    }
    int count() const override { return int(m_names.size()); }
    int selectedIndex() const override { return m_selected; }
    void select(int index) override { m_selected = index; }
    QString entryPath(int index) const override { return QDir(m_folder).filePath(m_names.at(index)); }
    bool folderExists() const override { return QDir(m_folder).exists(); }
    QString folderPath() const override { return m_folder; }
    void showPosition(const QString&) override { }
    void showStatus(const QString&) override { }
    void setPositionTimer(bool on) override { timerOn = on; }

    bool timerOn = false;

private:
    QString m_folder;
    QStringList m_names;
    int m_selected = -1;
};

QString readLog(const QTemporaryDir& dir)
{
    QFile file(dir.filePath(QStringLiteral("kelvora.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

// The cases that decode a real MP3 need an encoder to make it: lame (setup.sh installs it) or ffmpeg.
#define REQUIRE_MP3()                                                                                                  \
    do {                                                                                                               \
        if (m_encoderMissing) {                                                                                        \
            KELVORA_SKIP("neither lame nor ffmpeg is installed: no MP3 can be made for this test");                    \
        }                                                                                                              \
    } while (false)

class TestSdlAudioLibrary : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(m_library.init());
        m_mp3 = m_dir.filePath(QStringLiteral("tone.mp3"));
        m_encoderMissing = QStandardPaths::findExecutable(QStringLiteral("lame")).isEmpty()
            && QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty();
        if (!m_encoderMissing) {
            QVERIFY2(encodeMp3(tonePcm(3.7), m_mp3), "the MP3 encoder failed");
        }
    }

    void init() { m_dialogs = std::make_unique<RecordingDialogs>(); }

    void cleanup()
    {
        m_dialogs->verifyAllSeen();
        m_dialogs.reset();
    }

    void versionIsTheOneThePlayerNeeds()
    {
        // SDL_mixer 2.6 has track length and position, and this one decodes MP3.
        QCOMPARE(m_library.version() >> 16, 0x0204u);
        QCOMPARE(m_library.version() & 0xFF00u, quint32(Mix_Linked_Version()->minor) << 8);
    }

    void lengthOfAMadeMp3()
    {
        REQUIRE_MP3();
        const auto handle = m_library.streamCreateFile(m_mp3);
        QVERIFY(AudioLibrary::isOpen(handle));
        const double seconds = m_library.channelBytes2Seconds(handle, m_library.channelGetLength(handle));
        QVERIFY2(seconds > 3.6 && seconds < 3.8, qPrintable(QString::number(seconds)));
        QCOMPARE(int(seconds), 3);
        // Bytes are whole frames of the device format, so they turn back into the same seconds.
        const quint64 bytesPerSecond = quint64(m_sound.frequency()) * m_sound.channels() * 2;
        QCOMPARE(m_library.channelBytes2Seconds(handle, bytesPerSecond * 2), 2.0);
        QCOMPARE(m_library.channelGetPosition(handle), quint64(0));
        m_library.streamFree(handle);
        QCOMPARE(m_library.channelGetLength(handle), SdlAudioLibrary::InvalidBytes);
        QCOMPARE(m_library.channelBytes2Seconds(handle, 0), -1.0);
    }

    void handlesRiseAndOnlyOneStreamLives()
    {
        REQUIRE_MP3();
        const auto first = m_library.streamCreateFile(m_mp3);
        const auto second = m_library.streamCreateFile(m_mp3);
        QVERIFY(first > AudioLibrary::LastInvalidHandle);
        QVERIFY(second > first);
        QCOMPARE(m_library.channelGetLength(first), SdlAudioLibrary::InvalidBytes);
        QVERIFY(m_library.channelGetLength(second) > 0);
        m_library.streamFree(second);
    }

    void playsStopsAndResumes()
    {
        REQUIRE_MP3();
        const auto handle = m_library.streamCreateFile(m_mp3);
        m_library.channelSetVolume(handle, 0.4f);
        m_library.channelPlay(handle, false);
        QVERIFY(Mix_PlayingMusic());
        QCOMPARE(Mix_VolumeMusic(-1), 51); // 0.4 of the mixer's 128 steps
        QTRY_VERIFY_WITH_TIMEOUT(seconds(handle) > 0.1, 5000);

        m_library.channelStop(handle);
        QVERIFY(!Mix_PlayingMusic());
        const double stoppedAt = seconds(handle);
        QCOMPARE(seconds(handle), stoppedAt);
        m_library.channelPlay(handle, false); // goes on where it stopped
        QVERIFY(Mix_PlayingMusic());
        QVERIFY(seconds(handle) >= stoppedAt - 0.05);

        m_library.channelSetVolume(handle, 1.0f);
        QCOMPARE(Mix_VolumeMusic(-1), MIX_MAX_VOLUME);
        m_library.streamFree(handle);
        QVERIFY(!Mix_PlayingMusic());
        // The handle is gone: calls on it change nothing.
        m_library.channelSetVolume(handle, 0.0f);
        QCOMPARE(Mix_VolumeMusic(-1), MIX_MAX_VOLUME);
        QCOMPARE(m_library.channelGetPosition(handle), SdlAudioLibrary::InvalidBytes);
    }

    void aTrackPlayedToItsEndReportsItsLength()
    {
        REQUIRE_MP3();
        const QString shortFile = m_dir.filePath(QStringLiteral("short.mp3"));
        QVERIFY(encodeMp3(tonePcm(0.3), shortFile));
        const auto handle = m_library.streamCreateFile(shortFile);
        m_library.channelPlay(handle, false);
        QTRY_VERIFY_WITH_TIMEOUT(!Mix_PlayingMusic(), 5000);
        QCOMPARE(m_library.channelGetPosition(handle), m_library.channelGetLength(handle));
        m_library.streamFree(handle);
    }

    // SDL_mixer's music-finished hook runs on its audio thread; the end reaches the handler on the main
    // thread, once, and only for a track that played to its end.
    void theEndOfATrackIsToldOnTheMainThread()
    {
        REQUIRE_MP3();
        const QString shortFile = m_dir.filePath(QStringLiteral("short.mp3"));
        QVERIFY(encodeMp3(tonePcm(0.3), shortFile));
        QList<AudioLibrary::Handle> ended;
        QList<QThread*> threads;
        m_library.setEndHandler([&](AudioLibrary::Handle handle) {
            ended.append(handle);
            threads.append(QThread::currentThread());
        });
        const auto handle = m_library.streamCreateFile(shortFile);
        m_library.channelPlay(handle, false);
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 5000);
        QCOMPARE(ended.first(), handle);
        QCOMPARE(threads.first(), QThread::currentThread());
        QCOMPARE(m_library.channelGetPosition(handle), m_library.channelGetLength(handle));

        // A stop, a free and a new track halt the music too: none of them is an end.
        const auto stopped = m_library.streamCreateFile(m_mp3);
        m_library.channelPlay(stopped, false);
        m_library.channelStop(stopped);
        QCoreApplication::processEvents();
        m_library.channelPlay(stopped, false);
        const auto replaced = m_library.streamCreateFile(m_mp3);
        m_library.channelPlay(replaced, false);
        m_library.streamFree(replaced);
        QCoreApplication::processEvents();
        QCOMPARE(ended.size(), 1);
        m_library.setEndHandler({});
    }

    // The player goes on to the next track when the library tells the end, without its position timer.
    void thePlayerGoesOnWhenTheEndIsTold()
    {
        REQUIRE_MP3();
        QTemporaryDir music;
        for (const char* name : { "a.mp3", "b.mp3" }) {
            QVERIFY(encodeMp3(tonePcm(0.3), music.filePath(QLatin1String(name))));
        }
        ReadingState state;
        FolderView view(music.path());
        MusicPlayer player(&m_library, view, state, Clock::system());
        player.bj_playClick();
        const auto first = player.bj_stream();
        QTRY_VERIFY_WITH_TIMEOUT(player.bj_stream() != first, 5000);
        QCOMPARE(player.bj_index(), 1);
        QCOMPARE(view.selectedIndex(), 1);
        player.bj_stopClick();
    }

    void damagedFilesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("这不是音乐\r\n").repeated(200);
        QTest::newRow("zeros") << QByteArray(64 * 1024, '\0');
        QByteArray noise(64 * 1024, Qt::Uninitialized);
        quint32 seed = 12345;
        for (char& byte : noise) {
            seed = seed * 1103515245u + 12345u;
            byte = char((seed >> 16) & 0x7F); // never a frame sync (0xFF)
        }
        QTest::newRow("noise") << noise;
        QTest::newRow("tag without frames") << QByteArray("ID3\x03\x00\x00\x00\x00\x00\x0A", 10) + QByteArray(10, '\0');
    }

    void damagedFilesAreRefused()
    {
        REQUIRE_MP3();
        QFETCH(QByteArray, bytes);
        const QString damaged = m_dir.filePath(QStringLiteral("damaged.mp3"));
        writeFile(damaged, bytes);
        const auto previous = m_library.streamCreateFile(m_mp3);
        m_library.channelPlay(previous, false);
        QVERIFY(Mix_PlayingMusic());

        QCOMPARE(m_library.streamCreateFile(damaged), AudioLibrary::Handle(0));
        QVERIFY(!Mix_PlayingMusic()); // the previous stream was stopped and freed
        QCOMPARE(m_library.channelGetLength(previous), SdlAudioLibrary::InvalidBytes);
    }

    void truncatedFiles()
    {
        REQUIRE_MP3();
        QFile source(m_mp3);
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QString cut = m_dir.filePath(QStringLiteral("cut.mp3"));
        const QByteArray whole = source.readAll();
        writeFile(cut, whole.left(3));
        QCOMPARE(m_library.streamCreateFile(cut), AudioLibrary::Handle(0));
        // Cut in the middle, it plays what it has (its header may still announce the whole length; a
        // track that ends early reports its end as its length, so the player moves on).
        writeFile(cut, whole.left(whole.size() / 2));
        const auto handle = m_library.streamCreateFile(cut);
        QVERIFY(AudioLibrary::isOpen(handle));
        const double seconds = m_library.channelBytes2Seconds(handle, m_library.channelGetLength(handle));
        QVERIFY2(seconds > 1.0 && seconds < 3.8, qPrintable(QString::number(seconds)));
        m_library.streamFree(handle);
    }

    void otherFormatsNamedMp3AreRefused()
    {
        // A WAV file with an MP3 name is not an MP3 file.
        QByteArray wav("RIFF");
        const QByteArray pcm = tonePcm(0.5);
        auto le32 = [](quint32 v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
        auto le16 = [](quint16 v) { return QByteArray(reinterpret_cast<const char*>(&v), 2); };
        wav += le32(36 + pcm.size()) + "WAVEfmt " + le32(16) + le16(1) + le16(2) + le32(44100) + le32(44100 * 4)
            + le16(4) + le16(16) + "data" + le32(pcm.size()) + pcm;
        const QString file = m_dir.filePath(QStringLiteral("wave.mp3"));
        writeFile(file, wav);
        QCOMPARE(m_library.streamCreateFile(file), AudioLibrary::Handle(0));
    }

    void missingFileAndFolder()
    {
        QCOMPARE(m_library.streamCreateFile(m_dir.filePath(QStringLiteral("gone.mp3"))), AudioLibrary::Handle(0));
        QCOMPARE(m_library.streamCreateFile(m_dir.path()), AudioLibrary::Handle(0));
        QCOMPARE(m_library.streamCreateFile(QString()), AudioLibrary::Handle(0));
    }

    void chineseNamesWithBlanks()
    {
        REQUIRE_MP3();
        const QString folder = m_dir.filePath(QStringLiteral("背景 音乐"));
        QVERIFY(QDir().mkpath(folder));
        const QString named = folder + QStringLiteral("/生日 快乐 歌.mp3");
        QVERIFY(QFile::copy(m_mp3, named));
        const auto handle = m_library.streamCreateFile(named);
        QVERIFY(AudioLibrary::isOpen(handle));
        QCOMPARE(int(m_library.channelBytes2Seconds(handle, m_library.channelGetLength(handle))), 3);
        m_library.streamFree(handle);
    }

    void beforeInitEveryStreamIsRefused()
    {
        REQUIRE_MP3();
        SdlAudioLibrary fresh(m_sound);
        QCOMPARE(fresh.streamCreateFile(m_mp3), AudioLibrary::Handle(0));
        QCOMPARE(fresh.channelGetPosition(45), SdlAudioLibrary::InvalidBytes);
        fresh.channelPlay(45, false);
        fresh.channelSetVolume(45, 0.5f);
        fresh.channelStop(45);
        fresh.streamFree(45);
    }

    void initBassMessages_data()
    {
        QTest::addColumn<quint32>("version");
        QTest::addColumn<bool>("device");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<bool>("result");
        QTest::newRow("2.4, device") << 0x02040000u << true << QStringList() << true;
        QTest::newRow("any 2.4 release") << 0x0204FFFFu << true << QStringList() << true;
        QTest::newRow("2.3, device") << 0x0203FFFFu << true
                                     << QStringList({ QStringLiteral("\"Bass.dll\" 文件版本不合适! ") }) << false;
        QTest::newRow("2.4, no device") << 0x02040000u << false << QStringList({ QStringLiteral("初始化错误") })
                                        << false;
        QTest::newRow("neither") << 0x02050000u << false
                                 << QStringList({ QStringLiteral("\"Bass.dll\" 文件版本不合适! "),
                                                  QStringLiteral("初始化错误") })
                                 << false;
    }

    void initBassMessages()
    {
        QFETCH(quint32, version);
        QFETCH(bool, device);
        RecordingAudioLibrary library;
        library.versionWord = version;
        library.initResult = device;
        QTEST(init_bass(&library, *m_dialogs), "result");
        // The device is started even after a version message.
        QCOMPARE(library.calls, QStringList({ QStringLiteral("init") }));
        const auto boxes = m_dialogs->takeBoxes();
        QStringList texts;
        for (const auto& box : boxes) {
            QCOMPARE(box.icon, Dialogs::Icon::Critical);
            texts.append(box.text);
            // The fixed text, and behind it what a person can act on.
            if (box.text.startsWith(QStringLiteral("\"Bass.dll\""))) {
                QVERIFY2(box.details.startsWith(
                             QStringLiteral("SDL_mixer 2.%1.%2").arg((version >> 8) & 0xff).arg(version & 0xff)),
                         qPrintable(box.details));
            } else {
                QVERIFY2(box.details.contains(QStringLiteral("no sound device")), qPrintable(box.details));
            }
        }
        QTEST(texts, "texts");
    }

    void initBassWithoutLibrary() { QVERIFY(!init_bass(nullptr, *m_dialogs)); }

    // Files SDL cannot decode, each said once by name; the player goes on to the file that plays.
    void theMusicGoesOnPastBrokenFiles()
    {
        REQUIRE_MP3();
        QTemporaryDir music;
        QByteArray noise(20000, Qt::Uninitialized);
        for (qsizetype i = 0; i < noise.size(); ++i) {
            noise[i] = char((i * 2654435761u) >> 24);
        }
        writeFile(music.filePath(QStringLiteral("1 random.mp3")), noise);
        writeFile(music.filePath(QStringLiteral("2 empty.mp3")), QByteArray());
        QByteArray wave(
            "RIFF\x24\x10\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x44\xac\0\0\x88\x58\x01\0\x02\0\x10\0data\0\x10\0\0", 44);
        writeFile(music.filePath(QStringLiteral("3 wave.mp3")), wave + QByteArray(4096, '\0'));
        QVERIFY(QFile::copy(m_mp3, music.filePath(QStringLiteral("4 tone.mp3"))));
        QTemporaryDir logFolder;
        EventLog::open(logFolder.filePath(QStringLiteral("kelvora.log")), false);
        ReadingState state;
        FolderView view(music.path());
        MusicPlayer player(&m_library, view, state, Clock::system());
        player.bj_playClick();
        player.bj_playClick(); // the broken files are passed over again, without a word
        QVERIFY(AudioLibrary::isOpen(player.bj_stream()));
        QCOMPARE(player.bj_length(), 3);
        QVERIFY(view.timerOn);
        player.bj_stopClick();
        const QString log = readLog(logFolder);
        for (const char* name : { "1 random.mp3", "2 empty.mp3", "3 wave.mp3" }) {
            QCOMPARE(log.count(QStringLiteral("music file does not play: ") + music.filePath(QLatin1String(name))), 1);
        }
        QCOMPARE(log.count(QStringLiteral("music started: ") + music.filePath(QStringLiteral("4 tone.mp3"))), 2);

        // Without the good file nothing plays: said once however often play is pressed.
        QVERIFY(QFile::remove(music.filePath(QStringLiteral("4 tone.mp3"))));
        FolderView broken(music.path());
        MusicPlayer silent(&m_library, broken, state, Clock::system());
        for (int day = 0; day < 4; ++day) {
            silent.bj_playClick();
        }
        EventLog::close();
        QCOMPARE(silent.bj_stream(), AudioLibrary::Handle(0));
        QVERIFY(!broken.timerOn);
        QCOMPARE(readLog(logFolder).count(QStringLiteral("no file of the music list plays (3 files)")), 1);
    }

    // The music folder goes away while a track plays: the track plays on, the next start says so once.
    void aVanishedMusicFolder()
    {
        REQUIRE_MP3();
        auto music = std::make_unique<QTemporaryDir>();
        QVERIFY(QFile::copy(m_mp3, music->filePath(QStringLiteral("a.mp3"))));
        QVERIFY(QFile::copy(m_mp3, music->filePath(QStringLiteral("b.mp3"))));
        QTemporaryDir logFolder;
        EventLog::open(logFolder.filePath(QStringLiteral("kelvora.log")), false);
        ReadingState state;
        FolderView view(music->path());
        MusicPlayer player(&m_library, view, state, Clock::system());
        player.bj_playClick();
        QVERIFY(AudioLibrary::isOpen(player.bj_stream()));
        const QString folder = music->path();
        music.reset();
        QVERIFY(!QFileInfo::exists(folder));
        player.bj_nextClick();
        player.bj_nextClick();
        EventLog::close();
        QCOMPARE(player.bj_stream(), AudioLibrary::Handle(0));
        QVERIFY(!view.timerOn);
        const QString log = readLog(logFolder);
        QCOMPARE(log.count(QStringLiteral("music folder missing: ") + folder), 1);
        QVERIFY(!log.contains(QStringLiteral("does not play")));
    }

private:
    bool encodeMp3(const QByteArray& pcm, const QString& target)
    {
        const QString raw = m_dir.filePath(QStringLiteral("tone.raw"));
        writeFile(raw, pcm);
        QProcess process;
        if (!QStandardPaths::findExecutable(QStringLiteral("lame")).isEmpty()) {
            process.start(QStringLiteral("lame"),
                          { QStringLiteral("--quiet"), QStringLiteral("-r"), QStringLiteral("-s"),
                            QStringLiteral("44.1"), QStringLiteral("--bitwidth"), QStringLiteral("16"),
                            QStringLiteral("--signed"), QStringLiteral("--little-endian"), QStringLiteral("-m"),
                            QStringLiteral("s"), raw, target });
        } else if (!QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty()) {
            process.start(QStringLiteral("ffmpeg"),
                          { QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
                            QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-ar"),
                            QStringLiteral("44100"), QStringLiteral("-ac"), QStringLiteral("2"), QStringLiteral("-i"),
                            raw, target });
        } else {
            return false;
        }
        return process.waitForFinished(30000) && process.exitCode() == 0 && QFileInfo(target).size() > 0;
    }

    static void writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    double seconds(AudioLibrary::Handle handle)
    {
        return m_library.channelBytes2Seconds(handle, m_library.channelGetPosition(handle));
    }

    QTemporaryDir m_dir;
    SoundDevice m_sound;
    SdlAudioLibrary m_library { m_sound };
    QString m_mp3;
    bool m_encoderMissing = true;
    std::unique_ptr<RecordingDialogs> m_dialogs;
};

QTEST_GUILESS_MAIN(TestSdlAudioLibrary)
#include "test_sdlaudiolibrary.moc"
