#include "memoreadingeditor.h"

#include "common/tsanannotations.h"

#include <QAbstractTextDocumentLayout>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QThread>

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <type_traits>

namespace {

// A call queued to the editor's thread, posted as an event of our own rather than through
// QMetaObject::invokeMethod: invokeMethod allocates the call inside Qt and hands it over under Qt's
// lock, which ThreadSanitizer cannot see; this one is announced to it on both sides.
class QueuedCall final : public QEvent
{
public:
    explicit QueuedCall(std::function<void()> call)
        : QEvent(eventType())
        , m_call(std::move(call))
    {
    }
    // Also when Qt discards the call undelivered, on the receiving thread.
    ~QueuedCall() override { KELVORA_TSAN_ACQUIRE(this); }

    static QEvent::Type eventType()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    void run() { m_call(); }

private:
    std::function<void()> m_call;
};

} // namespace

MemoReadingEditor::MemoReadingEditor(QPlainTextEdit* memo1, QPlainTextEdit* memo2, QComboBox* voiceList,
                                     std::function<void()> btnEnable, QObject* parent)
    : QObject(parent)
    , m_memo1(memo1)
    , m_memo2(memo2)
    , m_voiceList(voiceList)
    , m_btnEnable(std::move(btnEnable))
{
    connect(m_memo1->document(), &QTextDocument::contentsChanged, this, [this] { m_indexValid = false; });
}

MemoReadingEditor::~MemoReadingEditor()
{
    abort();
}

void MemoReadingEditor::abort()
{
    {
        std::lock_guard lock(m_mutex);
        m_aborted = true;
    }
    m_served.notify_all();
}

template <typename F> auto MemoReadingEditor::onMainThread(F f) -> decltype(f())
{
    using R = decltype(f());
    if (QThread::currentThread() == thread()) {
        return f();
    }
    // A blocking queued call could not be released when the main thread stops serving (it joins the
    // thread at the end of the program), so the call is queued and waited for here instead.
    struct Call
    {
        bool done = false;
        std::conditional_t<std::is_void_v<R>, bool, std::optional<R>> result {};
        std::exception_ptr error;
    };
    auto call = std::make_shared<Call>();
    {
        std::lock_guard lock(m_mutex);
        if (m_aborted) {
            throw ReadingAborted {};
        }
    }
    auto* queued = new QueuedCall([this, call, f]() mutable {
        std::exception_ptr error;
        decltype(call->result) result {};
        try {
            if constexpr (std::is_void_v<R>) {
                f();
            } else {
                result = f();
            }
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard lock(m_mutex);
            call->result = std::move(result);
            call->error = error;
            call->done = true;
        }
        m_served.notify_all();
    });
    KELVORA_TSAN_RELEASE(queued); // for its deletion undelivered
    KELVORA_TSAN_RELEASE(this); // for event(), which reads an event's type before it knows whose it is
    QCoreApplication::postEvent(this, queued);

    std::unique_lock lock(m_mutex);
    m_served.wait(lock, [&] { return call->done || m_aborted; });
    if (!call->done) {
        throw ReadingAborted {};
    }
    if (call->error) {
        std::rethrow_exception(call->error);
    }
    if constexpr (!std::is_void_v<R>) {
        return std::move(*call->result);
    }
}

bool MemoReadingEditor::event(QEvent* event)
{
    KELVORA_TSAN_ACQUIRE(this);
    if (event->type() == QueuedCall::eventType()) {
        static_cast<QueuedCall*>(event)->run();
        return true;
    }
    return QObject::event(event);
}

const AnsiIndex& MemoReadingEditor::memo1Index()
{
    if (!m_indexValid) {
        m_index = AnsiIndex(m_memo1->toPlainText());
        m_indexValid = true;
    }
    return m_index;
}

void MemoReadingEditor::select(QPlainTextEdit* edit, const AnsiIndex& index, int start, int length)
{
    const int from = index.charPosition(std::clamp(start, 0, index.length()));
    const int to = std::max(from, index.charPosition(std::clamp(start + std::max(0, length), 0, index.length())));
    // The thread scrolls the view itself, one line at a time; selecting must not jump it.
    // The edit brings a new selection into view; the bars announce nothing meanwhile, and the view is
    // then put back where it was before anything is painted.
    QScrollBar* vbar = edit->verticalScrollBar();
    QScrollBar* hbar = edit->horizontalScrollBar();
    const int vertical = vbar->value();
    const int horizontal = hbar->value();
    {
        const QSignalBlocker blockV(vbar);
        const QSignalBlocker blockH(hbar);
        QTextCursor cursor = edit->textCursor();
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        edit->setTextCursor(cursor);
    }
    if (vbar->value() != vertical) {
        vbar->setValue(vertical);
    }
    if (hbar->value() != horizontal) {
        hbar->setValue(horizontal);
    }
}

int MemoReadingEditor::displayLineOf(int charPos)
{
    QTextDocument* doc = m_memo1->document();
    QAbstractTextDocumentLayout* layout = doc->documentLayout();
    int line = 0;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        layout->blockBoundingRect(block); // lays the block out if it has not been yet
        const QTextLayout* text = block.layout();
        const int lines = std::max(1, text->lineCount());
        if (charPos < block.position() + block.length() || !block.next().isValid()) {
            const int inBlock = std::clamp(charPos - block.position(), 0, std::max(0, block.length() - 1));
            const QTextLine at = text->lineForTextPosition(inBlock);
            return line + (at.isValid() ? at.lineNumber() : lines - 1);
        }
        line += lines;
    }
    return line;
}

int MemoReadingEditor::displayLineCount()
{
    QTextDocument* doc = m_memo1->document();
    QAbstractTextDocumentLayout* layout = doc->documentLayout();
    int count = 0;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        if (!block.next().isValid() && block.length() <= 1 && block != doc->begin()) {
            break; // an empty last line does not count
        }
        layout->blockBoundingRect(block);
        count += std::max(1, block.layout()->lineCount());
    }
    return count;
}

int MemoReadingEditor::firstCharOfLine(int line)
{
    if (line < 0) {
        return -1;
    }
    QTextDocument* doc = m_memo1->document();
    QAbstractTextDocumentLayout* layout = doc->documentLayout();
    int first = 0;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        layout->blockBoundingRect(block);
        const QTextLayout* text = block.layout();
        const int lines = std::max(1, text->lineCount());
        if (line < first + lines) {
            const QTextLine at = text->lineCount() > 0 ? text->lineAt(line - first) : QTextLine();
            return block.position() + (at.isValid() ? at.textStart() : 0);
        }
        first += lines;
    }
    return -1;
}

QString MemoReadingEditor::text()
{
    return onMainThread([this] { return memo1Index().text(); });
}

int MemoReadingEditor::selectionStart()
{
    return onMainThread([this] { return memo1Index().byteOffset(m_memo1->textCursor().selectionStart()); });
}

QString MemoReadingEditor::selectedText()
{
    return onMainThread([this] {
        const QTextCursor cursor = m_memo1->textCursor();
        return memo1Index().text().mid(cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart());
    });
}

void MemoReadingEditor::setSelection(int start, int length)
{
    onMainThread([this, start, length] { select(m_memo1, memo1Index(), start, length); });
}

void MemoReadingEditor::focusEditor()
{
    onMainThread([this] { m_memo1->setFocus(); });
}

int MemoReadingEditor::lineFromPosition(int position)
{
    return onMainThread([this, position] {
        const AnsiIndex& index = memo1Index();
        return displayLineOf(index.charPosition(std::clamp(position, 0, index.length())));
    });
}

int MemoReadingEditor::lineCount()
{
    return onMainThread([this] { return displayLineCount(); });
}

int MemoReadingEditor::firstPositionOfLine(int line)
{
    return onMainThread([this, line] {
        const int first = firstCharOfLine(line);
        return first < 0 ? -1 : memo1Index().byteOffset(first);
    });
}

void MemoReadingEditor::scrollOneLineDown()
{
    // The vertical scroll bar of a plain text edit counts display lines.
    onMainThread([this] {
        QScrollBar* bar = m_memo1->verticalScrollBar();
        bar->setValue(bar->value() + 1);
    });
}

QString MemoReadingEditor::voiceName()
{
    return onMainThread([this] { return m_voiceList->currentText(); });
}

QString MemoReadingEditor::memo2Range(int start, int length)
{
    return onMainThread([this, start, length] {
        const AnsiIndex index(m_memo2->toPlainText());
        select(m_memo2, index, start, length);
        const QTextCursor cursor = m_memo2->textCursor();
        return index.text().mid(cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart());
    });
}

void MemoReadingEditor::enableControls()
{
    onMainThread([this] {
        if (m_btnEnable) {
            m_btnEnable();
        }
    });
}

int MemoReadingEditor::caretLine()
{
    return displayLineOf(m_memo1->textCursor().selectionStart());
}

int MemoReadingEditor::caretColumn()
{
    const AnsiIndex& index = memo1Index();
    const int caret = m_memo1->textCursor().selectionStart();
    const int first = std::max(0, firstCharOfLine(displayLineOf(caret)));
    return index.byteOffset(caret) - index.byteOffset(first);
}
