#include "fakereadingview.h"

#include "common/clock.h"
#include "common/tsanannotations.h"
#include "speech/readingeditor.h"
#include "speech/voiceengine.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

#include <memory>
#include <optional>
#include <type_traits>

FakeReadingView::FakeReadingView(Clock& clock, VoiceEngine* voice)
    : m_clock(clock)
    , m_voice(voice)
    , m_mainThread(QThread::currentThread())
{
    if (voice && !voice->voices().isEmpty()) {
        setVoiceName(voice->voices().first());
    }
}

FakeReadingView::~FakeReadingView()
{
    stopServing();
}

template <typename F> auto FakeReadingView::served(F f) -> decltype(f())
{
    using R = decltype(f());
    if (QThread::currentThread() == m_mainThread) {
        return f();
    }
    std::conditional_t<std::is_void_v<R>, bool, std::optional<R>> result {};
    {
        std::lock_guard lock(m_mutex);
        if (m_stopped) {
            throw ReadingAborted {};
        }
        m_calls.append([&] {
            if constexpr (std::is_void_v<R>) {
                f();
            } else {
                result = f();
            }
        });
    }
    // The call itself waits in m_calls; this only wakes the main thread, which may wait for events.
    // A plain event rather than a queued functor: ThreadSanitizer cannot see Qt's event queue, and the
    // event's creation here is handed to its reading in Server::event().
    auto* wake = new QEvent(QEvent::User);
    KELVORA_TSAN_RELEASE(&m_server);
    QCoreApplication::postEvent(&m_server, wake);
    // One reading runs at a time, so its call is the only one; serve() runs it on the main thread (which
    // also stops serving, so a call never runs while the thread gives up on it) and then removes it.
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [&] { return m_stopped || m_calls.isEmpty(); });
    if (m_stopped && !m_calls.isEmpty()) {
        m_calls.clear();
        throw ReadingAborted {};
    }
    if constexpr (!std::is_void_v<R>) {
        return std::move(*result);
    }
}

bool FakeReadingView::Server::event(QEvent* event)
{
    KELVORA_TSAN_ACQUIRE(this);
    if (event->type() != QEvent::User) {
        return QObject::event(event);
    }
    m_view.serve();
    return true;
}

void FakeReadingView::serve()
{
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard lock(m_mutex);
            if (m_calls.isEmpty()) {
                return;
            }
            call = m_calls.first();
        }
        call();
        {
            std::lock_guard lock(m_mutex);
            m_calls.removeFirst();
        }
        m_done.notify_all();
    }
}

QList<FakeReadingView::Highlight> FakeReadingView::highlights() const
{
    std::lock_guard lock(m_mutex);
    return m_highlights;
}

void FakeReadingView::clearHighlights()
{
    std::lock_guard lock(m_mutex);
    m_highlights.clear();
}

QString FakeReadingView::text()
{
    return served([this] { return TextReadingEditor::text(); });
}

int FakeReadingView::selectionStart()
{
    return served([this] { return TextReadingEditor::selectionStart(); });
}

QString FakeReadingView::selectedText()
{
    return served([this] { return TextReadingEditor::selectedText(); });
}

void FakeReadingView::setSelection(int start, int length)
{
    const bool fromThread = QThread::currentThread() != m_mainThread;
    if (length > 0 && fromThread && onHighlight) {
        int count = 0;
        {
            std::lock_guard lock(m_mutex);
            count = ++m_highlightCount;
        }
        onHighlight(count);
    }
    served([this, start, length, fromThread] {
        TextReadingEditor::setSelection(start, length);
        if (length > 0 && fromThread) {
            std::lock_guard lock(m_mutex);
            m_highlights.append({ TextReadingEditor::selectionStart(), selectionLength(), m_clock.now() });
        }
    });
}

int FakeReadingView::lineFromPosition(int position)
{
    return served([this, position] { return TextReadingEditor::lineFromPosition(position); });
}

int FakeReadingView::lineCount()
{
    return served([this] { return TextReadingEditor::lineCount(); });
}

int FakeReadingView::firstPositionOfLine(int line)
{
    return served([this, line] { return TextReadingEditor::firstPositionOfLine(line); });
}

QString FakeReadingView::voiceName()
{
    return served([this] { return TextReadingEditor::voiceName(); });
}

QString FakeReadingView::memo2Range(int start, int length)
{
    return served([this, start, length] { return TextReadingEditor::memo2Range(start, length); });
}

void FakeReadingView::enableControls()
{
    if (onEndSteps) {
        onEndSteps();
    }
    served([this] {
        TextReadingEditor::enableControls();
        controlsEnabled = true;
    });
}

void FakeReadingView::caretToStart()
{
    TextReadingEditor::setSelection(0, 0);
}

void FakeReadingView::applyvoice()
{
    if (m_voice && !voiceName().isEmpty()) {
        m_voice->setVoice(int(m_voice->voices().indexOf(voiceName())));
    }
}

void FakeReadingView::stopServing()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    m_done.notify_all();
}
