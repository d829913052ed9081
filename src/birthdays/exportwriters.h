#pragma once

#include "exporttable.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The file formats of the roster export: the five of the export window's first options, then the
// workbook and the CSV that spreadsheet programs open without asking. Every format holds the
// caption row first, then one row per record. TXT, CSV and XLS hold bytes of code page 936 (GBK),
// HTML declares GB18030, RTF is code page 936 with \uN for the rest of Unicode, XLSX and CSV UTF-8
// hold Unicode.
enum class ExportFormat { Xls, Txt, Csv, Html, Rtf, Xlsx, CsvUtf8 };

// A value the file could not hold as it is. Row -1 is the caption row, else a record's index.
struct ExportAlteration
{
    enum Reason {
        Replaced = 1, // characters outside the file's code page became "?"
        Cut = 2, // longer than a cell of the format holds
        Flattened = 4, // tabs and line breaks became blanks
        Dropped = 8, // control characters that are no text were left out
    };

    int row = 0;
    int column = 0;
    int reasons = 0;
    QString written; // what the file holds instead
};
using ExportAlterations = QList<ExportAlteration>;

namespace ExportWriters {

// A minimal BIFF worksheet stream with its code page (936) after BOF. A text longer than a LABEL's
// 255 bytes is cut there. Throws RuntimeError when the table has more rows or columns than a
// worksheet holds (65536 rows, 256 columns).
QByteArray xls(const ExportTable& table, ExportAlterations* altered = nullptr);
// Tab-separated; CR LF between rows, none after the last. A tab or line break inside a value
// would start a new cell or row, so it becomes one blank. A value that opens with a quotation mark
// is quoted (its quotes doubled), as readers of such files expect.
QByteArray txt(const ExportTable& table, ExportAlterations* altered = nullptr);
// Semicolon-separated; every caption and value quoted, quotes doubled. Values keep their line breaks.
QByteArray csv(const ExportTable& table, ExportAlterations* altered = nullptr);
// Comma-separated UTF-8 behind a byte-order mark, quoted as csv().
QByteArray csvUtf8(const ExportTable& table);
// An HTML 3.2 page declaring its encoding, titled with the grid's name, holding one table.
QByteArray html(const ExportTable& table);
// An RTF document with one table laid out like the grid (its font and column widths).
QByteArray rtf(const ExportTable& table, ExportAlterations* altered = nullptr);
// An .xlsx workbook of one sheet: a bold caption row, dates as dates shown yyyy-mm-dd, numbers as
// numbers, columns as wide as their contents. A text beyond a cell's 32767 characters is cut.
// Throws RuntimeError when the library fails.
QByteArray xlsx(const ExportTable& table, ExportAlterations* altered = nullptr);

struct Rendered
{
    QByteArray bytes;
    ExportAlterations altered;
};
Rendered render(ExportFormat format, const ExportTable& table);

// Writes the file all at once: a failure leaves any earlier file untouched and no half file
// behind. Returns the values the format could not hold as they are. Throws RuntimeError naming
// the file.
ExportAlterations write(const QString& path, ExportFormat format, const ExportTable& table);

// What the user is told after writing a file whose values were altered: which records and columns,
// and what the file holds instead (the first ones; a count of the rest).
QString alterationNotice(const QString& path, const ExportTable& table, const ExportAlterations& altered);

// "xls", "txt", "csv", "csv-utf8", "html", "rtf", "xlsx": the command line's names.
QString formatName(ExportFormat format);
std::optional<ExportFormat> formatFromName(const QString& name);
// The format a file name's suffix stands for (a .csv is the semicolon CSV in code page 936).
std::optional<ExportFormat> formatFromSuffix(const QString& path);

} // namespace ExportWriters
