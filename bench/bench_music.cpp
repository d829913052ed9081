// Prints what the music costs: CPU time per minute of music of the player (decoding, mixing and the
// 20 ms level timer) beside ffplay playing the same file through SDL on the same driver, the idle CPU
// of the station with its window hidden and no music, and the time to list 10,000 files.
//
// bench_music [--music-seconds N] [--idle-seconds N]   (defaults 30 and 30)

#include "common/clock.h"
#include "common/helpers.h"
#include "common/readingstate.h"
#include "common/services.h"
#include "common/sounddevice.h"
#include "figure.h"
#include "music/musicpanel.h"
#include "music/musicplayer.h"
#include "music/sdlaudiolibrary.h"
#include "shell/station.h"
#include "shell/tf_speaker.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <SDL_mixer.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace {

double cpuSeconds(const rusage& usage)
{
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double processCpu()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return cpuSeconds(usage);
}

// Runs the event loop for ms of real time.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// A chord with a slow vibrato, so the encoder has real work and the decoder real frames.
bool makeMp3(const QString& target, int seconds)
{
    const QString raw = target + QStringLiteral(".raw");
    QFile file(raw);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const int frames = seconds * 44100;
    QByteArray pcm(frames * 4, Qt::Uninitialized);
    auto* samples = reinterpret_cast<qint16*>(pcm.data());
    for (int i = 0; i < frames; ++i) {
        const double t = i / 44100.0;
        const double wobble = 1.0 + 0.01 * std::sin(2 * M_PI * 0.5 * t);
        const double v = std::sin(2 * M_PI * 220 * wobble * t) + 0.5 * std::sin(2 * M_PI * 277 * t)
            + 0.3 * std::sin(2 * M_PI * 330 * t);
        samples[2 * i] = qint16(6000 * v);
        samples[2 * i + 1] = qint16(6000 * v * 0.9);
    }
    file.write(pcm);
    file.close();
    QProcess lame;
    lame.start(QStringLiteral("lame"),
               { QStringLiteral("--quiet"), QStringLiteral("-r"), QStringLiteral("-s"), QStringLiteral("44.1"),
                 QStringLiteral("--bitwidth"), QStringLiteral("16"), QStringLiteral("--signed"),
                 QStringLiteral("--little-endian"), QStringLiteral("-b"), QStringLiteral("192"), raw, target });
    const bool ok = lame.waitForFinished(120000) && lame.exitCode() == 0;
    QFile::remove(raw);
    return ok;
}

class OneFileView final : public MusicView
{
public:
    explicit OneFileView(QString path)
        : m_path(std::move(path))
    {
    }
    int count() const override { return 1; }
    int selectedIndex() const override { return 0; }
    void select(int) override { }
    QString entryPath(int) const override { return m_path; }
    bool folderExists() const override { return true; }
    QString folderPath() const override { return QString(); }
    void showPosition(const QString&) override { }
    void showStatus(const QString&) override { }
    void setPositionTimer(bool) override { }

private:
    QString m_path;
};

struct Figure
{
    double cpu = 0.0;
    double wall = 0.0;
    double perMinute() const { return wall > 0 ? cpu * 60.0 / wall : 0.0; }
};

Figure ourPlayer(const QString& mp3, int seconds)
{
    SoundDevice sound;
    SdlAudioLibrary library(sound);
    library.init();
    ReadingState state;
    OneFileView view(mp3);
    MusicPlayer player(&library, view, state, Clock::system());
    QTimer level;
    level.setInterval(20);
    QObject::connect(&level, &QTimer::timeout, [&player] { player.bj_timer2Timer(); });
    QTimer position;
    position.setInterval(1000);
    QObject::connect(&position, &QTimer::timeout, [&player] { player.bj_timer1Timer(); });
    // A reading in the middle third, so the fades run too.
    QTimer::singleShot(seconds * 1000 / 3, [&state] { state.claim(); });
    QTimer::singleShot(seconds * 2000 / 3, [&state] { state.release(); });

    QElapsedTimer wall;
    const double before = processCpu();
    wall.start();
    player.bj_playClick();
    level.start();
    position.start();
    runFor(seconds * 1000);
    Figure figure;
    figure.cpu = processCpu() - before;
    figure.wall = wall.elapsed() / 1000.0;
    if (!AudioLibrary::isOpen(player.bj_stream()) || !Mix_PlayingMusic()) {
        std::printf("  warning: the player was not playing at the end of the run\n");
    }
    player.bj_stopClick();
    return figure;
}

Figure ffplay(const QString& mp3)
{
    Figure figure;
    const QByteArray program = QStandardPaths::findExecutable(QStringLiteral("ffplay")).toLocal8Bit();
    if (program.isEmpty()) {
        return figure;
    }
    const QByteArray file = QFile::encodeName(mp3);
    const char* argv[]
        = { program.constData(), "-nodisp", "-autoexit", "-loglevel", "quiet", file.constData(), nullptr };
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    QElapsedTimer wall;
    wall.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, program.constData(), nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) {
        return figure;
    }
    int status = 0;
    rusage usage {};
    wait4(pid, &status, 0, &usage);
    figure.cpu = cpuSeconds(usage);
    figure.wall = wall.elapsed() / 1000.0;
    return figure;
}

Figure idleStation(int seconds, const QString& programFolder)
{
    setProgdir(programFolder);
    SoundDevice sound;
    SdlAudioLibrary library(sound);
    Services services;
    services.sound = &sound;
    services.audio = &library;
    Station station(services);
    Figure figure;
    if (!station.start()) {
        std::printf("  the station did not start in %s\n", qPrintable(programFolder));
        return figure;
    }
    runFor(2000); // start-up settles first
    QElapsedTimer wall;
    const double before = processCpu();
    wall.start();
    runFor(seconds * 1000);
    figure.cpu = processCpu() - before;
    figure.wall = wall.elapsed() / 1000.0;
    return figure;
}

double listingMs(const QString& programFolder)
{
    const QString folder = programFolder + QStringLiteral("many");
    QDir().mkpath(folder);
    for (int i = 0; i < 10000; ++i) {
        QFile file(folder + QStringLiteral("/%1 生日歌.mp3").arg(i, 5, 10, QLatin1Char('0')));
        file.open(QIODevice::WriteOnly);
    }
    setProgdir(programFolder);
    Station station(Services {});
    if (!station.start()) {
        return -1;
    }
    QElapsedTimer timer;
    timer.start();
    station.mainWindow()->musicPanel()->setFolder(folder);
    return timer.nsecsElapsed() / 1e6;
}

int argument(const QStringList& args, const QString& name, int fallback)
{
    const int at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? qMax(1, args.at(at + 1).toInt()) : fallback;
}

} // namespace

int main(int argc, char* argv[])
{
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int musicSeconds = argument(app.arguments(), QStringLiteral("--music-seconds"), 30);
    const int idleSeconds = argument(app.arguments(), QStringLiteral("--idle-seconds"), 30);

    QTemporaryDir dir;
    const QString programFolder = withslash(dir.path());
    // The station of a merged tree opens draft.dat: take the build's one when there is one.
    QFile::copy(QStringLiteral(KELVORA_PROGRAM_DIR "/draft.dat"), programFolder + QStringLiteral("draft.dat"));

    std::printf("bench_music (SDL audio driver: %s)\n", std::getenv("SDL_AUDIODRIVER"));
    if (QStandardPaths::findExecutable(QStringLiteral("lame")).isEmpty()) {
        std::printf("lame is not installed: no MP3 can be made, the music figures are left out\n");
    } else {
        const QString mp3 = programFolder + QStringLiteral("bench.mp3");
        if (!makeMp3(mp3, musicSeconds)) {
            std::printf("lame failed to make the MP3\n");
            return 1;
        }
        std::printf("\nCPU time per minute of music (%d s MP3, 192 kbit/s):\n", musicSeconds);
        const Figure ours = ourPlayer(mp3, musicSeconds);
        std::printf("  kelvora player    %7.3f s per minute  (%.3f s CPU over %.1f s)\n", ours.perMinute(), ours.cpu,
                    ours.wall);
        const Figure theirs = ffplay(mp3);
        if (theirs.wall > 0) {
            std::printf("  ffplay -nodisp    %7.3f s per minute  (%.3f s CPU over %.1f s)\n", theirs.perMinute(),
                        theirs.cpu, theirs.wall);
            std::printf("  ratio             %7.2f  (aim: at most 1.5)\n",
                        theirs.perMinute() > 0 ? ours.perMinute() / theirs.perMinute() : 0.0);
            printFigure("CPU per minute of music", "s", ours.perMinute(), "ffplay -nodisp", theirs.perMinute(),
                        "<= 1.5x");
        } else {
            std::printf("  ffplay is not installed: no comparison\n");
            printFigure("CPU per minute of music", "s", ours.perMinute());
        }
    }

    std::printf("\nIdle station, window hidden, no music, %d s:\n", idleSeconds);
    const Figure idle = idleStation(idleSeconds, programFolder);
    if (idle.wall > 0) {
        std::printf("  CPU %.3f s over %.1f s = %.3f %% of one core  (aim: under 0.5 %%)\n", idle.cpu, idle.wall,
                    100.0 * idle.cpu / idle.wall);
        printFigure("idle CPU, window hidden", "% of a core", 100.0 * idle.cpu / idle.wall, "", 0.0, "< 0.5");
    }

    const double listing = listingMs(programFolder);
    std::printf("\nListing a folder of 10,000 MP3 files: %.1f ms\n", listing);
    printFigure("listing a folder of 10,000 MP3 files", "ms", listing);
    return 0;
}
