#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// A text with its ANSI (GB18030) byte positions worked out once, so that the speaking thread and the
// editor can map byte positions and character positions of a large text quickly and exactly.
class AnsiIndex final
{
public:
    AnsiIndex() = default;
    explicit AnsiIndex(const QString& text);

    const QString& text() const { return m_text; }
    // Bytes of the whole text.
    int length() const { return m_offsets.empty() ? 0 : m_offsets.back(); }
    // Bytes of text[0, charPos); charPos is held within the text.
    int byteOffset(int charPos) const;
    // The character position of byte offset `bytes`, rounded down to the start of a character and held
    // within the text.
    int charPosition(int bytes) const;
    // The text of at most maxBytes bytes from byte offset `start` on, never splitting a character.
    QString window(int start, int maxBytes) const;

private:
    QString m_text;
    // m_offsets[i]: bytes before text[i]; the low half of a surrogate pair repeats its high half's
    // offset, so that it is never a boundary of its own.
    std::vector<int> m_offsets;
};
