#include "textreadingeditor.h"

#include <QtGlobal>

TextReadingEditor::TextReadingEditor(const QString& text)
    : m_text(text)
{
}

void TextReadingEditor::setText(const QString& text)
{
    std::lock_guard lock(m_mutex);
    m_text = AnsiIndex(text);
    m_start = qBound(0, m_start, m_text.length());
    m_length = qBound(0, m_length, m_text.length() - m_start);
}

void TextReadingEditor::setMemo2(const QString& text)
{
    std::lock_guard lock(m_mutex);
    m_memo2 = AnsiIndex(text);
}

void TextReadingEditor::setVoiceName(const QString& name)
{
    std::lock_guard lock(m_mutex);
    m_voiceName = name;
}

int TextReadingEditor::enableControlsCalls() const
{
    std::lock_guard lock(m_mutex);
    return m_enabled;
}

QString TextReadingEditor::text()
{
    std::lock_guard lock(m_mutex);
    return m_text.text();
}

int TextReadingEditor::selectionStart()
{
    std::lock_guard lock(m_mutex);
    return m_start;
}

int TextReadingEditor::selectionLength() const
{
    std::lock_guard lock(m_mutex);
    return m_length;
}

QString TextReadingEditor::selectedText()
{
    std::lock_guard lock(m_mutex);
    const int from = m_text.charPosition(m_start);
    return m_text.text().mid(from, m_text.charPosition(m_start + m_length) - from);
}

void TextReadingEditor::setSelection(int start, int length)
{
    std::lock_guard lock(m_mutex);
    // A position inside a character means that character's start.
    m_start = m_text.byteOffset(m_text.charPosition(qBound(0, start, m_text.length())));
    const int end = m_text.byteOffset(m_text.charPosition(qBound(m_start, start + qMax(0, length), m_text.length())));
    m_length = end - m_start;
}

void TextReadingEditor::focusEditor() { }

int TextReadingEditor::lineFromPosition(int position)
{
    std::lock_guard lock(m_mutex);
    return int(m_text.text().left(m_text.charPosition(position)).count(QLatin1Char('\n')));
}

int TextReadingEditor::lineCount()
{
    std::lock_guard lock(m_mutex);
    const QString& text = m_text.text();
    return int(text.count(QLatin1Char('\n'))) + (text.endsWith(QLatin1Char('\n')) ? 0 : 1);
}

int TextReadingEditor::firstPositionOfLine(int line)
{
    std::lock_guard lock(m_mutex);
    const QString& text = m_text.text();
    int pos = 0;
    for (int n = 0; n < line; ++n) {
        pos = int(text.indexOf(QLatin1Char('\n'), pos));
        if (pos < 0) {
            return -1;
        }
        ++pos;
    }
    return m_text.byteOffset(pos);
}

void TextReadingEditor::scrollOneLineDown() { }

QString TextReadingEditor::voiceName()
{
    std::lock_guard lock(m_mutex);
    return m_voiceName;
}

QString TextReadingEditor::memo2Range(int start, int length)
{
    std::lock_guard lock(m_mutex);
    const int from = m_memo2.charPosition(qBound(0, start, m_memo2.length()));
    const int to = m_memo2.charPosition(qBound(0, start + qMax(0, length), m_memo2.length()));
    return m_memo2.text().mid(from, to - from);
}

void TextReadingEditor::enableControls()
{
    std::lock_guard lock(m_mutex);
    ++m_enabled;
}
