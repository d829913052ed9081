#include "readingcommands.h"

#include "common/clock.h"
#include "common/errorguard.h"
#include "common/helpers.h"
#include "common/readingstate.h"
#include "memoreadingeditor.h"
#include "tts.h"
#include "voiceengine.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>

namespace {

// Trim as the editor's text functions know it: spaces and control characters are blanks.
bool isBlank(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0x20; });
}

} // namespace

ReadingCommands::ReadingCommands(VoiceEngine* voice, ReadingState& state, PauseSymbols& pauses,
                                 const ReadingWidgets& widgets, std::function<void()> applyvoice,
                                 const SpokenForm* spokenForm, QObject* parent)
    : QObject(parent)
    , m_voice(voice)
    , m_state(state)
    , m_pauses(pauses)
    , m_w(widgets)
    , m_applyvoice(std::move(applyvoice))
    , m_spokenForm(spokenForm)
    , m_editor(std::make_unique<MemoReadingEditor>(widgets.Memo1, widgets.Memo2, widgets.flatComboBox1,
                                                   [this] { btn_enable(); }))
    , m_readcycled(new QTimer(this))
{
    m_readcycled->setObjectName(QStringLiteral("readcycled"));
    m_readcycled->setInterval(1000);
    connect(m_readcycled, &QTimer::timeout, this, [this] { guarded([this] { readcycledTimer(); }); });

    if (m_w.SB_play) {
        connect(m_w.SB_play, &QAbstractButton::clicked, this, [this] { guarded([this] { ToolButton9Click(); }); });
    }
    if (m_w.SB_stop) {
        connect(m_w.SB_stop, &QAbstractButton::clicked, this, [this] { guarded([this] { SB_stopClick(); }); });
    }
    if (m_w.SB_repeat1) {
        connect(m_w.SB_repeat1, &QAbstractButton::clicked, this, [this] { guarded([this] { SB_repeat1Click(); }); });
    }

    // Memo2 is a hidden copy of Memo1's text, aligned byte for byte, for the voice that reads it.
    if (m_w.Memo2) {
        m_w.Memo2->setPlainText(m_w.Memo1->toPlainText());
        connect(m_w.Memo1, &QPlainTextEdit::textChanged, this,
                [this] { m_w.Memo2->setPlainText(m_w.Memo1->toPlainText()); });
    }
    m_w.Memo1->installEventFilter(this);
    m_w.Memo1->viewport()->installEventFilter(this);
}

ReadingCommands::~ReadingCommands()
{
    shutdown();
}

void ReadingCommands::shutdown()
{
    if (m_shutdown) {
        return;
    }
    m_shutdown = true;
    m_readcycled->stop();
    m_state.stopflag = true;
    // The main thread serves no more editor calls: release the waiting ones and cut every wait short.
    m_editor->abort();
    for (const auto& thread : m_threads) {
        thread->abort();
    }
    if (m_voice && runningThreads() > 0) {
        try {
            m_voice->speak(QString(), VoiceEngine::PurgeBeforeSpeak); // cuts a long piece short
        } catch (...) {
        }
    }
    for (const auto& thread : m_threads) {
        thread->wait();
    }
    m_threads.clear();
    m_state.isreading = false;
}

int ReadingCommands::runningThreads() const
{
    return static_cast<int>(std::count_if(m_threads.begin(), m_threads.end(),
                                          [](const std::unique_ptr<Tts>& t) { return !t->isFinished(); }));
}

bool ReadingCommands::repetitionActive() const
{
    return m_readcycled->isActive();
}

bool ReadingCommands::voiceChosen() const
{
    return m_voice && !isBlank(m_w.flatComboBox1->currentText());
}

void ReadingCommands::ToolButton9Click()
{
    QTextCursor cursor = m_w.Memo1->textCursor();
    cursor.setPosition(0);
    m_w.Memo1->setTextCursor(cursor);
    m_state.isreading = false;
    if (isBlank(m_w.Memo1->toPlainText())) {
        return;
    }
    if (!voiceChosen()) {
        warnbox(QStringLiteral("请选择语音引擎!"));
        return;
    }
    btn_disable();
    gundong1();
}

void ReadingCommands::SB_stopClick()
{
    m_state.isreading = false;
    btn_enable();
    m_readcycled->stop();
    if (m_state.threadreading) {
        m_state.stopflag = true;
    } else if (m_voice) {
        m_voice->speak(QString(), VoiceEngine::PurgeBeforeSpeak);
    }
}

void ReadingCommands::SB_repeat1Click()
{
    const QString text = m_w.Memo1->toPlainText();
    if (text.isEmpty()) {
        return;
    }
    m_w.Memo1->selectAll();
    if (isBlank(text)) {
        return;
    }
    if (!voiceChosen()) {
        warnbox(QStringLiteral("请选择语音引擎!"));
        return;
    }
    m_readtimes = m_w.SpinEdit1->value();
    m_intervaltime = m_w.SpinEdit2->value();
    m_readcount = 0;
    m_state.isreading = true;
    m_state.readmode = 1;
    m_state.standalone = false;
    const AnsiIndex index(text);
    const QTextCursor cursor = m_w.Memo1->textCursor();
    m_rangestart = index.byteOffset(cursor.selectionStart());
    m_rangelength = index.byteOffset(cursor.selectionEnd()) - m_rangestart;
    m_readcycled->start();
}

void ReadingCommands::readcycledTimer()
{
    try {
        if (m_readcount <= m_readtimes && m_state.isreading && m_readcount == 0) {
            btn_disable();
            m_readcount = 1;
            readtxt();
        }
        if (!m_state.isreading && m_readcount >= m_readtimes) {
            m_readcycled->stop();
            btn_enable();
        }
        // Full date-times: an interval that ends after midnight still ends.
        if (!m_state.isreading && m_readcount > 0 && m_readcount < m_readtimes
            && Clock::currentDateTime() > m_state.lastreadend().addSecs(m_intervaltime)) {
            ++m_readcount;
            const AnsiIndex index(m_w.Memo1->toPlainText());
            QTextCursor cursor = m_w.Memo1->textCursor();
            cursor.setPosition(index.charPosition(m_rangestart));
            cursor.setPosition(index.charPosition(m_rangestart + m_rangelength), QTextCursor::KeepAnchor);
            m_w.Memo1->setTextCursor(cursor);
            m_state.isreading = true;
            readtxt();
        }
    } catch (...) {
        // A reading that cannot start (the engine refused the voice) ends the repetition instead of
        // failing again every second with the controls locked.
        m_readcycled->stop();
        m_state.isreading = false;
        btn_enable();
        throw;
    }
}

void ReadingCommands::gundong1()
{
    if (isBlank(m_w.Memo1->toPlainText())) {
        return;
    }
    try {
        if (m_applyvoice) {
            m_applyvoice();
        } else if (m_voice) {
            m_voice->setVoice(m_w.flatComboBox1->currentIndex());
        }
    } catch (...) {
        btn_enable(); // nothing is read: the controls must not stay locked
        throw;
    }
    m_w.Memo1->setFocus();
    m_state.threadreading = true;
    m_state.stopflag = false;
    m_state.isreading = true;
    m_state.readmode = 0;
    m_state.standalone = true;
    startThread();
}

void ReadingCommands::readtxt()
{
    if (m_applyvoice) {
        m_applyvoice();
    } else if (m_voice) {
        m_voice->setVoice(m_w.flatComboBox1->currentIndex());
    }
    m_w.Memo1->setFocus();
    m_state.threadreading = true;
    m_state.stopflag = false;
    m_state.isreading = true;
    startThread();
}

void ReadingCommands::startThread()
{
    if (m_shutdown) {
        m_state.isreading = false;
        return;
    }
    auto thread = std::make_unique<Tts>(
        *m_editor, m_voice, m_state, m_pauses, [this] { return m_datetimetype.load(); }, m_spokenForm);
    Tts* started = thread.get();
    connect(
        started, &QThread::finished, this, [this, started] { threadEnded(started); }, Qt::QueuedConnection);
    m_threads.push_back(std::move(thread));
    started->start();
}

void ReadingCommands::threadEnded(Tts* thread)
{
    m_threads.remove_if([thread](const std::unique_ptr<Tts>& t) { return t.get() == thread; });
}

void ReadingCommands::btn_disable()
{
    setLockableControlsEnabled(false);
}

void ReadingCommands::btn_enable()
{
    setLockableControlsEnabled(true);
}

void ReadingCommands::setLockableControlsEnabled(bool enabled)
{
    for (QWidget* w : { static_cast<QWidget*>(m_w.sb_delay), static_cast<QWidget*>(m_w.SpinEdit1),
                        static_cast<QWidget*>(m_w.SpinEdit2) }) {
        if (w) {
            w->setEnabled(enabled);
        }
    }
}

void ReadingCommands::showcaretpos()
{
    if (!m_w.statusPanel0) {
        return;
    }
    const int line = m_editor->caretLine();
    const int column = m_editor->caretColumn();
    m_w.statusPanel0->setText(QStringLiteral("   %1:%2").arg(line + 1).arg(column + 1));
}

bool ReadingCommands::eventFilter(QObject* watched, QEvent* event)
{
    const bool released = (watched == m_w.Memo1 && event->type() == QEvent::KeyRelease)
        || (watched == m_w.Memo1->viewport() && event->type() == QEvent::MouseButtonRelease);
    if (released) {
        guarded([this] { showcaretpos(); });
    }
    return QObject::eventFilter(watched, event);
}
