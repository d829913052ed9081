#pragma once

#include <QByteArray>
#include <QtGlobal>

// Little-endian bytes built by hand, as binary formats (BIFF records, zip headers) store numbers.
QByteArray le16(int value);
QByteArray le32(quint32 value);
