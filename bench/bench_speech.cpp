// Speech figures: our time to finished PCM for a 200-character Chinese announcement beside the
// espeak-ng command line writing the same text to a WAV file with the same voice, and the time from
// speak() to the first sample handed to the sound device.
#include "common/sounddevice.h"
#include "figure.h"
#include "speech/espeakvoiceengine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {

QString announcement()
{
    const QString sentence = QStringLiteral(
        "今天是星辰科技有限公司员工张伟、李娜、王芳的生日，在这里我们祝他们生日快乐，感谢你们辛勤付出，"
        "公司将为你准备神秘小礼物一件，请赶快来领取吧！下个月过生日的员工有刘洋、陈静、杨磊，祝大家工作顺利。");
    QString text;
    while (text.size() < 200) {
        text += sentence;
    }
    return text.left(200);
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER")) {
        qputenv("SDL_AUDIODRIVER", "dummy");
    }
    QCoreApplication app(argc, argv);
    const QString text = announcement();
    const int runs = 5;

    QElapsedTimer construction;
    construction.start();
    EspeakVoiceEngine engine;
    std::printf("engine start (listing and checking the voices) %.1f ms\n", construction.nsecsElapsed() / 1e6);
    if (!engine.isAvailable() || engine.voices().isEmpty()) {
        std::printf("espeak-ng is not available: %s\n", qPrintable(engine.failure()));
        return 1;
    }
    engine.setVoice(0);
    std::printf("text: %lld characters, voice \"%s\"\n", static_cast<long long>(text.size()),
                qPrintable(engine.voices().first()));

    QList<double> ours;
    double audioSeconds = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QByteArray pcm = engine.synthesize(text);
        ours.append(timer.nsecsElapsed() / 1e6);
        audioSeconds = pcm.size() / 2.0 / engine.sampleRate();
    }

    QList<double> cli;
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("bench.wav"));
    for (int i = 0; i < runs; ++i) {
        QProcess process;
        QElapsedTimer timer;
        timer.start();
        process.start(QStringLiteral("espeak-ng"),
                      { QStringLiteral("-v"), QStringLiteral("cmn-latn-pinyin"), QStringLiteral("-w"), wav, text });
        if (!process.waitForFinished(60000) || process.exitCode() != 0) {
            std::printf("espeak-ng command line failed: %s\n", qPrintable(process.errorString()));
            break;
        }
        cli.append(timer.nsecsElapsed() / 1e6);
    }

    std::printf("audio length                        %8.2f s\n", audioSeconds);
    std::printf("time to finished PCM (median of %d)  ours %8.1f ms   espeak-ng -w %8.1f ms   ratio %.2f\n", runs,
                median(ours), median(cli), median(cli) > 0 ? median(ours) / median(cli) : 0.0);
    printFigure("synthesis of a 200-character announcement", "ms", median(ours), cli.isEmpty() ? "" : "espeak-ng -w",
                median(cli), "<= 1.2x");

    QList<double> latency;
    for (int i = 0; i < runs; ++i) {
        engine.speak(text, VoiceEngine::Async | VoiceEngine::PurgeBeforeSpeak);
        // Wait (at most two seconds) for the first sample to reach the device, then stop.
        QElapsedTimer wait;
        wait.start();
        qint64 us = -1;
        while (wait.elapsed() < 2000) {
            QThread::msleep(5);
            us = engine.lastFirstSampleLatencyUs();
            if (us >= 0) {
                break;
            }
        }
        engine.speak(QString(), VoiceEngine::PurgeBeforeSpeak);
        latency.append(us / 1000.0);
    }
    std::printf("speak to first sample at the device  median %6.1f ms, worst %6.1f ms (%s driver, %d Hz)\n",
                median(latency), *std::max_element(latency.begin(), latency.end()),
                SoundDevice::instance().isSilentFallback() ? "silent fallback" : qgetenv("SDL_AUDIODRIVER").constData(),
                SoundDevice::instance().frequency());
    printFigure("speak to first sample at the device", "ms", median(latency));
    return 0;
}
