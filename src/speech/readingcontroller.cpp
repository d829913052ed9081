#include "readingcontroller.h"

#include "ansiindex.h"
#include "common/clock.h"
#include "common/errorguard.h"
#include "common/eventlog.h"
#include "common/helpers.h"
#include "common/readingstate.h"
#include "common/services.h"
#include "readingeditor.h"
#include "tts.h"
#include "voiceengine.h"

#include <QDeadlineTimer>
#include <QTimer>

#include <algorithm>

ReadingView::~ReadingView() = default;

ReadingController::ReadingController(ReadingView& view, const Services& services, ReadingState& state,
                                     PauseSymbols& pauses, const SpokenForm* spokenForm, QObject* parent)
    : QObject(parent)
    , m_view(view)
    , m_voice(services.voice)
    , m_clock(services.clockOrSystem())
    , m_dialogs(services.dialogsOrConsole())
    , m_state(state)
    , m_pauses(pauses)
    , m_spokenForm(spokenForm)
    , m_queue(new ReadingQueue)
    , m_readcycled(new QTimer(this))
{
    m_readcycled->setObjectName(QStringLiteral("readcycled"));
    m_readcycled->setInterval(1000);
    // A tick that fails (the engine refused the voice) shows why; the repetition has ended then.
    connect(m_readcycled, &QTimer::timeout, this, [this] {
        try {
            readcycledTimer();
        } catch (...) {
            showException(m_dialogs, std::current_exception());
        }
    });
}

ReadingController::~ReadingController()
{
    shutdown();
    delete m_queue;
}

bool ReadingController::isBlank(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0x20; });
}

QString ReadingController::caretPositionText(int line, int column)
{
    return QStringLiteral("   %1:%2").arg(line + 1).arg(column + 1);
}

void ReadingController::shutdown()
{
    if (m_shutdown) {
        return;
    }
    m_shutdown = true;
    stopRepetitionTimer();
    m_state.stopflag = true;
    // From here no reading gets its turn, no editor call is served, no wait goes on and no piece starts:
    // the voice refuses the next one and cuts the one it speaks.
    m_queue->close();
    m_view.stopServing();
    for (const auto& thread : m_threads) {
        thread->abort();
    }
    // The voice closes only under a reading: without one no piece can be asked for any more.
    if (m_voice && runningThreads() > 0) {
        try {
            m_voice->close();
        } catch (...) {
        }
    }
    const QDeadlineTimer deadline(ShutdownWaitMs);
    for (auto& thread : m_threads) {
        if (!thread->waitForEnd(deadline)) {
            // The program ends all the same; the thread and the queue it uses are left to the end of the
            // process rather than freed under it.
            logEvent(QStringLiteral("a speaking thread did not end within %1 ms; the program ends without it")
                         .arg(ShutdownWaitMs));
            thread.release();
            m_queue = new ReadingQueue;
        }
    }
    m_threads.clear();
    m_state.release();
}

int ReadingController::runningThreads() const
{
    return static_cast<int>(std::count_if(m_threads.begin(), m_threads.end(),
                                          [](const std::unique_ptr<Tts>& t) { return t && !t->isFinished(); }));
}

bool ReadingController::repetitionActive() const
{
    return m_readcycled->isActive();
}

bool ReadingController::isreading() const
{
    return m_state.isreading();
}

bool ReadingController::voiceChosen()
{
    return m_voice && !isBlank(m_view.editor().voiceName());
}

void ReadingController::stopRepetitionTimer()
{
    if (m_readcycled->isActive()) {
        m_readcycled->stop();
        emit repetitionEnded();
    }
}

void ReadingController::play()
{
    m_view.caretToStart();
    // No reading is in progress unless this one starts; when it does, it counts from the start, with no
    // moment in between at which a reading still running would show as ended.
    if (isBlank(m_view.editor().text())) {
        m_state.release();
        return;
    }
    if (!voiceChosen()) {
        m_state.release();
        warnbox(m_dialogs, QStringLiteral("请选择语音引擎!"));
        return;
    }
    btn_disable();
    try {
        gundong1();
    } catch (...) {
        m_state.release();
        throw;
    }
}

void ReadingController::stop()
{
    m_state.release();
    btn_enable();
    stopRepetitionTimer();
    if (m_state.threadreading) {
        m_state.stopflag = true;
    } else if (m_voice) {
        m_voice->speak(QString(), VoiceEngine::PurgeBeforeSpeak);
    }
}

void ReadingController::endReadings()
{
    m_state.release();
    btn_enable();
    stopRepetitionTimer();
    m_state.stopflag = true;
}

bool ReadingController::startRepetition()
{
    ReadingEditor& editor = m_view.editor();
    const QString text = editor.text();
    if (text.isEmpty()) {
        return false;
    }
    const AnsiIndex index(text);
    editor.setSelection(0, index.length());
    if (isBlank(text)) {
        return false;
    }
    if (!voiceChosen()) {
        warnbox(m_dialogs, QStringLiteral("请选择语音引擎!"));
        return false;
    }
    m_readtimes = m_view.readtimesField();
    m_intervaltime = m_view.intervaltimeField();
    m_readcount = 0;
    // In progress from now on: a reading by hand that ends before the first tick leaves it so.
    m_state.claim();
    m_state.readmode = 1;
    m_state.standalone = false;
    m_rangestart = editor.selectionStart();
    m_rangelength = AnsiIndex(editor.selectedText()).length();
    m_readcycled->start();
    emit repetitionStarted();
    return true;
}

void ReadingController::readcycledTimer()
{
    try {
        if (m_readcount <= m_readtimes && m_state.isreading() && m_readcount == 0) {
            btn_disable();
            m_readcount = 1;
            readtxt();
        }
        if (!m_state.isreading() && m_readcount >= m_readtimes) {
            stopRepetitionTimer();
            btn_enable();
        }
        // Elapsed time: a wall clock that is set meanwhile (or midnight) neither holds the next reading
        // back nor brings it forward.
        const qint64 due = m_state.lastreadendElapsed() + qint64(m_intervaltime) * 1000;
        if (!m_state.isreading() && m_readcount > 0 && m_readcount < m_readtimes && m_clock.elapsedMs() > due) {
            ++m_readcount;
            m_view.editor().setSelection(m_rangestart, m_rangelength);
            readtxt();
        }
    } catch (...) {
        // A reading that cannot start (the engine refused the voice) ends the repetition instead of
        // failing again every second with the controls locked.
        stopRepetitionTimer();
        m_state.release();
        btn_enable();
        throw;
    }
}

void ReadingController::gundong1()
{
    ReadingEditor& editor = m_view.editor();
    if (isBlank(editor.text())) {
        return;
    }
    try {
        m_view.applyvoice();
    } catch (...) {
        btn_enable(); // nothing is read: the controls must not stay locked
        throw;
    }
    editor.focusEditor();
    m_state.threadreading = true;
    m_state.stopflag = false;
    m_state.readmode = 0;
    m_state.standalone = true;
    startThread();
}

void ReadingController::readtxt()
{
    m_view.applyvoice();
    m_view.editor().focusEditor();
    m_state.threadreading = true;
    m_state.stopflag = false;
    startThread();
}

void ReadingController::startThread()
{
    if (m_shutdown) {
        return;
    }
    // The reading counts as in progress from the thread's construction on, in this one step.
    auto thread = std::make_unique<Tts>(ReadingContext { m_view.editor(), m_voice, m_state, m_pauses, m_clock, *m_queue,
                                                         [this] { return m_datetimetype.load(); }, m_spokenForm });
    Tts* started = thread.get();
    connect(
        started, &QThread::finished, this, [this, started] { threadEnded(started); }, Qt::QueuedConnection);
    m_threads.push_back(std::move(thread));
    started->start();
    emit readingStarted();
}

void ReadingController::threadEnded(Tts* thread)
{
    m_threads.remove_if([thread](const std::unique_ptr<Tts>& t) { return t.get() == thread; });
    emit readingEnded();
}

void ReadingController::btn_disable()
{
    m_view.setReadingControlsEnabled(false);
}

void ReadingController::btn_enable()
{
    m_view.setReadingControlsEnabled(true);
}
