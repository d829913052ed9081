#pragma once

#include "speech/readingcontroller.h"
#include "speech/textreadingeditor.h"

#include <QDateTime>
#include <QList>

#include <atomic>
#include <functional>
#include <mutex>

class Clock;
class QThread;

// The reading's window without widgets: a text editor that records each highlight with the clock's
// time, the two number fields, and the locked controls. After stopServing() every editor call throws
// ReadingAborted, as the window's editor does when the program ends.
class FakeReadingView final : public TextReadingEditor, public ReadingView
{
public:
    struct Highlight
    {
        int start; // bytes
        int length;
        QDateTime at;
    };

    FakeReadingView(Clock& clock, VoiceEngine* voice);

    int readtimes = 2; // SpinEdit1
    int intervaltime = 60; // SpinEdit2
    std::atomic<bool> controlsEnabled { true };
    // Called on the speaking thread before each highlight is served (the 1st, 2nd... of the reading).
    std::function<void(int)> onHighlight;
    // Called before the controls are re-enabled by a reading's end steps.
    std::function<void()> onEndSteps;

    QList<Highlight> highlights() const;
    void clearHighlights();

    // TextReadingEditor, served on any thread.
    void setSelection(int start, int length) override;
    void enableControls() override;

    // ReadingView.
    ReadingEditor& editor() override { return *this; }
    void caretToStart() override;
    int readtimesField() const override { return readtimes; }
    int intervaltimeField() const override { return intervaltime; }
    void setReadingControlsEnabled(bool enabled) override { controlsEnabled = enabled; }
    void applyvoice() override;
    void stopServing() override;

private:
    void checkServing() const;

    Clock& m_clock;
    VoiceEngine* m_voice;
    QThread* m_mainThread;
    mutable std::mutex m_recordMutex;
    QList<Highlight> m_highlights;
    int m_highlightCount = 0;
    bool m_stopped = false;
};
