#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>

class PauseSymbols;
class SpokenForm;

// One reading of a text rendered to sound instead of played: the speaking thread itself reads the
// whole text as a scheduled broadcast does (range mode), on a clock of its own whose waits become
// silence and whose time advances with the sound, so the pieces, the pauses after symbols, the "※"
// waits and the date placeholder come out exactly as the station speaks them.
class ReadingRenderer final
{
public:
    // The voice's 16-bit signed mono PCM (native byte order) for a text; throws RuntimeError.
    using Synthesize = std::function<QByteArray(const QString& text)>;

    ReadingRenderer(Synthesize synthesize, int sampleRate);

    // Renders one reading of text starting at the moment start (the placeholder's date and time);
    // spokenForm (may be null) turns each piece into what the voice is handed, as in the station.
    // The clock of the process is replaced meanwhile; call it on the main thread while nothing else
    // runs. Throws RuntimeError when the voice fails.
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
