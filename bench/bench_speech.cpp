// Speech figures: the time the normaliser and the lexicon add to a 200-character Chinese announcement,
// our time to finished PCM for its normalised text beside the espeak-ng command line writing the same
// text to a WAV file with the same voice, and the time from speak() to the first sample handed to the
// sound device.
#include "common/clock.h"
#include "common/sounddevice.h"
#include "data/speechtables.h"
#include "figure.h"
#include "speech/espeakvoiceengine.h"
#include "speech/pausesymbols.h"
#include "speech/spokenform.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {

// An announcement with what the normaliser and the lexicon work on: a date, times, amounts, a
// percentage, a range, polyphonic surnames, misread words and the tone changes of 一 and 不.
QString announcement()
{
    const QString sentence = QStringLiteral(
        "今天是2026-12-09，星辰科技有限公司员工曾国藩、单雄信、解晓东的生日，在这里我们祝他们30岁生日快乐，"
        "一切顺利！公司将在10:30为你准备2个蛋糕和100%的祝福，请到3-5楼领取，不要错过。下个月过生日的员工有"
        "仇思、刘洋、陈静，祝大家在银行工作顺利，健康长大。");
    QString text;
    while (text.size() < 200) {
        text += sentence;
    }
    return text.left(200);
}

// The shipped pause symbols, as the station cuts a reading.
PauseTable shippedPauses()
{
    return PauseTable::fromRows({ { QStringLiteral("。？！"), 800, true },
                                  { QStringLiteral("，、；：…"), 350, true },
                                  { QStringLiteral(".?!,;:"), 500, true } });
}

// A roster of the given size with the announcement's people in it.
QList<NameReading> roster(int size)
{
    QList<NameReading> names = { { QStringLiteral("曾国藩"), QString() },
                                 { QStringLiteral("单雄信"), QStringLiteral("shan4 xiong2 xin4") },
                                 { QStringLiteral("解晓东"), QString() },
                                 { QStringLiteral("仇思"), QString() } };
    const QString surnames = QStringLiteral("王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗");
    const QString given = QStringLiteral("伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀霞平刚桂英华");
    for (int i = 0; names.size() < size; ++i) {
        const qsizetype s = surnames.size();
        const qsizetype g = given.size();
        names.append({ QString(surnames.at(i % s)) + given.at((i / s) % g) + given.at((i / (s * g)) % g), QString() });
    }
    return names;
}

QString aim(double value, double limit, const char* text)
{
    return QString::fromLatin1(text) + (value <= limit ? QString() : QStringLiteral(" MISSED"));
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
    SoundDevice sound;
    EspeakVoiceEngine engine(&sound);
    std::printf("engine start (listing and checking the voices) %.1f ms\n", construction.nsecsElapsed() / 1e6);
    if (!engine.isAvailable() || engine.voices().isEmpty()) {
        std::printf("espeak-ng is not available: %s\n", qPrintable(engine.failure()));
        return 1;
    }
    engine.setVoice(0);
    std::printf("text: %lld characters, voice \"%s\"\n", static_cast<long long>(text.size()),
                qPrintable(engine.voices().first()));

    // The normaliser and the lexicon on each piece of one reading, as the speaking thread hands them
    // on: a fresh form each time, so the voice is asked for the tones after 一 and 不 every time (the
    // station keeps its answers between readings).
    QElapsedTimer building;
    building.start();
    const auto lexicon = std::make_shared<const Lexicon>(SpeechTables::shippedLexicon(), roster(10000));
    std::printf("lexicon of %d words and %d names built in %.1f ms\n", lexicon->wordCount(), lexicon->nameCount(),
                building.nsecsElapsed() / 1e6);
    const PauseTable pauses = shippedPauses();
    QStringList pieces;
    for (QString rest = text; !rest.isEmpty();) {
        const Piece piece = cutPiece(rest, pauses);
        pieces.append(piece.text);
        rest = rest.mid(piece.text.size());
    }
    QString normalised;
    QList<double> forming;
    QList<double> kept;
    for (int i = 0; i < 50; ++i) {
        SpokenForm form(&engine);
        form.publish(lexicon);
        for (const bool fresh : { true, false }) {
            QString handed;
            QElapsedTimer timer;
            timer.start();
            for (const QString& piece : std::as_const(pieces)) {
                handed += form.spoken(piece);
            }
            (fresh ? forming : kept).append(timer.nsecsElapsed() / 1e6);
            normalised = handed;
        }
    }
    std::printf("handed to the voice: %s\n", qPrintable(normalised));
    const double formed = median(forming);
    std::printf("normaliser and lexicon for %lld pieces  median %.3f ms (tones asked), %.3f ms (tones kept)   "
                "aim <= 1 ms%s\n",
                static_cast<long long>(pieces.size()), formed, median(kept), formed <= 1.0 ? "" : "   MISSED");
    printFigure("normaliser and lexicon, 200-character announcement", "ms", formed, "", 0.0,
                qPrintable(aim(formed, 1.0, "<= 1 ms")));

    QList<double> ours;
    double audioSeconds = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QByteArray pcm = engine.synthesize(normalised);
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
        process.start(
            QStringLiteral("espeak-ng"),
            { QStringLiteral("-v"), QStringLiteral("cmn-latn-pinyin"), QStringLiteral("-w"), wav, normalised });
        if (!process.waitForFinished(60000) || process.exitCode() != 0) {
            std::printf("espeak-ng command line failed: %s\n", qPrintable(process.errorString()));
            break;
        }
        cli.append(timer.nsecsElapsed() / 1e6);
    }

    std::printf("audio length                        %8.2f s\n", audioSeconds);
    const double ratio = median(cli) > 0 ? median(ours) / median(cli) : 0.0;
    std::printf("time to finished PCM (median of %d)  ours %8.1f ms   espeak-ng -w %8.1f ms   ratio %.2f   "
                "aim <= 1.2x%s\n",
                runs, median(ours), median(cli), ratio, ratio <= 1.2 ? "" : "   MISSED");
    printFigure("synthesis of a 200-character announcement", "ms", median(ours), cli.isEmpty() ? "" : "espeak-ng -w",
                median(cli), qPrintable(aim(ratio, 1.2, "<= 1.2x")));

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
                sound.isSilentFallback() ? "silent fallback" : qgetenv("SDL_AUDIODRIVER").constData(),
                sound.frequency());
    printFigure("speak to first sample at the device", "ms", median(latency));
    return 0;
}
