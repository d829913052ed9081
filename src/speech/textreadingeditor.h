#pragma once

#include "ansiindex.h"
#include "readingeditor.h"

#include <QString>

#include <mutex>

// An editor without a window: a text, its selection, and lines ended by line breaks. What the reading
// rules work on where no window shows the text (a rendered reading, tests of the rules). Safe from the
// speaking thread and the main thread at once.
class TextReadingEditor : public ReadingEditor
{
public:
    explicit TextReadingEditor(const QString& text = QString());

    void setText(const QString& text);
    // The second buffer a Memo2 voice reads (empty by default).
    void setMemo2(const QString& text);
    void setVoiceName(const QString& name);
    // Times enableControls() was called.
    int enableControlsCalls() const;

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

    // The selection in bytes.
    int selectionLength() const;

private:
    mutable std::mutex m_mutex;
    AnsiIndex m_text;
    AnsiIndex m_memo2;
    QString m_voiceName;
    int m_start = 0;
    int m_length = 0;
    int m_enabled = 0;
};
