#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <list>
#include <memory>

class MemoReadingEditor;
class PauseSymbols;
class QAbstractButton;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QSpinBox;
class QTimer;
class SpokenForm;
class Tts;
class VoiceEngine;
struct ReadingState;

// The main window's controls that the reading commands use.
struct ReadingWidgets
{
    QPlainTextEdit* Memo1 = nullptr;
    QPlainTextEdit* Memo2 = nullptr; // hidden copy of Memo1's text
    QComboBox* flatComboBox1 = nullptr; // the voice list
    QAbstractButton* SB_play = nullptr;
    QAbstractButton* SB_stop = nullptr;
    QAbstractButton* SB_repeat1 = nullptr;
    QAbstractButton* sb_delay = nullptr;
    QSpinBox* SpinEdit1 = nullptr; // readtimes
    QSpinBox* SpinEdit2 = nullptr; // intervaltime, seconds
    QLabel* statusPanel0 = nullptr; // caret position
};

// Reading the editor aloud: play from the start, stop, the whole-text loop that the scheduler
// presses with its repetition timer, the controls locked meanwhile, and the caret position. Owns
// the speaking threads; its destruction ends a reading in progress and waits for it.
class ReadingCommands final : public QObject
{
    Q_OBJECT
public:
    // voice may be null (no engine): every reading command then warns as without a voice. applyvoice
    // assigns the voice list's choice to the engine; empty means the list's index as it stands.
    // spokenForm (may be null) turns each piece into what the voice is handed.
    ReadingCommands(VoiceEngine* voice, ReadingState& state, PauseSymbols& pauses, const ReadingWidgets& widgets,
                    std::function<void()> applyvoice, const SpokenForm* spokenForm = nullptr,
                    QObject* parent = nullptr);
    ~ReadingCommands() override;

    void ToolButton9Click(); // SB_play
    void SB_stopClick();
    void SB_repeat1Click();
    void readcycledTimer();
    void gundong1();
    void readtxt();
    void btn_disable();
    void btn_enable();
    void showcaretpos();

    bool repetitionActive() const;
    QTimer* readcycled() const { return m_readcycled; }
    int readcount() const { return m_readcount; }
    int readtimes() const { return m_readtimes; }
    int intervaltime() const { return m_intervaltime; }

    // The "%Date%" format (setting Speaker/Datetimetype); the thread reads it for each piece.
    void setDatetimetype(int datetimetype) { m_datetimetype = datetimetype; }
    int datetimetype() const { return m_datetimetype.load(); }

    // Ends any reading at once and waits for its thread (the program's end). Idempotent.
    void shutdown();
    // Readings started by these commands whose threads have not yet ended.
    int runningThreads() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The controls a running reading locks: sb_delay, SpinEdit1 and SpinEdit2.
    void setLockableControlsEnabled(bool enabled);
    bool voiceChosen() const;
    void startThread();
    void threadEnded(Tts* thread);

    VoiceEngine* m_voice;
    ReadingState& m_state;
    PauseSymbols& m_pauses;
    ReadingWidgets m_w;
    std::function<void()> m_applyvoice;
    const SpokenForm* m_spokenForm;
    std::unique_ptr<MemoReadingEditor> m_editor;
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
