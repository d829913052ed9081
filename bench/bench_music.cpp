// What music costs the real station: the built program, run from a program folder whose one person has
// a birthday today, broadcasts at once (one reading, then music only); its CPU time per minute of music
// is measured over the music-only minutes that follow, with SDL's disk audio driver writing to
// /dev/null. Twice: --headless, and with its window hidden in a tray (--minimized under Xvfb, trayer
// providing the tray). Beside it: ffplay -nodisp playing the same MP3 on the same driver, measured
// the same way, and ffmpeg decoding the whole file to nothing (the floor: decoding alone). Then the time
// the music list takes to read a folder of 10,000 files.
//
// bench_music [--music-seconds N] [--track-seconds N]   (defaults 120 and 300)

#include "common/clock.h"
#include "common/helpers.h"
#include "common/inifile.h"
#include "common/runtimeerror.h"
#include "common/services.h"
#include "data/tdm.h"
#include "figure.h"
#include "music/musicpanel.h"
#include "process.h"
#include "shell/station.h"
#include "shell/tf_speaker.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

// A chord with a slow vibrato, so the encoder has real work and the decoder real frames.
bool makeMp3(const QString& target, int seconds)
{
    const QString raw = target + QStringLiteral(".raw");
    QFile file(raw);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const int frames = seconds * 44100;
    QByteArray pcm(qsizetype(frames) * 4, Qt::Uninitialized);
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
    const bool ok = lame.waitForFinished(300000) && lame.exitCode() == 0;
    QFile::remove(raw);
    return ok;
}

// CPU seconds per minute of music over a measured window; zero when nothing was measured.
struct Figure
{
    double cpu = 0.0;
    double wall = 0.0;
    double residentMb = 0.0;
    double perMinute() const { return wall > 0 ? cpu * 60.0 / wall : 0.0; }
};

// Measures a running process's CPU over seconds of real time; an empty figure when it ends before.
Figure measure(qint64 pid, int seconds)
{
    Figure figure;
    const double before = BenchProcess::processCpuSeconds(pid);
    QElapsedTimer wall;
    wall.start();
    QThread::sleep(seconds);
    const double after = BenchProcess::processCpuSeconds(pid);
    figure.residentMb = BenchProcess::residentMb(pid);
    if (before < 0 || after < 0) {
        return figure;
    }
    figure.cpu = after - before;
    figure.wall = wall.nsecsElapsed() / 1e9;
    return figure;
}

QStringList logLines(const QString& folder)
{
    QFile file(folder + QStringLiteral("kelvora.log"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                          : QStringList();
}

// The index of the first log line from `from` on that holds event, waiting up to seconds for it; -1.
qsizetype waitForLog(const QString& folder, const QString& event, qsizetype from, int seconds, qint64 pid)
{
    QElapsedTimer wall;
    wall.start();
    while (wall.elapsed() < seconds * 1000LL && BenchProcess::processCpuSeconds(pid) >= 0) {
        const QStringList lines = logLines(folder);
        for (qsizetype i = from; i < lines.size(); ++i) {
            if (lines.at(i).contains(event)) {
                return i;
            }
        }
        QThread::msleep(200);
    }
    return -1;
}

// A program folder for one run of the station: one person born today, no time announcement, one
// reading, the MP3 as the only background track, a range from lead seconds on that outlasts the run.
// Empty (with the reason printed) when it cannot be made.
QString makeStation(const QString& folder, const QString& mp3, int lead, int rangeSeconds)
{
    const QTime now = Clock::system().currentTime();
    const QTime start = QTime(now.hour(), now.minute(), now.second()).addSecs(lead);
    const QTime end = start.addSecs(rangeSeconds);
    if (end < start || start < now) {
        std::printf("  the range would cross midnight: run the benchmark after 00:00 or earlier in the evening\n");
        return {};
    }
    setProgdir(folder);
    try {
        TDM::createDatabase(TDM::databasePath());
    } catch (const RuntimeError& error) {
        std::printf("  cannot make draft.dat: %s\n", qPrintable(error.message()));
        return {};
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench_music"));
        db.setDatabaseName(folder + QStringLiteral("draft.dat"));
        bool ok = db.open();
        QSqlQuery query(db);
        // 1992 is a leap year: 29 February has its person too.
        const QString birthday
            = QStringLiteral("1992-") + Clock::system().currentDate().toString(QStringLiteral("MM-dd"));
        ok = ok
            && query.prepare(QStringLiteral(
                "INSERT INTO birthday (emp_name, birthday, dept, remark1, indate) VALUES (?, ?, ?, '', ?)"));
        query.addBindValue(QStringLiteral("王芳"));
        query.addBindValue(birthday);
        query.addBindValue(QStringLiteral("销售部"));
        query.addBindValue(QStringLiteral("2001-03-01"));
        ok = ok && query.exec() && query.exec(QStringLiteral("UPDATE telltime SET isplay = 0"));
        const QString error = query.lastError().text() + db.lastError().text();
        query.finish();
        db.close();
        if (!ok) {
            std::printf("  cannot fill draft.dat: %s\n", qPrintable(error));
            return {};
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench_music"));

    const QString music = folder + QStringLiteral("mp3files");
    QDir().mkpath(music);
    const QString track = music + QStringLiteral("/tone.mp3");
    if (::link(QFile::encodeName(mp3).constData(), QFile::encodeName(track).constData()) != 0
        && !QFile::copy(mp3, track)) {
        std::printf("  cannot place the MP3 in %s\n", qPrintable(music));
        return {};
    }

    IniFile ini(folder + QStringLiteral("setinfo.ini"));
    const QString system = QStringLiteral("System");
    ini.writeBool(system, QStringLiteral("Tts_information"), true);
    ini.writeInteger(system, QStringLiteral("Readtimes"), 1);
    ini.writeInteger(system, QStringLiteral("Intervaltime"), 3);
    for (int day = 1; day <= 7; ++day) {
        ini.writeBool(system, QStringLiteral("CheckBox%1").arg(day), true);
    }
    ini.writeString(system, QStringLiteral("playtime1"), start.toString(QStringLiteral("HH:mm:ss")));
    ini.writeString(system, QStringLiteral("playtime2"), end.toString(QStringLiteral("HH:mm:ss")));
    ini.writeString(system, QStringLiteral("Mp3bj"), music);
    ini.writeString(system, QStringLiteral("mp3file"), QString());
    ini.writeInteger(system, QStringLiteral("Playmode"), 0);
    ini.writeBool(system, QStringLiteral("Next_month"), false);
    ini.writeString(system, QStringLiteral("Company"), QStringLiteral("星辰"));
    ini.writeString(system, QStringLiteral("Mainread"), QStringLiteral("祝你生日快乐！"));

    const QString program = BenchProcess::placeProgram(QStringLiteral(KELVORA_BINARY), folder);
    if (program.isEmpty()) {
        std::printf("  cannot place the program in %s\n", qPrintable(folder));
    }
    return program;
}

enum class Mode { Headless, Tray };

// One run of the real station: started, its reading over, then measured over seconds of music only.
Figure station(Mode mode, const QString& mp3, int seconds)
{
    Figure figure;
    const int lead = 10; // start-up on a busy machine, before the range opens
    QTemporaryDir dir;
    const QString folder = withslash(dir.path());
    const QString program = makeStation(folder, mp3, lead, lead + 180 + seconds);
    if (program.isEmpty()) {
        return figure;
    }
    QTemporaryDir runtime;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("disk"));
    env.insert(QStringLiteral("SDL_DISKAUDIOFILE"), QStringLiteral("/dev/null"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setStandardOutputFile(folder + QStringLiteral("stdout.txt"));
    process.setStandardErrorFile(folder + QStringLiteral("stderr.txt"));
    const QString pidFile = folder + QStringLiteral("pid");
    if (mode == Mode::Headless) {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.start(program, { QStringLiteral("--headless") });
    } else {
        // The station under its own X server: the tray first, then the program in place of the shell,
        // which writes the pid the station will have.
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral("xvfb-run"),
                      { QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1280x800x24"),
                        QStringLiteral("sh"), QStringLiteral("-c"),
                        QStringLiteral("trayer --edge bottom --widthtype request > /dev/null 2>&1 & sleep 1; "
                                       "echo $$ > \"$1\"; exec \"$0\" --minimized"),
                        program, pidFile });
    }
    if (!process.waitForStarted(10000)) {
        std::printf("  the station did not start: %s\n", qPrintable(process.errorString()));
        return figure;
    }
    qint64 pid = mode == Mode::Headless ? process.processId() : 0;
    for (int i = 0; pid == 0 && i < 100; ++i) {
        QThread::msleep(100);
        QFile file(pidFile);
        if (file.open(QIODevice::ReadOnly)) {
            pid = file.readAll().trimmed().toLongLong();
        }
    }
    const auto story = [&folder] {
        std::printf("  its event log:\n    %s\n", qPrintable(logLines(folder).join(QStringLiteral("\n    "))));
    };
    const qsizetype ended
        = pid > 0 ? waitForLog(folder, QStringLiteral("reading ended"), 0, lead + 120, pid) : qsizetype(-1);
    const QStringList lines = logLines(folder);
    if (ended < 0 || !lines.join(u'\n').contains(QStringLiteral("music started: "))) {
        std::printf("  no reading ended with music playing\n");
        story();
    } else {
        if (mode == Mode::Tray && !lines.join(u'\n').contains(QStringLiteral("started hidden in the tray"))) {
            std::printf("  warning: the window was not hidden in a tray\n");
        }
        QThread::sleep(3); // the music comes back up after the reading
        const qsizetype before = logLines(folder).size();
        figure = measure(pid, seconds);
        const QStringList after = logLines(folder);
        for (qsizetype i = before; i < after.size(); ++i) {
            if (after.at(i).contains(QStringLiteral("music stopped"))) {
                std::printf("  the music stopped while it was measured\n");
                story();
                figure = Figure();
                break;
            }
        }
    }
    if (pid > 0) {
        ::kill(pid_t(pid), SIGTERM);
    }
    if (!process.waitForFinished(15000)) {
        process.kill();
        process.waitForFinished();
    }
    return figure;
}

// ffplay playing the MP3 on the same driver, measured over the same kind of window after its start.
Figure ffplay(const QString& mp3, int seconds)
{
    Figure figure;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("disk"));
    env.insert(QStringLiteral("SDL_DISKAUDIOFILE"), QStringLiteral("/dev/null"));
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QStringLiteral("ffplay"),
                  { QStringLiteral("-nodisp"), QStringLiteral("-autoexit"), QStringLiteral("-loglevel"),
                    QStringLiteral("quiet"), mp3 });
    if (!process.waitForStarted(10000)) {
        return figure;
    }
    QThread::sleep(5);
    figure = measure(process.processId(), seconds);
    process.terminate();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
    }
    return figure;
}

// ffmpeg decoding the whole MP3 to nothing, as fast as it can: CPU per minute of the track.
Figure decodingFloor(const QString& mp3, int trackSeconds)
{
    Figure figure;
    const BenchProcess::Run run = BenchProcess::runToEnd(
        QStringLiteral("ffmpeg"),
        { QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("quiet"), QStringLiteral("-i"), mp3,
          QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-") });
    if (run.ok) {
        figure.cpu = run.cpuSeconds;
        figure.wall = trackSeconds;
    }
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
    try {
        TDM::createDatabase(TDM::databasePath());
    } catch (const RuntimeError&) {
        return -1;
    }
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

bool installed(const char* program)
{
    return !QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty();
}

void report(const char* label, const Figure& figure)
{
    std::printf("  %-34s %7.3f s per minute  (%.3f s CPU over %.1f s", label, figure.perMinute(), figure.cpu,
                figure.wall);
    if (figure.residentMb > 0) {
        std::printf(", %.1f MB resident", figure.residentMb);
    }
    std::printf(")\n");
}

// The station's figure beside ffplay's, with the aim of at most 1.5 times.
void compare(const char* what, const Figure& ours, const Figure& theirs)
{
    if (ours.wall <= 0 || theirs.wall <= 0) {
        return;
    }
    const double ratio = ours.perMinute() / theirs.perMinute();
    const bool missed = ratio > 1.5;
    std::printf("  %-34s %7.2f x ffplay   aim <= 1.5x%s\n", what, ratio, missed ? "   MISSED" : "");
    const QByteArray line = QStringLiteral("CPU per minute of music, %1").arg(QString::fromUtf8(what)).toUtf8();
    printFigure(line.constData(), "s", ours.perMinute(), "ffplay -nodisp", theirs.perMinute(),
                missed ? "<= 1.5x MISSED" : "<= 1.5x");
}

} // namespace

int main(int argc, char* argv[])
{
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int musicSeconds = argument(app.arguments(), QStringLiteral("--music-seconds"), 120);
    // The track outlasts ffplay's window, which starts five seconds in.
    const int trackSeconds = qMax(argument(app.arguments(), QStringLiteral("--track-seconds"), 300), musicSeconds + 15);

    QTemporaryDir dir;
    const QString base = withslash(dir.path());
    std::printf("bench_music: %d s of music measured in each run, load %s\n", musicSeconds,
                qPrintable(BenchProcess::loadAverage()));
    int status = 0;
    if (!installed("lame")) {
        std::printf("lame is not installed: no MP3 can be made, the music figures are left out\n");
        status = 1;
    } else {
        const QString mp3 = base + QStringLiteral("bench.mp3");
        if (!makeMp3(mp3, trackSeconds)) {
            std::printf("lame failed to make the MP3\n");
            return 1;
        }
        std::printf("\nCPU time per minute of music (a %d s MP3 at 192 kbit/s, SDL's disk driver into /dev/null):\n",
                    trackSeconds);
        const Figure headless = station(Mode::Headless, mp3, musicSeconds);
        report("kelvora --headless", headless);
        Figure tray;
        if (installed("xvfb-run") && installed("trayer")) {
            tray = station(Mode::Tray, mp3, musicSeconds);
            report("kelvora, hidden in a tray (Xvfb)", tray);
        } else {
            std::printf("  xvfb-run or trayer is not installed: the station hidden in a tray is left out\n");
        }
        Figure player;
        if (installed("ffplay")) {
            player = ffplay(mp3, musicSeconds);
            report("ffplay -nodisp -autoexit", player);
        } else {
            std::printf("  ffplay is not installed (Debian package ffmpeg): no comparison\n");
        }
        Figure floor;
        if (installed("ffmpeg")) {
            floor = decodingFloor(mp3, trackSeconds);
            report("ffmpeg -f null (decoding only)", floor);
        }
        std::printf("  load after the runs: %s\n", qPrintable(BenchProcess::loadAverage()));
        compare("--headless", headless, player);
        compare("hidden in a tray", tray, player);
        if (headless.wall > 0 && floor.wall > 0) {
            std::printf("  %-34s %7.2f x the decoding floor\n", "--headless", headless.perMinute() / floor.perMinute());
            printFigure("CPU per minute of music, --headless vs decoding", "s", headless.perMinute(), "ffmpeg -f null",
                        floor.perMinute());
        }
        if (headless.wall <= 0 || (installed("xvfb-run") && installed("trayer") && tray.wall <= 0)) {
            status = 1;
        }
    }

    const double listing = listingMs(base);
    std::printf("\nListing a folder of 10,000 MP3 files: %.1f ms\n", listing);
    printFigure("listing a folder of 10,000 MP3 files", "ms", listing);
    return status;
}
