#include "fakereadingview.h"

#include "common/clock.h"
#include "speech/readingeditor.h"
#include "speech/voiceengine.h"

#include <QThread>

FakeReadingView::FakeReadingView(Clock& clock, VoiceEngine* voice)
    : m_clock(clock)
    , m_voice(voice)
    , m_mainThread(QThread::currentThread())
{
    if (voice && !voice->voices().isEmpty()) {
        setVoiceName(voice->voices().first());
    }
}

QList<FakeReadingView::Highlight> FakeReadingView::highlights() const
{
    std::lock_guard lock(m_recordMutex);
    return m_highlights;
}

void FakeReadingView::clearHighlights()
{
    std::lock_guard lock(m_recordMutex);
    m_highlights.clear();
}

void FakeReadingView::checkServing() const
{
    std::lock_guard lock(m_recordMutex);
    if (m_stopped) {
        throw ReadingAborted {};
    }
}

void FakeReadingView::setSelection(int start, int length)
{
    const bool fromThread = QThread::currentThread() != m_mainThread;
    int count = 0;
    if (length > 0 && fromThread) {
        std::lock_guard lock(m_recordMutex);
        count = ++m_highlightCount;
    }
    if (count > 0 && onHighlight) {
        onHighlight(count);
    }
    if (fromThread) {
        checkServing();
    }
    TextReadingEditor::setSelection(start, length);
    if (length > 0 && fromThread) {
        std::lock_guard lock(m_recordMutex);
        m_highlights.append({ selectionStart(), selectionLength(), m_clock.now() });
    }
}

void FakeReadingView::enableControls()
{
    if (onEndSteps) {
        onEndSteps();
    }
    checkServing();
    TextReadingEditor::enableControls();
    controlsEnabled = true;
}

void FakeReadingView::caretToStart()
{
    TextReadingEditor::setSelection(0, 0);
}

void FakeReadingView::applyvoice()
{
    if (m_voice && !voiceName().isEmpty()) {
        m_voice->setVoice(m_voice->voices().indexOf(voiceName()));
    }
}

void FakeReadingView::stopServing()
{
    std::lock_guard lock(m_recordMutex);
    m_stopped = true;
}
