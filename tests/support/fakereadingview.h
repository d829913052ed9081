#pragma once

#include "speech/readingcontroller.h"
#include "speech/textreadingeditor.h"

#include <QDateTime>
#include <QList>
#include <QObject>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

class Clock;
class QThread;

// The reading's window without widgets: a text editor that records each highlight with the clock's
// time, the two number fields, and the locked controls. As the window's editor does, it serves the
// speaking thread's calls on the main thread (the thread waits meanwhile), and after stopServing()
// every call of the thread throws ReadingAborted.
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
    ~FakeReadingView() override;

    int readtimes = 2; // SpinEdit1
    int intervaltime = 60; // SpinEdit2
    std::atomic<bool> controlsEnabled { true };
    // Called on the speaking thread before each highlight is served (the 1st, 2nd... of the reading).
    std::function<void(int)> onHighlight;
    // Called on the speaking thread before the end steps re-enable the controls.
    std::function<void()> onEndSteps;

    QList<Highlight> highlights() const;
    void clearHighlights();

    // ReadingEditor: served on the main thread.
    QString text() override;
    int selectionStart() override;
    QString selectedText() override;
    void setSelection(int start, int length) override;
    void focusEditor() override { }
    int lineFromPosition(int position) override;
    int lineCount() override;
    int firstPositionOfLine(int line) override;
    void scrollOneLineDown() override { }
    QString voiceName() override;
    QString memo2Range(int start, int length) override;
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
    // Runs f on the main thread and returns its result; the speaking thread waits for it.
    template <typename F> auto served(F f) -> decltype(f());
    // Main thread: runs the calls that wait. The calls pass through the view's own lock, so a race
    // checker sees the hand-over; a Qt event only wakes the main thread.
    void serve();

    Clock& m_clock;
    VoiceEngine* m_voice;
    QThread* m_mainThread;
    // Lives on the main thread and serves the calls when a wake-up event reaches it.
    class Server final : public QObject
    {
    public:
        explicit Server(FakeReadingView& view)
            : m_view(view)
        {
        }
        bool event(QEvent* event) override;

    private:
        FakeReadingView& m_view;
    };
    Server m_server { *this };
    mutable std::mutex m_mutex;
    std::condition_variable m_done;
    QList<std::function<void()>> m_calls;
    QList<Highlight> m_highlights;
    int m_highlightCount = 0;
    bool m_stopped = false;
};
