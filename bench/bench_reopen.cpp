// How soon the first sample reaches the sound device when the station speaks or chimes after a quiet
// spell: the output is closed while nothing plays, so every first sound opens it again. Measured from
// the call (speak, chime) to the first buffer the device is handed that is not silence, on the driver
// SDL_AUDIODRIVER names (run-all.sh: dummy; a machine with a card: its own).
//
// bench_reopen [--runs N]   (default 20)

#include "common/sounddevice.h"
#include "figure.h"
#include "schedule/chime.h"
#include "speech/espeakvoiceengine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <SDL.h>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

std::atomic<qint64> g_firstSound { -1 };
QElapsedTimer g_since;

void watch(const unsigned char* stream, int bytes, unsigned char silence)
{
    if (g_firstSound.load() >= 0) {
        return;
    }
    for (int i = 0; i < bytes; ++i) {
        if (stream[i] != silence) {
            g_firstSound = g_since.nsecsElapsed();
            return;
        }
    }
}

// Milliseconds from start() to the first sound, or -1 when none came within 5 s. The output has closed
// by itself before (the sound before is over and the idle moment has passed).
double firstSoundMs(SoundDevice& sound, const std::function<void()>& start)
{
    QElapsedTimer closing;
    closing.start();
    while (sound.isOpen() && closing.elapsed() < 10000) {
        QThread::msleep(5);
    }
    if (sound.isOpen()) {
        std::printf("  the output did not close (%d holds)\n", sound.holds());
        return -1.0;
    }
    g_firstSound = -1;
    g_since.start();
    start();
    while (g_firstSound.load() < 0 && g_since.elapsed() < 5000) {
        QThread::usleep(200);
    }
    const qint64 ns = g_firstSound.load();
    return ns < 0 ? -1.0 : double(ns) / 1e6;
}

void report(const char* what, std::vector<double> ms)
{
    ms.erase(std::remove(ms.begin(), ms.end(), -1.0), ms.end());
    if (ms.empty()) {
        std::printf("%s: no sound reached the device\n", what);
        printFigure(what, "ms", -1, "", 0, "< 50 MISSED");
        return;
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    const double worst = ms.back();
    const bool met = worst < 50.0;
    std::printf("%s: median %.1f ms, best %.1f ms, worst %.1f ms over %zu runs (aim: under 50 ms)%s\n", what, median,
                ms.front(), worst, ms.size(), met ? "" : "  MISSED");
    printFigure(what, "ms (worst)", worst, "", 0, met ? "< 50" : "< 50 MISSED");
}

} // namespace

int main(int argc, char* argv[])
{
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int at = args.indexOf(QStringLiteral("--runs"));
    const int runs = at >= 0 && at + 1 < args.size() ? qMax(1, args.at(at + 1).toInt()) : 20;

    // A short idle moment, so the runs need not wait the station's seconds for the output to close.
    SoundDevice sound(std::chrono::milliseconds(20));
    if (!sound.open()) {
        std::printf("bench_reopen: no sound output opens: %s\n", qPrintable(sound.failure()));
        return 1;
    }
    const unsigned char silence = sound.format() == AUDIO_U8 || sound.format() == AUDIO_U16SYS ? 0x80 : 0;
    sound.setOutputObserver([silence](const unsigned char* stream, int bytes) { watch(stream, bytes, silence); });
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    loadavg.open(QIODevice::ReadOnly);
    std::printf("bench_reopen: driver %s, %d runs, load %s\n", SDL_GetCurrentAudioDriver(), runs,
                loadavg.readAll().trimmed().constData());

    std::vector<double> chime;
    {
        ResourceChime player(&sound);
        for (int i = 0; i < runs; ++i) {
            chime.push_back(firstSoundMs(sound, [&] { player.play(); }));
        }
    }
    report("first sample of the chime, output closed before", chime);

    std::vector<double> speech;
    {
        EspeakVoiceEngine voice(&sound);
        if (voice.voices().isEmpty()) {
            std::printf("no espeak-ng voice: the speech figure is left out\n");
        } else {
            for (int i = 0; i < runs; ++i) {
                speech.push_back(
                    firstSoundMs(sound, [&] { voice.speak(QStringLiteral("生日快乐"), VoiceEngine::Async); }));
            }
            report("first sample of speech, output closed before", speech);
        }
    }
    return 0;
}
