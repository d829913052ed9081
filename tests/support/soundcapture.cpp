#include "soundcapture.h"

#include "testfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTest>

#include <algorithm>

namespace SoundCapture {

namespace {

    // Amplitude of the component at frequency f (a whole number of cycles in the window).
    double goertzel(const std::vector<double>& x, double f)
    {
        const double n = double(x.size());
        const double coeff = 2.0 * std::cos(2.0 * M_PI * f / SampleRate);
        double s1 = 0;
        double s2 = 0;
        for (double v : x) {
            const double s = v + coeff * s1 - s2;
            s2 = s1;
            s1 = s;
        }
        const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
        return 2.0 * std::sqrt(std::max(0.0, power)) / n;
    }

    // A second-order low-pass section (the audio cookbook's), run twice for a fourth-order filter.
    class LowPass
    {
    public:
        explicit LowPass(double cutoff)
        {
            const double w0 = 2.0 * M_PI * cutoff / SampleRate;
            const double alpha = std::sin(w0) / (2.0 * M_SQRT1_2);
            const double a0 = 1.0 + alpha;
            m_b0 = (1.0 - std::cos(w0)) / 2.0 / a0;
            m_b1 = (1.0 - std::cos(w0)) / a0;
            m_b2 = m_b0;
            m_a1 = -2.0 * std::cos(w0) / a0;
            m_a2 = (1.0 - alpha) / a0;
        }
        double operator()(double x)
        {
            const double y = m_b0 * x + m_b1 * m_x1 + m_b2 * m_x2 - m_a1 * m_y1 - m_a2 * m_y2;
            m_x2 = m_x1;
            m_x1 = x;
            m_y2 = m_y1;
            m_y1 = y;
            return y;
        }

    private:
        double m_b0, m_b1, m_b2, m_a1, m_a2;
        double m_x1 = 0, m_x2 = 0, m_y1 = 0, m_y2 = 0;
    };

} // namespace

std::vector<Window> analyse(const QByteArray& pcm)
{
    std::vector<Window> windows;
    const qint64 frames = pcm.size() / FrameBytes;
    const auto* samples = reinterpret_cast<const qint16*>(pcm.constData());
    std::vector<double> mono(WindowFrames);
    // Speech is what sounds below 5 kHz: far under the tones, so a track that starts, stops or
    // changes its level between two windows does not pass for a voice.
    LowPass stage1(5000.0);
    LowPass stage2(5000.0);
    for (qint64 first = 0; first + WindowFrames <= frames; first += WindowFrames) {
        double square = 0;
        double speechSquare = 0;
        for (int i = 0; i < WindowFrames; ++i) {
            const qint64 f = first + i;
            mono[i] = (double(samples[2 * f]) + double(samples[2 * f + 1])) / (2.0 * 32768.0);
            square += mono[i] * mono[i];
            const double low = stage2(stage1(mono[i]));
            speechSquare += low * low;
        }
        Window w;
        w.t = double(first) / SampleRate;
        w.rms = std::sqrt(square / WindowFrames);
        w.speech = std::sqrt(speechSquare / WindowFrames);
        w.a = goertzel(mono, TrackA) / ToneAmplitude;
        w.b = goertzel(mono, TrackB) / ToneAmplitude;
        w.song = goertzel(mono, SongTone) / ToneAmplitude;
        windows.push_back(w);
    }
    return windows;
}

QList<Segment> speechSegments(const std::vector<Window>& windows)
{
    QList<Segment> runs;
    bool inRun = false;
    for (const Window& w : windows) {
        const bool speaking = w.speech >= SpeechRms;
        if (speaking && inRun) {
            runs.last().end = w.t + WindowSeconds;
        } else if (speaking) {
            runs.append({ w.t, w.t + WindowSeconds });
        }
        inRun = speaking;
    }
    runs.removeIf([](const Segment& s) { return s.end - s.start < 0.15; });
    QList<Segment> segments;
    for (const Segment& run : runs) {
        if (!segments.isEmpty() && run.start - segments.last().end < 1.5) {
            segments.last().end = run.end;
        } else {
            segments.append(run);
        }
    }
    return segments;
}

double median(std::vector<double> values)
{
    if (values.empty()) {
        return std::nan("");
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QString describe(const std::vector<Window>& windows)
{
    auto label = [](const Window& w) {
        QStringList parts;
        const auto level = [](double v) { return QString::number(std::round(v * 20) / 20, 'f', 2); };
        if (w.a >= TonePresent) {
            parts << QStringLiteral("trackA@") + level(w.a);
        }
        if (w.b >= TonePresent) {
            parts << QStringLiteral("trackB@") + level(w.b);
        }
        if (w.song >= TonePresent) {
            parts << QStringLiteral("song@") + level(w.song);
        }
        if (w.speech >= SpeechRms) {
            parts << QStringLiteral("speech");
        }
        if (parts.isEmpty()) {
            parts << (w.rms < SilenceRms ? QStringLiteral("silence") : QStringLiteral("quiet noise"));
        }
        return parts.join(QLatin1Char(' '));
    };
    QString text;
    qsizetype i = 0;
    const auto count = qsizetype(windows.size());
    while (i < count) {
        const QString current = label(windows[i]);
        qsizetype j = i + 1;
        while (j < count && label(windows[j]) == current) {
            ++j;
        }
        text += QStringLiteral("  %1 - %2 s  %3\n")
                    .arg(windows[i].t, 6, 'f', 1)
                    .arg(windows[j - 1].t + WindowSeconds, 6, 'f', 1)
                    .arg(current);
        i = j;
    }
    return text;
}

QByteArray wavOfTone(double frequency, double seconds)
{
    const int frames = int(seconds * SampleRate);
    QByteArray data(frames * FrameBytes, Qt::Uninitialized);
    auto* out = reinterpret_cast<qint16*>(data.data());
    for (int i = 0; i < frames; ++i) {
        const auto v = qint16(std::lround(ToneAmplitude * 32767.0 * std::sin(2.0 * M_PI * frequency * i / SampleRate)));
        out[2 * i] = v;
        out[2 * i + 1] = v;
    }
    QByteArray wav;
    auto put32 = [&wav](quint32 v) { wav.append(reinterpret_cast<const char*>(&v), 4); };
    auto put16 = [&wav](quint16 v) { wav.append(reinterpret_cast<const char*>(&v), 2); };
    wav.append("RIFF");
    put32(quint32(36 + data.size()));
    wav.append("WAVEfmt ");
    put32(16);
    put16(1);
    put16(2);
    put32(SampleRate);
    put32(SampleRate * FrameBytes);
    put16(FrameBytes);
    put16(16);
    wav.append("data");
    put32(quint32(data.size()));
    return wav + data;
}

QString findMp3Encoder()
{
    const QString lame = QStandardPaths::findExecutable(QStringLiteral("lame"));
    return lame.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("ffmpeg")) : lame;
}

void encodeMp3(const QString& encoder, const TestFolder& folder, const QString& name, double frequency, double seconds)
{
    const QString wav = folder.file(QStringLiteral("tone.wav"));
    folder.write(QStringLiteral("tone.wav"), wavOfTone(frequency, seconds));
    const QString mp3 = folder.file(name);
    QDir().mkpath(QFileInfo(mp3).absolutePath());
    QProcess process;
    if (encoder.endsWith(QStringLiteral("lame"))) {
        process.start(encoder, { QStringLiteral("--quiet"), QStringLiteral("-b"), QStringLiteral("192"), wav, mp3 });
    } else {
        process.start(encoder,
                      { QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
                        QStringLiteral("-i"), wav, QStringLiteral("-b:a"), QStringLiteral("192k"), mp3 });
    }
    QVERIFY2(process.waitForFinished(30000), qPrintable(encoder + QStringLiteral(" did not finish")));
    QVERIFY2(
        process.exitCode() == 0 && QFileInfo(mp3).size() > 0,
        qPrintable(encoder + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError())));
    QFile::remove(wav);
}

} // namespace SoundCapture
