#pragma once

#include <QByteArray>
#include <QString>

// Text as bytes of the ANSI code page (GB18030, a superset of GBK): lengths and positions count bytes,
// so a Chinese character counts 2. Positions never split a character.
namespace Ansi {

QByteArray encode(const QString& text);
QString decode(const QByteArray& bytes);

// Number of bytes of the text.
int length(const QString& text);
// Bytes of text[0, charPos).
int byteOffset(const QString& text, int charPos);
// The character position at byte offset `bytes`, rounded down to the start of a character.
int charPosition(const QString& text, int bytes);
// At most `bytes` bytes from the start, never splitting a character.
QString left(const QString& text, int bytes);
// At most `bytes` bytes from byte offset `byteStart` on (rounded down to a character start).
QString mid(const QString& text, int byteStart, int bytes);

} // namespace Ansi
