#pragma once

#include "readingqueue.h"

#include <QObject>

#include <atomic>
#include <list>
#include <memory>

class Clock;
class Dialogs;
class PauseSymbols;
class QTimer;
class ReadingEditor;
class ReadingState;
class SpokenForm;
class Tts;
class VoiceEngine;
struct Services;

// What the reading rules need of the window that shows the reading.
class ReadingView
{
public:
    virtual ~ReadingView();

    // The editor Memo1 with its hidden copy Memo2 and the voice list, as the readings read it; its
    // calls are served on the main thread, also when the speaking thread makes them.
    virtual ReadingEditor& editor() = 0;
    // The caret to the start of the text, which the view then shows.
    virtual void caretToStart() = 0;
    // SpinEdit1 ("播报次数：") and SpinEdit2 ("间隔秒数：").
    virtual int readtimesField() const = 0;
    virtual int intervaltimeField() const = 0;
    // btn_enable / btn_disable: the controls a running reading locks (sb_delay, SpinEdit1, SpinEdit2).
    virtual void setReadingControlsEnabled(bool enabled) = 0;
    // applyvoice: the voice list's choice becomes the engine's voice. Throws what the engine throws.
    virtual void applyvoice() = 0;
    // The program ends: the editor serves the speaking thread no more, and its waiting calls fail.
    virtual void stopServing() = 0;
};

// The reading of the editor text: play from the start, stop, and the repeated reading of the whole text
// (readtimes readings, intervaltime seconds apart, measured on the clock's elapsed time, driven by the
// one-second repetition tick `readcycled`). Owns the queue of readings and their speaking threads, and
// writes the reading state that music and the scheduler read. Its end (shutdown()) ends any reading at
// once: the voice closes, so no further piece starts, and the wait for the threads is bounded.
class ReadingController final : public QObject
{
    Q_OBJECT
public:
    // services.voice may be null (no engine): every reading command then warns as without a voice.
    // spokenForm (may be null) turns each piece into what the voice is handed.
    ReadingController(ReadingView& view, const Services& services, ReadingState& state, PauseSymbols& pauses,
                      const SpokenForm* spokenForm = nullptr, QObject* parent = nullptr);
    ~ReadingController() override;

    // play (SB_play): once from the start of the text, in caret mode.
    void play();
    // stop (SB_stop): ends the repetition; a thread reading ends after its current piece.
    void stop();
    // The same stop, for the schedule: the voice's queue is never emptied, so a time announcement
    // waiting there is still said.
    void endReadings();
    // The whole-text loop (SB_repeat1): starts the repeated reading; false when it did not start (blank
    // text, no voice: the warning).
    bool startRepetition();
    // The repetition tick, every second while the repetition runs.
    void readcycledTimer();
    void gundong1();
    void readtxt();
    void btn_disable();
    void btn_enable();

    // The repetition timer is on: a repeated reading is still running.
    bool repetitionActive() const;
    bool isreading() const;
    QTimer* readcycled() const { return m_readcycled; }
    int readcount() const { return m_readcount; }
    int readtimes() const { return m_readtimes; }
    int intervaltime() const { return m_intervaltime; }

    // The "%Date%" format (setting Speaker/Datetimetype); the thread reads it for each piece.
    void setDatetimetype(int datetimetype) { m_datetimetype = datetimetype; }
    int datetimetype() const { return m_datetimetype.load(); }

    // Ends any reading at once and waits for its thread, at most ShutdownWaitMs (the program's end).
    // The voice engine is closed. Idempotent.
    void shutdown();
    static constexpr int ShutdownWaitMs = 2000;
    // Readings started by these commands whose threads have not yet ended.
    int runningThreads() const;

    // The text counts as blank for the reading commands: nothing but spaces and control characters.
    static bool isBlank(const QString& text);
    // The first status-bar panel for a caret on a zero-based line and column (bytes).
    static QString caretPositionText(int line, int column);

signals:
    // The whole-text loop started a repetition.
    void repetitionStarted();
    // A reading's thread has been started (by play or by the repetition).
    void readingStarted();
    // A reading's thread has ended (after its end steps).
    void readingEnded();
    // The repetition timer went off: the last reading has ended, or a stop came.
    void repetitionEnded();

private:
    bool voiceChosen();
    void startThread();
    void threadEnded(Tts* thread);
    void stopRepetitionTimer();

    ReadingView& m_view;
    VoiceEngine* m_voice;
    Clock& m_clock;
    Dialogs& m_dialogs;
    ReadingState& m_state;
    PauseSymbols& m_pauses;
    const SpokenForm* m_spokenForm;
    // Held apart so that a thread that outlives its bounded wait never meets a freed queue.
    ReadingQueue* m_queue;
    std::list<std::unique_ptr<Tts>> m_threads;
    QTimer* m_readcycled;
    std::atomic<int> m_datetimetype { 1 };
    int m_readtimes = 0;
    int m_intervaltime = 0;
    int m_readcount = 0;
    int m_rangestart = 0;
    int m_rangelength = 0;
    bool m_shutdown = false;
};
