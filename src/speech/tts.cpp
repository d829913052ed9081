#include "tts.h"

#include "ansiindex.h"
#include "common/clock.h"
#include "common/eventlog.h"
#include "common/readingstate.h"
#include "common/tsanannotations.h"
#include "dateplaceholder.h"
#include "pausesymbols.h"
#include "readingeditor.h"
#include "spokenform.h"
#include "voiceengine.h"

#include <QMutex>

#include <algorithm>
#include <chrono>
#include <mutex>

namespace {

// Held by each reading for its whole body, so a second reading waits until the first has ended.
std::timed_mutex g_readingLock;
std::atomic<int> g_pending { 0 };

// The voice whose text comes from the hidden copy Memo2.
const QString Memo2Voice = QStringLiteral("Sin-Ji_Full_22kHz");

// Trim as the editor's text functions know it: spaces and every control character are blanks.
bool isBlank(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0x20; });
}

// Longest slice of a wait, so that abort() is seen quickly.
constexpr int WaitSlice = 20;

} // namespace

ReadingEditor::~ReadingEditor() = default;

Tts::Tts(ReadingEditor& editor, VoiceEngine* voice, ReadingState& state, const PauseSymbols& pauses,
         std::function<int()> datetimetype, const SpokenForm* spokenForm, QObject* parent)
    : QThread(parent)
    , m_editor(editor)
    , m_voice(voice)
    , m_state(state)
    , m_pauses(pauses)
    , m_datetimetype(std::move(datetimetype))
    , m_spokenForm(spokenForm)
    , m_counted(true)
{
    ++g_pending;
}

Tts::~Tts()
{
    abort();
    wait();
    // QThread::wait() waits on Qt's own lock, which ThreadSanitizer cannot see.
    KELVORA_TSAN_ACQUIRE(this);
    if (m_counted) { // never ran
        --g_pending;
    }
}

void Tts::abort()
{
    m_abort = true;
}

int Tts::pendingReadings()
{
    return g_pending.load();
}

bool Tts::stopRequested() const
{
    return m_state.stopflag.load() || m_abort.load();
}

void Tts::run()
{
    std::unique_lock lock(g_readingLock, std::defer_lock);
    while (!tryLockFor(lock, std::chrono::milliseconds(50))) {
        if (m_abort) {
            break;
        }
    }
    bool started = false;
    if (lock.owns_lock()) {
        try {
            // readmode is taken once, now that the reading before this one has ended.
            if (!m_abort) {
                started = true;
                logEvent(QStringLiteral("reading started"));
                if (m_state.readmode.load() != 0) {
                    rangeLoop();
                } else {
                    caretLoop();
                }
            }
        } catch (...) {
            // An engine failure or the end of the program ends the reading silently.
        }
    }
    // Release the lock before re-enabling the controls, as a reading waiting for it may start now.
    // The end is stamped before isreading falls, so the repetition timer never pairs a finished
    // reading with the end of the one before it. A reading already waiting for the lock keeps
    // isreading set (the music stays ducked for it).
    m_state.setLastreadend(Clock::currentDateTime());
    if (started) {
        logEvent(stopRequested() ? QStringLiteral("reading ended (stopped)") : QStringLiteral("reading ended"));
    }
    m_counted = false;
    if (--g_pending == 0) {
        m_state.isreading = false;
    }
    if (lock.owns_lock()) {
        lock.unlock();
    }
    endSteps();
    KELVORA_TSAN_RELEASE(this); // what the thread did is done before wait() returns
}

void Tts::endSteps()
{
    if (!m_state.standalone.load() || m_abort) {
        return;
    }
    try {
        m_editor.enableControls();
    } catch (...) {
    }
}

void Tts::rangeLoop()
{
    const int rangeorigin = m_editor.selectionStart();
    QString readtext;
    if (m_editor.voiceName().contains(Memo2Voice)) {
        readtext = m_editor.memo2Range(rangeorigin, AnsiIndex(m_editor.selectedText()).length());
    } else {
        readtext = m_editor.selectedText();
    }
    const AnsiIndex range(readtext);
    int offset = 0;
    while (!stopRequested()) {
        const QString window = range.window(offset, PieceWindowBytes);
        if (window.isEmpty()) {
            break;
        }
        const Piece piece = cutPiece(window, *m_pauses.current());
        if (stopRequested()) {
            break;
        }
        const int from = range.charPosition(offset);
        const int piecelength = range.byteOffset(from + static_cast<int>(piece.text.size())) - offset;
        m_editor.setSelection(rangeorigin + offset, piecelength);
        m_editor.focusEditor();
        offset += piecelength;
        speakpiece(piece.text, piece.piecedelay); // blanks are spoken too in a range
    }
}

void Tts::caretLoop()
{
    int scrolledline = 0;
    int pieceline = 0;
    AnsiIndex text;
    while (!stopRequested()) {
        const int cursor = m_editor.selectionStart();
        const QString current = m_editor.text();
        if (current != text.text()) {
            text = AnsiIndex(current); // the text is re-read each pass; index it only when it changed
        }
        const QString window = text.window(cursor, PieceWindowBytes);
        if (window.isEmpty()) {
            break; // the caret stands at the end of the text
        }
        if (isBlank(window)) {
            // Skip the blanks; the editor holds the caret at the text's end.
            m_editor.setSelection(cursor + PieceWindowBytes, 0);
            if (m_editor.lineFromPosition(m_editor.selectionStart()) >= m_editor.lineCount() - 1) {
                break;
            }
            continue;
        }

        const Piece cut = cutPiece(window, *m_pauses.current());
        const int from = text.charPosition(cursor);
        const int piecelength = text.byteOffset(from + static_cast<int>(cut.text.size())) - text.byteOffset(from);
        m_editor.setSelection(cursor, piecelength);
        QString piece = cut.text;
        if (m_editor.voiceName().contains(Memo2Voice)) {
            piece = m_editor.memo2Range(cursor, piecelength);
        }
        if (scrolledline != pieceline) {
            m_editor.scrollOneLineDown();
            scrolledline = pieceline;
        }
        if (stopRequested()) {
            break;
        }
        if (!isBlank(piece)) {
            speakpiece(piece, cut.piecedelay);
        }
        const int lines = m_editor.lineCount();
        if (lines < pieceline) {
            break; // the text was replaced meanwhile
        }
        pieceline = m_editor.lineFromPosition(cursor);
        if (pieceline == lines - 1) {
            ++pieceline;
        }
        m_editor.setSelection(cursor + piecelength, 0);
    }
}

void Tts::speakpiece(const QString& piece, int piecedelay)
{
    // The moment of this piece, so a time format gives the time it is spoken.
    QString spoken
        = DatePlaceholder::substitute(piece, m_datetimetype ? m_datetimetype() : 0, Clock::currentDateTime());
    if (containsMark(spoken)) {
        pause(m_pauses.markdelay());
        spoken = withoutMarks(spoken);
    }
    if (m_abort) {
        return;
    }
    if (m_voice) {
        logEvent(QStringLiteral("speaking: ") + spoken);
        // The editor and the log keep the text as written; the voice is handed it in words.
        m_voice->speak(m_spokenForm ? m_spokenForm->spoken(spoken) : spoken, VoiceEngine::PurgeBeforeSpeak);
    }
    if (piecedelay > 0) {
        pause(piecedelay);
    }
}

void Tts::pause(int ms)
{
    int left = ms;
    while (left > 0 && !m_abort) {
        const int step = std::min(left, WaitSlice);
        Clock::instance().sleep(step);
        left -= step;
    }
}
