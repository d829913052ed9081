#pragma once

#include <QString>

// The speaking thread's only way to the editor Memo1, its hidden copy Memo2 and the voice list. The
// main window's side serves every call on the main thread and returns when it has been served.
// Positions and lengths count ANSI (GB18030) bytes; a position inside a character means that
// character's start. "Lines" are the editor's display lines (a word-wrapped paragraph has several).
// After abort() on the serving side every call throws ReadingAborted, so the thread ends at once.
class ReadingEditor
{
public:
    virtual ~ReadingEditor();

    virtual QString text() = 0;
    virtual int selectionStart() = 0;
    virtual QString selectedText() = 0;
    // Selects [start, start + length), held within the text; length 0 moves the caret. The view
    // does not scroll to it.
    virtual void setSelection(int start, int length) = 0;
    // Gives the editor the focus (range readings).
    virtual void focusEditor() = 0;
    // Zero-based display line holding the position.
    virtual int lineFromPosition(int position) = 0;
    // Display lines; an empty last line is not counted.
    virtual int lineCount() = 0;
    // First position of a display line, -1 beyond the last.
    virtual int firstPositionOfLine(int line) = 0;
    virtual void scrollOneLineDown() = 0;
    // The voice list's text (the chosen voice's name).
    virtual QString voiceName() = 0;
    // Selects the same range in Memo2 and returns its selected text.
    virtual QString memo2Range(int start, int length) = 0;
    // btn_enable: the reading controls become usable again.
    virtual void enableControls() = 0;
};

// Thrown by a ReadingEditor whose serving side has gone (the program is ending).
struct ReadingAborted
{
};
