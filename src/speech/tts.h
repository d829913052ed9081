#pragma once

#include <QThread>

#include <atomic>
#include <functional>

class ReadingEditor;
class VoiceEngine;
class PauseSymbols;
class SpokenForm;
struct ReadingState;

// The speaking thread: one reading of the editor text, piece by piece, cut after the pause symbols,
// highlighted and scrolled in the editor, spoken synchronously. One object per reading; readings
// started while another runs wait for it on a process-wide lock.
class Tts final : public QThread
{
    Q_OBJECT
public:
    // datetimetype is asked for each piece that holds "%Date%". spokenForm (may be null: the pieces go
    // to the voice as written) turns each piece into what the voice is handed. All referenced objects
    // outlive the thread's run.
    Tts(ReadingEditor& editor, VoiceEngine* voice, ReadingState& state, const PauseSymbols& pauses,
        std::function<int()> datetimetype, const SpokenForm* spokenForm = nullptr, QObject* parent = nullptr);
    ~Tts() override;

    // Ends the reading as soon as possible: waits return at once, editor calls fail. For the end of
    // the program; stopflag is the user's stop (after the current piece and its pause).
    void abort();

    // Readings started and not yet ended in this process (running or waiting for the lock).
    static int pendingReadings();

protected:
    void run() override;

private:
    void rangeLoop();
    void caretLoop();
    void speakpiece(const QString& piece, int piecedelay);
    // Waits ms on the Clock without serving any events, returning early on abort().
    void pause(int ms);
    bool stopRequested() const;
    void endSteps();

    ReadingEditor& m_editor;
    VoiceEngine* m_voice;
    ReadingState& m_state;
    const PauseSymbols& m_pauses;
    std::function<int()> m_datetimetype;
    const SpokenForm* m_spokenForm;
    std::atomic<bool> m_abort { false };
    bool m_counted = false;
};
