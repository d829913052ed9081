#pragma once

#include "ansiindex.h"
#include "readingeditor.h"

#include <QObject>

#include <condition_variable>
#include <functional>
#include <mutex>

class QComboBox;
class QPlainTextEdit;

// Serves the speaking thread's editor calls on Memo1, Memo2 and the voice list on the main thread.
// A call from the thread is queued to the main thread and waited for; abort() releases every waiting
// call (the program is ending and the main thread no longer serves them).
class MemoReadingEditor final : public QObject, public ReadingEditor
{
    Q_OBJECT
public:
    MemoReadingEditor(QPlainTextEdit* memo1, QPlainTextEdit* memo2, QComboBox* voiceList,
                      std::function<void()> btnEnable, QObject* parent = nullptr);
    ~MemoReadingEditor() override;

    void abort();

    QString text() override;
    int selectionStart() override;
    QString selectedText() override;
    void setSelection(int start, int length) override;
    void focusEditor() override;
    int lineFromPosition(int position) override;
    int lineCount() override;
    int firstPositionOfLine(int line) override;
    void scrollOneLineDown() override;
    QString voiceName() override;
    QString memo2Range(int start, int length) override;
    void enableControls() override;

    // The same queries for the main thread's own use (the caret position in the status bar).
    int caretLine();
    int caretColumn();

protected:
    bool event(QEvent* event) override;

private:
    template <typename F> auto onMainThread(F f) -> decltype(f());

    const AnsiIndex& memo1Index();
    int displayLineOf(int charPos);
    int displayLineCount();
    int firstCharOfLine(int line);
    static void select(QPlainTextEdit* edit, const AnsiIndex& index, int start, int length);

    QPlainTextEdit* m_memo1;
    QPlainTextEdit* m_memo2;
    QComboBox* m_voiceList;
    std::function<void()> m_btnEnable;

    AnsiIndex m_index; // Memo1's text, rebuilt after each change
    bool m_indexValid = false;

    std::mutex m_mutex;
    std::condition_variable m_served;
    bool m_aborted = false;
};
