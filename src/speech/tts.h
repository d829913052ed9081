#pragma once

#include <QDeadlineTimer>
#include <QThread>

#include <atomic>
#include <functional>

class Clock;
class PauseSymbols;
class ReadingEditor;
class ReadingQueue;
class ReadingState;
class SpokenForm;
class VoiceEngine;

// What a reading works with; every object outlives the readings that use it.
struct ReadingContext
{
    ReadingEditor& editor;
    VoiceEngine* voice; // null: nothing is spoken
    ReadingState& state;
    const PauseSymbols& pauses;
    Clock& clock;
    ReadingQueue& queue;
    std::function<int()> datetimetype; // asked for each piece that holds "%Date%"
    const SpokenForm* spokenForm = nullptr; // null: the pieces go to the voice as written
};

// The speaking thread: one reading of the editor text, piece by piece, cut after the pause symbols,
// highlighted and scrolled in the editor, spoken synchronously. One object per reading; it joins the
// reading queue and counts as a reading in progress from its construction (on the starting thread)
// until its end steps, and waits for its turn before it reads.
class Tts final : public QThread
{
    Q_OBJECT
public:
    explicit Tts(const ReadingContext& context, QObject* parent = nullptr);
    ~Tts() override;

    // Ends the reading as soon as possible: waits return at once, editor calls fail. For the end of
    // the program; stopflag is the user's stop (after the current piece and its pause).
    void abort();
    // Waits until the thread has finished, at most until the deadline; true when it has. Everything the
    // thread did is then seen by the caller.
    bool waitForEnd(QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever));

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

    ReadingContext m_context;
    quint64 m_ticket = 0;
    std::atomic<bool> m_abort { false };
    // Set last by the thread's body (release) and read after the thread has finished (acquire): the
    // hand-over that the thread's end makes, stated in the language's own terms.
    std::atomic<bool> m_ended { false };
    std::atomic<bool> m_bodyDone { false };
};
