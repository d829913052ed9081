#pragma once

#include "exporttable.h"

#include <QByteArray>
#include <QString>

// The five file formats of the roster export. Every format holds the caption row first, then one
// row per record; texts are bytes of the ANSI code page (GB18030).
enum class ExportFormat { Xls, Txt, Csv, Html, Rtf };

namespace ExportWriters {

// A minimal BIFF worksheet stream. Throws RuntimeError when the table has more rows or columns
// than a worksheet holds (65536 rows, 256 columns).
QByteArray xls(const ExportTable& table);
// Tab-separated; CR LF between rows, none after the last. A tab or line break inside a value
// would start a new cell or row, so it becomes one blank.
QByteArray txt(const ExportTable& table);
// Semicolon-separated; every caption and value quoted, quotes doubled. Values keep their line breaks.
QByteArray csv(const ExportTable& table);
// An HTML 3.2 page declaring its encoding, titled with the grid's name, holding one table.
QByteArray html(const ExportTable& table);
// An RTF document with one table laid out like the grid (its font and column widths).
QByteArray rtf(const ExportTable& table);

QByteArray render(ExportFormat format, const ExportTable& table);

// Writes the file all at once: a failure leaves any earlier file untouched and no half file
// behind. Throws RuntimeError naming the file.
void write(const QString& path, ExportFormat format, const ExportTable& table);

} // namespace ExportWriters
