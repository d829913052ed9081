#include "ansi.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace Ansi {

namespace {
    // Bytes of the code point starting at text[i] and how many UTF-16 units it takes.
    int charBytes(const QString& text, int i, int* units)
    {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            *units = 2;
            return 4; // GB18030 four-byte sequence
        }
        *units = 1;
        if (c < 0x80) {
            return 1;
        }
        // GB18030 codes every BMP character outside GBK in four bytes.
        static thread_local QStringEncoder encoder("GB18030");
        const QChar ch(c);
        return static_cast<int>(QByteArray(encoder.encode(QStringView(&ch, 1))).size());
    }
} // namespace

QByteArray encode(const QString& text)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

QString decode(const QByteArray& bytes)
{
    QStringDecoder decoder("GB18030");
    return decoder.decode(bytes);
}

int length(const QString& text)
{
    return byteOffset(text, static_cast<int>(text.size()));
}

int byteOffset(const QString& text, int charPos)
{
    int bytes = 0;
    const int end = qMin(charPos, static_cast<int>(text.size()));
    for (int i = 0; i < end;) {
        int units = 1;
        bytes += charBytes(text, i, &units);
        i += units;
    }
    return bytes;
}

int charPosition(const QString& text, int bytes)
{
    int offset = 0;
    int i = 0;
    while (i < text.size()) {
        int units = 1;
        const int n = charBytes(text, i, &units);
        if (offset + n > bytes) {
            break;
        }
        offset += n;
        i += units;
    }
    return i;
}

QString left(const QString& text, int bytes)
{
    return text.left(charPosition(text, qMax(0, bytes)));
}

QString mid(const QString& text, int byteStart, int bytes)
{
    const int start = charPosition(text, qMax(0, byteStart));
    const QString rest = text.mid(start);
    return left(rest, bytes);
}

} // namespace Ansi
