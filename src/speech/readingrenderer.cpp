#include "readingrenderer.h"

#include "ansiindex.h"
#include "common/atomicfile.h"
#include "common/clock.h"
#include "common/readingstate.h"
#include "common/runtimeerror.h"
#include "readingqueue.h"
#include "textreadingeditor.h"
#include "tts.h"
#include "voiceengine.h"

#include <QFileInfo>
#include <QMutex>
#include <QtEndian>

#include <optional>
#include <utility>

namespace {

// The sound of the reading as it grows, handed on as it comes; its length is the time that has passed.
// A sink that fails ends the reading; the failure is kept for the caller.
class Track
{
public:
    Track(int sampleRate, const QDateTime& start, const ReadingRenderer::Sink& sink, ReadingState& state)
        : m_sampleRate(sampleRate)
        , m_start(start)
        , m_sink(sink)
        , m_state(state)
    {
    }

    void append(const QByteArray& pcm)
    {
        QMutexLocker lock(&m_mutex);
        const qsizetype bytes = pcm.size() & ~qsizetype(1);
        hand(bytes == pcm.size() ? pcm : pcm.left(bytes));
    }
    void appendSilence(int ms)
    {
        if (ms <= 0) {
            return;
        }
        QMutexLocker lock(&m_mutex);
        // A long wait is handed on a second at a time, never as one block of its whole length.
        qint64 left = qint64(ms) * m_sampleRate / 1000;
        const QByteArray second(qsizetype(m_sampleRate) * 2, '\0');
        while (left > 0 && !m_failure) {
            const qint64 samples = qMin(left, qint64(m_sampleRate));
            hand(samples == m_sampleRate ? second : QByteArray(qsizetype(samples) * 2, '\0'));
            left -= samples;
        }
    }
    QDateTime now() const { return m_start.addMSecs(elapsedMs()); }
    qint64 elapsedMs() const
    {
        QMutexLocker lock(&m_mutex);
        return m_samples * 1000 / m_sampleRate;
    }
    qint64 samples() const
    {
        QMutexLocker lock(&m_mutex);
        return m_samples;
    }
    std::optional<QString> failure() const
    {
        QMutexLocker lock(&m_mutex);
        return m_failure;
    }

private:
    // Needs the lock.
    void hand(const QByteArray& pcm)
    {
        if (m_failure || pcm.isEmpty()) {
            return;
        }
        try {
            m_sink(pcm);
            m_samples += pcm.size() / 2;
        } catch (const RuntimeError& error) {
            m_failure = error.message();
            m_state.stopflag = true; // the reading ends after this piece
        }
    }

    mutable QMutex m_mutex;
    int m_sampleRate;
    QDateTime m_start;
    const ReadingRenderer::Sink& m_sink;
    ReadingState& m_state;
    qint64 m_samples = 0;
    std::optional<QString> m_failure;
};

// Time is the length of the track; every wait is silence.
class TrackClock final : public Clock
{
public:
    explicit TrackClock(Track& track)
        : m_track(track)
    {
    }
    QDateTime now() const override { return m_track.now(); }
    qint64 elapsedMs() const override { return m_track.elapsedMs(); }
    void wait(int ms) override { m_track.appendSilence(ms); }
    void sleep(int ms) override { m_track.appendSilence(ms); }

private:
    Track& m_track;
};

// Speaking appends the voice's sound; the first failure is kept for the caller.
class TrackVoice final : public VoiceEngine
{
public:
    TrackVoice(Track& track, ReadingRenderer::Synthesize synthesize)
        : m_track(track)
        , m_synthesize(std::move(synthesize))
    {
    }
    QStringList voices() override { return {}; }
    void setVoice(int) override { }
    int rate() override { return 0; }
    void setRate(int) override { }
    int volume() override { return 100; }
    void setVolume(int) override { }
    void close() override { }
    void speak(const QString& text, int) override
    {
        if (const auto failure = m_track.failure()) {
            throw RuntimeError(*failure);
        }
        try {
            m_track.append(m_synthesize(text));
        } catch (const RuntimeError& error) {
            if (!m_failure) {
                m_failure = error.message();
            }
            throw;
        }
    }
    std::optional<QString> failure() const { return m_failure; }

private:
    Track& m_track;
    ReadingRenderer::Synthesize m_synthesize;
    std::optional<QString> m_failure;
};

} // namespace

ReadingRenderer::ReadingRenderer(Synthesize synthesize, int sampleRate)
    : m_synthesize(std::move(synthesize))
    , m_sampleRate(sampleRate > 0 ? sampleRate : 22050)
{
}

qint64 ReadingRenderer::render(const QString& text, const PauseSymbols& pauses, int datetimetype,
                               const QDateTime& start, const SpokenForm* spokenForm, const Sink& sink)
{
    ReadingState state;
    state.readmode = 1;
    state.standalone = false;
    Track track(m_sampleRate, start, sink, state);
    TrackClock clock(track);
    TrackVoice voice(track, m_synthesize);
    // The whole text, selected as the whole-text loop selects it; nothing is shown.
    TextReadingEditor editor(text);
    editor.setSelection(0, AnsiIndex(text).length());

    ReadingQueue queue;
    {
        Tts tts({ editor, &voice, state, pauses, clock, queue, [datetimetype] { return datetimetype; }, spokenForm });
        tts.start();
        tts.wait();
    }
    if (const auto failure = track.failure()) {
        throw RuntimeError(*failure);
    }
    if (voice.failure()) {
        throw RuntimeError(*voice.failure());
    }
    return track.samples();
}

QByteArray ReadingRenderer::render(const QString& text, const PauseSymbols& pauses, int datetimetype,
                                   const QDateTime& start, const SpokenForm* spokenForm)
{
    QByteArray pcm;
    render(text, pauses, datetimetype, start, spokenForm, [&pcm](const QByteArray& piece) { pcm.append(piece); });
    return pcm;
}

double ReadingRenderer::seconds(const QByteArray& pcm) const
{
    return double(pcm.size() / 2) / m_sampleRate;
}

void ReadingRenderer::checkTarget(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    const QFileInfo folderInfo(folder);
    if (!folderInfo.exists()) {
        throw RuntimeError(QStringLiteral("cannot write %1: the folder %2 does not exist").arg(path, folder));
    }
    if (!folderInfo.isDir()) {
        throw RuntimeError(QStringLiteral("cannot write %1: %2 is not a folder").arg(path, folder));
    }
    if (!folderInfo.isWritable()) {
        throw RuntimeError(QStringLiteral("cannot write %1: the folder %2 is read-only").arg(path, folder));
    }
    if (QFileInfo(path).isDir()) {
        throw RuntimeError(QStringLiteral("cannot write %1: it is a folder").arg(path));
    }
}

namespace {

constexpr qsizetype WavHeaderBytes = 44;
// The header's sizes are 32 bits wide.
constexpr qint64 WavMostDataBytes = qint64(0xFFFFFFFFu) - (WavHeaderBytes - 8);

QByteArray wavHeader(quint32 dataBytes, int sampleRate)
{
    QByteArray header;
    auto put32 = [&header](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        header.append(b, 4);
    };
    auto put16 = [&header](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        header.append(b, 2);
    };
    header.append("RIFF");
    put32(36 + dataBytes);
    header.append("WAVEfmt ");
    put32(16);
    put16(1); // PCM
    put16(1); // mono
    put32(quint32(sampleRate));
    put32(quint32(sampleRate) * 2);
    put16(2);
    put16(16);
    header.append("data");
    put32(dataBytes);
    return header;
}

} // namespace

WavFileWriter::WavFileWriter(const QString& path, int sampleRate)
    : m_path(path)
    , m_sampleRate(sampleRate)
{
    ReadingRenderer::checkTarget(path);
    try {
        m_file = std::make_unique<AtomicFile>(path);
        // The sizes are not known yet: the header is written again at the end.
        m_file->write(wavHeader(0, sampleRate));
    } catch (const FileWriteError& error) {
        throw RuntimeError(QStringLiteral("cannot write %1: %2").arg(path, error.reason()));
    }
}

WavFileWriter::~WavFileWriter() = default;

void WavFileWriter::append(const QByteArray& pcm)
{
    if (m_dataBytes + pcm.size() > WavMostDataBytes) {
        throw RuntimeError(QStringLiteral("cannot write %1: the reading is too long for a WAV file").arg(m_path));
    }
    try {
        if constexpr (QSysInfo::ByteOrder == QSysInfo::BigEndian) {
            QByteArray samples = pcm;
            for (qsizetype i = 0; i + 1 < samples.size(); i += 2) {
                std::swap(samples[i], samples[i + 1]);
            }
            m_file->write(samples);
        } else {
            m_file->write(pcm);
        }
    } catch (const FileWriteError& error) {
        throw RuntimeError(QStringLiteral("cannot write %1: %2").arg(m_path, error.reason()));
    }
    m_dataBytes += pcm.size();
}

void WavFileWriter::commit()
{
    try {
        m_file->writeAt(0, wavHeader(quint32(m_dataBytes), m_sampleRate));
        m_file->commit();
    } catch (const FileWriteError& error) {
        throw RuntimeError(QStringLiteral("cannot write %1: %2").arg(m_path, error.reason()));
    }
}

void ReadingRenderer::writeWav(const QString& path, const QByteArray& pcm, int sampleRate)
{
    WavFileWriter writer(path, sampleRate);
    writer.append(pcm);
    writer.commit();
}
