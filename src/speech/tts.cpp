#include "tts.h"

#include "ansiindex.h"
#include "common/clock.h"
#include "common/eventlog.h"
#include "common/readingstate.h"
#include "dateplaceholder.h"
#include "pausesymbols.h"
#include "readingeditor.h"
#include "readingqueue.h"
#include "spokenform.h"
#include "voiceengine.h"

#include <algorithm>

namespace {

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

Tts::Tts(const ReadingContext& context, QObject* parent)
    : QThread(parent)
    , m_context(context)
{
    // Counted and queued at once, on the starting thread: there is no moment at which this reading
    // exists but does not show as in progress.
    m_context.state.readingStarted();
    m_ticket = m_context.queue.join();
}

Tts::~Tts()
{
    abort();
    waitForEnd();
    if (!m_ended.load(std::memory_order_acquire)) { // never ran
        m_context.queue.leave(m_ticket);
        m_context.state.readingWithdrawn();
    }
}

void Tts::abort()
{
    m_abort = true;
}

bool Tts::waitForEnd(QDeadlineTimer deadline)
{
    if (!wait(deadline)) {
        return false;
    }
    (void)m_bodyDone.load(std::memory_order_acquire);
    return true;
}

bool Tts::stopRequested() const
{
    return m_context.state.stopflag.load() || m_abort.load();
}

void Tts::run()
{
    bool started = false;
    if (!m_abort && m_context.queue.waitForTurn(m_ticket)) {
        try {
            // readmode is taken once, now that the reading before this one has ended.
            if (!m_abort) {
                started = true;
                logEvent(QStringLiteral("reading started"));
                if (m_context.state.readmode.load() != 0) {
                    rangeLoop();
                } else {
                    caretLoop();
                }
            }
        } catch (...) {
            // An engine failure or the end of the program ends the reading silently.
        }
    }
    if (started) {
        logEvent(stopRequested() ? QStringLiteral("reading ended (stopped)") : QStringLiteral("reading ended"));
    }
    // The end is stamped and the reading uncounted in one step; a reading already waiting for its turn
    // keeps the state in progress (the music stays ducked for it). Then the next reading may start.
    m_ended.store(true, std::memory_order_release);
    m_context.state.readingEnded(m_context.clock.now(), m_context.clock.elapsedMs());
    m_context.queue.leave(m_ticket);
    endSteps();
    m_bodyDone.store(true, std::memory_order_release);
}

void Tts::endSteps()
{
    if (!m_context.state.standalone.load() || m_abort) {
        return;
    }
    try {
        m_context.editor.enableControls();
    } catch (...) {
    }
}

void Tts::rangeLoop()
{
    const int rangeorigin = m_context.editor.selectionStart();
    QString readtext;
    if (m_context.editor.voiceName().contains(Memo2Voice)) {
        readtext = m_context.editor.memo2Range(rangeorigin, AnsiIndex(m_context.editor.selectedText()).length());
    } else {
        readtext = m_context.editor.selectedText();
    }
    const AnsiIndex range(readtext);
    int offset = 0;
    while (!stopRequested()) {
        const QString window = range.window(offset, PieceWindowBytes);
        if (window.isEmpty()) {
            break;
        }
        const Piece piece = cutPiece(window, *m_context.pauses.current());
        if (stopRequested()) {
            break;
        }
        const int from = range.charPosition(offset);
        const int piecelength = range.byteOffset(from + static_cast<int>(piece.text.size())) - offset;
        m_context.editor.setSelection(rangeorigin + offset, piecelength);
        m_context.editor.focusEditor();
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
        const int cursor = m_context.editor.selectionStart();
        const QString current = m_context.editor.text();
        if (current != text.text()) {
            text = AnsiIndex(current); // the text is re-read each pass; index it only when it changed
        }
        const QString window = text.window(cursor, PieceWindowBytes);
        if (window.isEmpty()) {
            break; // the caret stands at the end of the text
        }
        if (isBlank(window)) {
            // Skip the blanks; the editor holds the caret at the text's end.
            m_context.editor.setSelection(cursor + PieceWindowBytes, 0);
            if (m_context.editor.lineFromPosition(m_context.editor.selectionStart())
                >= m_context.editor.lineCount() - 1) {
                break;
            }
            continue;
        }

        const Piece cut = cutPiece(window, *m_context.pauses.current());
        const int from = text.charPosition(cursor);
        const int piecelength = text.byteOffset(from + static_cast<int>(cut.text.size())) - text.byteOffset(from);
        m_context.editor.setSelection(cursor, piecelength);
        QString piece = cut.text;
        if (m_context.editor.voiceName().contains(Memo2Voice)) {
            piece = m_context.editor.memo2Range(cursor, piecelength);
        }
        if (scrolledline != pieceline) {
            m_context.editor.scrollOneLineDown();
            scrolledline = pieceline;
        }
        if (stopRequested()) {
            break;
        }
        if (!isBlank(piece)) {
            speakpiece(piece, cut.piecedelay);
        }
        const int lines = m_context.editor.lineCount();
        if (lines < pieceline) {
            break; // the text was replaced meanwhile
        }
        pieceline = m_context.editor.lineFromPosition(cursor);
        if (pieceline == lines - 1) {
            ++pieceline;
        }
        m_context.editor.setSelection(cursor + piecelength, 0);
    }
}

void Tts::speakpiece(const QString& piece, int piecedelay)
{
    // The moment of this piece, so a time format gives the time it is spoken.
    QString spoken = DatePlaceholder::substitute(piece, m_context.datetimetype ? m_context.datetimetype() : 0,
                                                 m_context.clock.now());
    if (containsMark(spoken)) {
        pause(m_context.pauses.markdelay());
        spoken = withoutMarks(spoken);
    }
    if (m_abort) {
        return;
    }
    if (m_context.voice) {
        logEvent(QStringLiteral("speaking: ") + spoken);
        // The editor and the log keep the text as written; the voice is handed it in words. A voice that
        // is closing (the program ends) refuses the piece, however late the end came before this call.
        m_context.voice->speak(m_context.spokenForm ? m_context.spokenForm->spoken(spoken) : spoken,
                               VoiceEngine::PurgeBeforeSpeak);
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
        m_context.clock.sleep(step);
        left -= step;
    }
}
