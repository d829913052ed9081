// One whole broadcast of the real program, heard through SDL's disk audio driver: everything the
// station plays lands in a raw PCM file, which the test then listens to.

#include "ciskip.h"
#include "common/clock.h"
#include "common/inifile.h"
#include "fixedwallclock.h"
#include "sanitizers.h"
#include "soundcapture.h"
#include "testdatabase.h"
#include "testfolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <optional>
#include <unistd.h>

using namespace SoundCapture;

namespace {

constexpr int SongSeconds = 5;

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_encoder = findMp3Encoder();
        if (m_encoder.isEmpty()) {
            KELVORA_SKIP("neither lame nor ffmpeg is installed: the test cannot make its MP3 files");
        }
        KELVORA_REQUIRE_FIXED_WALL_CLOCK();
        if (!QFileInfo(QStringLiteral(KELVORA_BINARY)).isExecutable()) {
            QFAIL(qPrintable(QStringLiteral("the program was not built: %1").arg(QStringLiteral(KELVORA_BINARY))));
        }
    }

    void aWholeBroadcastIsHeard();

private:
    void makeProgramFolder(const TestFolder& folder, const QTime& rangeStart);
    void checkEventLog(const TestFolder& folder, double firstReading, double song, const QTime& rangeStart);

    QString m_encoder;
    QString m_timeline;
};

void TestEndToEnd::makeProgramFolder(const TestFolder& folder, const QTime& rangeStart)
{
    createTestDatabase(folder);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("endtoend"));
        db.setDatabaseName(folder.file(QStringLiteral("draft.dat")));
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        // People born on today's month and day (1992 is a leap year, so 29 February works too) who
        // joined long before the joining-days threshold.
        const QString birthday
            = QStringLiteral("1992-") + Clock::system().currentDate().toString(QStringLiteral("MM-dd"));
        QVERIFY(
            addEmployee(db, QStringLiteral("王芳"), birthday, QStringLiteral("2001-03-01"), QStringLiteral("销售部"))
            > 0);
        QVERIFY(
            addEmployee(db, QStringLiteral("李强"), birthday, QStringLiteral("2005-06-01"), QStringLiteral("财务部"))
            > 0);
        // No time announcement may speak into the capture.
        QSqlQuery query(db);
        QVERIFY2(query.exec(QStringLiteral("UPDATE telltime SET isplay = 0")), qPrintable(query.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("endtoend"));

    encodeMp3(m_encoder, folder, QStringLiteral("mp3files/a_first.mp3"), TrackA, 25);
    encodeMp3(m_encoder, folder, QStringLiteral("mp3files/b_second.mp3"), TrackB, 25);
    encodeMp3(m_encoder, folder, QStringLiteral("song/song.mp3"), SongTone, SongSeconds);

    IniFile ini(folder.file(QStringLiteral("setinfo.ini")));
    const QString speaker = QStringLiteral("Speaker");
    const QString system = QStringLiteral("System");
    ini.writeInteger(speaker, QStringLiteral("Speaker"), 0);
    ini.writeInteger(speaker, QStringLiteral("Rate"), 5);
    ini.writeInteger(speaker, QStringLiteral("Volume"), 100);
    ini.writeBool(system, QStringLiteral("Tts_information"), true);
    ini.writeInteger(system, QStringLiteral("Readtimes"), 2);
    ini.writeInteger(system, QStringLiteral("Intervaltime"), 3);
    for (int day = 1; day <= 7; ++day) {
        ini.writeBool(system, QStringLiteral("CheckBox%1").arg(day), true);
    }
    ini.writeString(system, QStringLiteral("playtime1"), rangeStart.toString(QStringLiteral("HH:mm:ss")));
    ini.writeString(system, QStringLiteral("playtime2"), rangeStart.addSecs(120).toString(QStringLiteral("HH:mm:ss")));
    ini.writeString(system, QStringLiteral("Mp3bj"), folder.file(QStringLiteral("mp3files")));
    ini.writeString(system, QStringLiteral("mp3file"), folder.file(QStringLiteral("song/song.mp3")));
    ini.writeInteger(system, QStringLiteral("default_volume"), 40);
    ini.writeInteger(system, QStringLiteral("default_volume1"), 10);
    ini.writeInteger(system, QStringLiteral("Playmode"), 0);
    ini.writeBool(system, QStringLiteral("Next_month"), false);
    ini.writeString(system, QStringLiteral("Company"), QStringLiteral("星辰"));
    ini.writeString(system, QStringLiteral("Mainread"), QStringLiteral("祝你们生日快乐！"));

    // The program folder is the executable's own: the program runs from a hard link (or a copy) in it.
    QVERIFY2(!folder.placeProgram(QStringLiteral(KELVORA_BINARY)).isEmpty(), "cannot put the program into its folder");
}

void TestEndToEnd::checkEventLog(const TestFolder& folder, double firstReading, double song, const QTime& rangeStart)
{
    QFile file(folder.file(QStringLiteral("kelvora.log")));
    QVERIFY2(file.open(QIODevice::ReadOnly | QIODevice::Text), "the station kept no event log (kelvora.log)");
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QString story = QStringLiteral("\nEvent log:\n  ") + lines.join(QStringLiteral("\n  ")) + m_timeline;

    // The broadcast's events in the order they must be told, each found after the one before it.
    const QStringList expected = {
        QStringLiteral("Kelvora "),
        QStringLiteral("announcement composed: 今天是：星辰员工，"),
        QStringLiteral("broadcast started"),
        QStringLiteral("music started: ") + folder.file(QStringLiteral("mp3files/a_first.mp3")),
        QStringLiteral("reading started"),
        QStringLiteral("reading ended"),
        QStringLiteral("reading started"),
        QStringLiteral("reading ended"),
        QStringLiteral("designated song: ") + folder.file(QStringLiteral("song/song.mp3")),
        QStringLiteral("designated song over"),
        QStringLiteral("music stopped"),
        QStringLiteral("signal 15: ending as the close button does"),
        QStringLiteral("Kelvora ended"),
    };
    static const QRegularExpression stamp(
        QStringLiteral("^(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3})\\S* (.*)$"));
    QList<QDateTime> when;
    qsizetype next = 0;
    for (const QString& line : lines) {
        const QRegularExpressionMatch match = stamp.match(line);
        QVERIFY2(match.hasMatch(), qPrintable(QStringLiteral("a log line without its date and time: ") + line + story));
        if (next < expected.size() && match.captured(2).startsWith(expected[next])) {
            when.append(QDateTime::fromString(match.captured(1), Qt::ISODateWithMs));
            ++next;
        }
    }
    QVERIFY2(next == expected.size(),
             qPrintable(QStringLiteral("the event log does not tell \"%1\" after \"%2\"")
                            .arg(expected.value(next), expected.value(next - 1))
                        + story));
    const auto count = [&lines](const QString& event) {
        return std::count_if(lines.begin(), lines.end(),
                             [&event](const QString& line) { return line.contains(event); });
    };
    QVERIFY2(count(QStringLiteral(" broadcast started")) == 1,
             qPrintable(QStringLiteral("more than one broadcast") + story));
    QVERIFY2(count(QStringLiteral(" reading started")) == 2, qPrintable(QStringLiteral("not two readings") + story));
    QVERIFY2(count(QStringLiteral(" speaking: ")) >= 2, qPrintable(QStringLiteral("no pieces spoken") + story));

    // The broadcast starts with its range, not before (the sound cannot tell: the output opens only
    // when something is to play, so the capture begins with the broadcast).
    QVERIFY2(when[2].time() >= rangeStart && when[2].time() < rangeStart.addSecs(2),
             qPrintable(QStringLiteral("the broadcast started at %1, its range at %2")
                            .arg(when[2].time().toString(QStringLiteral("HH:mm:ss.zzz")),
                                 rangeStart.toString(QStringLiteral("HH:mm:ss")))
                        + story));

    // The log's clock and the sound agree: from the first reading to the song as long in both.
    const double logged = when[4].msecsTo(when[8]) / 1000.0;
    const double heard = song - firstReading;
    QVERIFY2(
        std::abs(logged - heard) < 1.5,
        qPrintable(
            QStringLiteral("the log puts the song %1 s after the first reading, the sound %2 s").arg(logged).arg(heard)
            + story));
}

void TestEndToEnd::aWholeBroadcastIsHeard()
{
    // On the fixed clock it is 09:00; on the real one, the run must not cross midnight.
    FixedWallClock::stayWithinOneDay(180);
    const QTime now = Clock::system().currentTime();
    TestFolder folder;
    // The range opens some seconds after start-up (whole seconds, as the time fields hold): enough for a
    // start-up on a busy machine (seven seconds seen on two cores shared with other builds), longer in a
    // sanitizer build.
    const QTime rangeStart
        = QTime(now.hour(), now.minute(), now.second()).addSecs(Sanitizers::timeScale() == 1 ? 12 : 20);
    makeProgramFolder(folder, rangeStart);
    if (QTest::currentTestFailed()) {
        return;
    }

    QTemporaryDir runtime;
    const QString capture = folder.file(QStringLiteral("out.raw"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("disk"));
    env.insert(QStringLiteral("SDL_DISKAUDIOFILE"), capture);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    QProcess station;
    station.setProcessEnvironment(env);
    station.setWorkingDirectory(folder.path());
    QElapsedTimer wall;
    wall.start();
    const QTime startedAt = Clock::system().currentTime();
    station.start(folder.file(QStringLiteral("kelvora")), {});
    QVERIFY2(station.waitForStarted(10000), qPrintable(station.errorString()));
    qInfo().noquote() << QStringLiteral("Listening to the station from %1 (range from %2, clock %3): %4")
                             .arg(now.toString(QStringLiteral("HH:mm:ss")),
                                  rangeStart.toString(QStringLiteral("HH:mm:ss")),
                                  FixedWallClock::active() ? QStringLiteral("fixed by libfaketime")
                                                           : QStringLiteral("real"),
                                  capture);

    // Listen while it plays: the broadcast is over once the song has been heard and been followed by
    // two and a half seconds of silence. A hard limit keeps the test within its minute.
    std::vector<Window> windows;
    bool over = false;
    while (!over && wall.elapsed() < Sanitizers::scaled(60000) && station.state() == QProcess::Running) {
        station.waitForFinished(500);
        QFile file(capture);
        if (!file.open(QIODevice::ReadOnly)) {
            continue;
        }
        windows = analyse(file.readAll());
        const auto songHeard = firstWhere(windows, 0, [](const Window& w) { return w.song >= TonePresent; });
        if (!songHeard) {
            continue;
        }
        int silentTail = 0;
        for (auto it = windows.rbegin(); it != windows.rend() && it->rms < SilenceRms; ++it) {
            ++silentTail;
        }
        over = windows.back().t > *songHeard + SongSeconds && silentTail * WindowSeconds >= 2.5;
    }
    const double runSeconds = wall.elapsed() / 1000.0;
    const bool stillRunning = station.state() == QProcess::Running;
    if (stillRunning) {
        ::kill(pid_t(station.processId()), SIGTERM);
        station.waitForFinished(10000);
    }
    const QString output = QString::fromLocal8Bit(station.readAllStandardError());
    QVERIFY2(
        stillRunning,
        qPrintable(
            QStringLiteral("the station ended by itself (exit code %1):\n%2").arg(station.exitCode()).arg(output)));
    QCOMPARE(station.state(), QProcess::NotRunning);
    QVERIFY2(station.exitStatus() == QProcess::NormalExit && station.exitCode() == 0,
             qPrintable(QStringLiteral("SIGTERM did not end the station cleanly (exit code %1):\n%2")
                            .arg(station.exitCode())
                            .arg(output)));

    QFile file(capture);
    QVERIFY2(file.open(QIODevice::ReadOnly), "the disk audio driver wrote nothing");
    const QByteArray pcm = file.readAll();
    windows = analyse(pcm);
    const QString timeline = QStringLiteral("\nHeard (%1 s of audio over %2 s of running):\n%3")
                                 .arg(double(pcm.size()) / (SampleRate * FrameBytes), 0, 'f', 1)
                                 .arg(runSeconds, 0, 'f', 1)
                                 .arg(describe(windows));
    qInfo().noquote() << timeline;
    auto expect = [&timeline](bool ok, const QString& what) { return ok ? QString() : what + timeline; };
#define CHECK(condition, message)                                                                                      \
    do {                                                                                                               \
        const QString failure = expect(condition, message);                                                            \
        QVERIFY2(failure.isEmpty(), qPrintable(failure));                                                              \
    } while (false)

    // The capture is the device's format: 4 bytes a frame at 44.1 kHz keep pace with the clock.
    CHECK(pcm.size() % FrameBytes == 0, QStringLiteral("the capture is not whole 16-bit stereo frames"));
    const double audioSeconds = double(pcm.size()) / (SampleRate * FrameBytes);
    // The output is closed while nothing plays and opened (the capture begun anew) when the broadcast
    // is to sound: the capture covers the time from about the range's start.
    const double beforeRange = qMax(0.0, startedAt.msecsTo(rangeStart) / 1000.0);
    CHECK(audioSeconds > (runSeconds - beforeRange - 1.0) * 0.75 && audioSeconds < runSeconds * 1.1,
          QStringLiteral("%1 s of audio in %2 s of running (%3 s of them before the range): not 16-bit stereo "
                         "at 44.1 kHz")
              .arg(audioSeconds)
              .arg(runSeconds)
              .arg(beforeRange));

    // The broadcast begins with the background music, at the speaking level: the repeated reading is
    // under way (isreading) from the moment the scheduler presses the loop button.
    const auto musicStart = firstWhere(windows, 0, [](const Window& w) { return w.a >= TonePresent; });
    CHECK(musicStart.has_value(), QStringLiteral("the first background track was never heard"));
    const auto firstSound = firstWhere(windows, 0, [](const Window& w) { return w.rms >= SilenceRms; });
    // The window in which the track begins holds only part of it: too little tone to be named, but
    // no longer silence. Anything earlier than that sounded before the broadcast.
    CHECK(*firstSound >= *musicStart - 0.15, QStringLiteral("something sounded before the broadcast began"));

    const QList<Segment> readings = speechSegments(windows);
    CHECK(readings.size() == 2, QStringLiteral("%1 readings heard instead of 2").arg(readings.size()));
    const Segment first = readings[0];
    const Segment second = readings[1];
    CHECK(first.start > *musicStart && first.start - *musicStart < 2.5,
          QStringLiteral("the first reading began %1 s after the music instead of within the repetition timer's "
                         "first second")
              .arg(first.start - *musicStart));
    const double before = medianOver(windows, *musicStart + 0.1, first.start, [](const Window& w) { return w.a; });
    CHECK(std::abs(before - SpeakingLevel) < 0.03,
          QStringLiteral("before the first reading the music played at %1, not the speaking level %2")
              .arg(before)
              .arg(SpeakingLevel));

    // Under each reading the music is down at the speaking level; between them it rises to the music
    // level (a fade of 600 ms after the reading's end).
    for (const Segment& reading : readings) {
        const double under
            = medianOver(windows, reading.start + 0.2, reading.end - 0.2, [](const Window& w) { return w.a; });
        CHECK(std::abs(under - SpeakingLevel) < 0.03,
              QStringLiteral("under the reading at %1 s the music played at %2, not the speaking level %3")
                  .arg(reading.start)
                  .arg(under)
                  .arg(SpeakingLevel));
    }
    const double gap = second.start - first.end;
    // The interval runs from the thread's end (after the closing "！" pause of 800 ms) and the
    // repetition timer looks once a second.
    CHECK(gap >= 3.0 && gap <= 6.0, QStringLiteral("%1 s between the readings; the interval is 3 s").arg(gap));
    const double between
        = medianOver(windows, first.end + 1.2, second.start - 0.1, [](const Window& w) { return w.a; });
    CHECK(std::abs(between - MusicLevel) < 0.06,
          QStringLiteral("between the readings the music played at %1, not the music level %2")
              .arg(between)
              .arg(MusicLevel));
    const double speechBetween
        = medianOver(windows, first.end + 0.2, second.start - 0.2, [](const Window& w) { return w.speech; });
    CHECK(speechBetween < SpeechRms, QStringLiteral("speech went on between the readings"));

    // After the second reading the designated song replaces the background track and plays at the
    // music level until its time is over; then step 2 of the scheduler stops the music.
    const auto songStart = firstWhere(windows, 0, [](const Window& w) { return w.song >= TonePresent; });
    CHECK(songStart.has_value(), QStringLiteral("the designated song was never heard"));
    CHECK(*songStart > second.end && *songStart - second.end < 3.0,
          QStringLiteral("the song began %1 s after the second reading ended").arg(*songStart - second.end));
    const auto songEnd = firstWhere(windows, *songStart, [](const Window& w) { return w.song < TonePresent; });
    CHECK(songEnd.has_value(), QStringLiteral("the song never ended"));
    CHECK(std::abs(*songEnd - *songStart - SongSeconds) < 0.6,
          QStringLiteral("the song played %1 s of its %2 s").arg(*songEnd - *songStart).arg(SongSeconds));
    const double songLevel
        = medianOver(windows, *songStart + 1.0, *songEnd - 0.2, [](const Window& w) { return w.song; });
    CHECK(std::abs(songLevel - MusicLevel) < 0.06,
          QStringLiteral("the song played at %1, not the music level %2").arg(songLevel).arg(MusicLevel));
    const double backgroundUnderSong
        = medianOver(windows, *songStart + 0.2, *songEnd - 0.2, [](const Window& w) { return w.a + w.b; });
    CHECK(backgroundUnderSong < 0.01, QStringLiteral("the background track went on under the song"));
    // The song's end time is kept to the second, so the list may play on for up to a second before
    // the stop; after that nothing.
    const double quietFrom = *songEnd + 1.3;
    const auto lastSound
        = std::find_if(windows.rbegin(), windows.rend(), [](const Window& w) { return w.rms >= SilenceRms; });
    CHECK(lastSound != windows.rend() && lastSound->t < quietFrom,
          QStringLiteral("sound went on %1 s after the song's time").arg(lastSound->t - *songEnd));
    CHECK(windows.back().t - quietFrom >= 1.0, QStringLiteral("the capture ended before the silence after the song"));
#undef CHECK

    m_timeline = timeline;
    checkEventLog(folder, first.start, *songStart, rangeStart);
}

int main(int argc, char** argv)
{
    // A Monday at 09:00: the broadcast never meets midnight.
    FixedWallClock::reexecAt(argv, QDateTime(QDate(2026, 3, 2), QTime(9, 0)));
    QCoreApplication app(argc, argv);
    TestEndToEnd test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_endtoend.moc"
