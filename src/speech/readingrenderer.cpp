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

namespace {

// The sound of the reading as it grows; its length is the time that has passed.
class Track
{
public:
    Track(int sampleRate, const QDateTime& start)
        : m_sampleRate(sampleRate)
        , m_start(start)
    {
    }

    void append(const QByteArray& pcm)
    {
        QMutexLocker lock(&m_mutex);
        m_pcm.append(pcm.constData(), pcm.size() & ~qsizetype(1));
    }
    void appendSilence(int ms)
    {
        if (ms <= 0) {
            return;
        }
        QMutexLocker lock(&m_mutex);
        m_pcm.append(QByteArray(qsizetype(qint64(ms) * m_sampleRate / 1000) * 2, '\0'));
    }
    QDateTime now() const { return m_start.addMSecs(elapsedMs()); }
    qint64 elapsedMs() const
    {
        QMutexLocker lock(&m_mutex);
        return qint64(m_pcm.size() / 2) * 1000 / m_sampleRate;
    }
    QByteArray pcm() const
    {
        QMutexLocker lock(&m_mutex);
        return m_pcm;
    }

private:
    mutable QMutex m_mutex;
    int m_sampleRate;
    QDateTime m_start;
    QByteArray m_pcm;
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

QByteArray ReadingRenderer::render(const QString& text, const PauseSymbols& pauses, int datetimetype,
                                   const QDateTime& start, const SpokenForm* spokenForm)
{
    Track track(m_sampleRate, start);
    TrackClock clock(track);
    TrackVoice voice(track, m_synthesize);
    // The whole text, selected as the whole-text loop selects it; nothing is shown.
    TextReadingEditor editor(text);
    editor.setSelection(0, AnsiIndex(text).length());

    ReadingState state;
    state.readmode = 1;
    state.standalone = false;
    ReadingQueue queue;
    {
        Tts tts({ editor, &voice, state, pauses, clock, queue, [datetimetype] { return datetimetype; }, spokenForm });
        tts.start();
        tts.wait();
    }
    if (voice.failure()) {
        throw RuntimeError(*voice.failure());
    }
    return track.pcm();
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

void ReadingRenderer::writeWav(const QString& path, const QByteArray& pcm, int sampleRate)
{
    checkTarget(path);
    const quint32 dataBytes = quint32(pcm.size());
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

    QByteArray samples = pcm;
    if constexpr (QSysInfo::ByteOrder == QSysInfo::BigEndian) {
        for (qsizetype i = 0; i + 1 < samples.size(); i += 2) {
            std::swap(samples[i], samples[i + 1]);
        }
    }
    try {
        AtomicFile file(path);
        file.write(header);
        file.write(samples);
        file.commit();
    } catch (const FileWriteError& error) {
        throw RuntimeError(QStringLiteral("cannot write %1: %2").arg(path, error.reason()));
    }
}
