#include "littleendian.h"

#include <QString>

QByteArray le16(int value)
{
    const char bytes[2] = { char(value & 0xFF), char((value >> 8) & 0xFF) };
    return QByteArray(bytes, 2);
}

QByteArray le32(quint32 value)
{
    return le16(int(value & 0xFFFF)) + le16(int(value >> 16));
}
