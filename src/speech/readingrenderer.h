#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>

class AtomicFile;
class PauseSymbols;
class SpokenForm;

// One reading of a text rendered to sound instead of played: the speaking thread itself reads the
// whole text as a scheduled broadcast does (range mode), on a clock of its own whose waits become
// silence and whose time advances with the sound, so the pieces, the pauses after symbols, the "※"
// waits and the date placeholder come out exactly as the station speaks them. The sound is handed on
// piece by piece as it is made, so a reading of any length takes little memory.
class ReadingRenderer final
{
public:
    // The voice's 16-bit signed mono PCM (native byte order) for a text; throws RuntimeError.
    using Synthesize = std::function<QByteArray(const QString& text)>;
    // Takes the sound in order as it is made: 16-bit signed mono PCM in native byte order.
    using Sink = std::function<void(const QByteArray& pcm)>;

    ReadingRenderer(Synthesize synthesize, int sampleRate);

    // Renders one reading of text starting at the moment start (the placeholder's date and time) into
    // sink and returns its length in samples; spokenForm (may be null) turns each piece into what the
    // voice is handed, as in the station. The clock of the process is replaced meanwhile; call it on
    // the main thread while nothing else runs. Throws RuntimeError when the voice fails, and whatever
    // the sink throws.
    qint64 render(const QString& text, const PauseSymbols& pauses, int datetimetype, const QDateTime& start,
                  const SpokenForm* spokenForm, const Sink& sink);
    // The same, the whole sound in memory (short texts).
    QByteArray render(const QString& text, const PauseSymbols& pauses, int datetimetype, const QDateTime& start,
                      const SpokenForm* spokenForm = nullptr);

    int sampleRate() const { return m_sampleRate; }
    double seconds(const QByteArray& pcm) const;

    // Writes a 16-bit mono WAV file in one piece: an existing file is replaced only when the whole new
    // one has been written. Throws RuntimeError naming the file and the reason.
    static void writeWav(const QString& path, const QByteArray& pcm, int sampleRate);
    // Throws RuntimeError when path cannot be a new file: its folder is missing or not a folder, or
    // the path is a folder.
    static void checkTarget(const QString& path);

private:
    Synthesize m_synthesize;
    int m_sampleRate;
};

// A 16-bit mono WAV file written as its samples come: the header's sizes are filled in at the end, and
// the file replaces an existing one only when commit() has written it whole (nothing changes without).
class WavFileWriter final
{
public:
    // Throws RuntimeError naming the file and the reason.
    WavFileWriter(const QString& path, int sampleRate);
    ~WavFileWriter();
    Q_DISABLE_COPY_MOVE(WavFileWriter)

    // 16-bit signed samples in native byte order. Throws RuntimeError.
    void append(const QByteArray& pcm);
    // Throws RuntimeError.
    void commit();
    qint64 samples() const { return m_dataBytes / 2; }

private:
    QString m_path;
    std::unique_ptr<AtomicFile> m_file;
    int m_sampleRate = 0;
    qint64 m_dataBytes = 0;
};
