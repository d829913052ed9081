#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

// One cell of a file read for the roster import.
struct SheetCell
{
    enum class Type { Empty, Text, Number, Date };

    Type type = Type::Empty;
    QString text; // what the cell shows (a number's shortest form, a date's yyyy-MM-dd)
    double number = 0; // Type::Number
    QDate date; // Type::Date: the workbook formats the cell as a date

    bool isEmpty() const { return type == Type::Empty || (type == Type::Text && text.trimmed().isEmpty()); }
    static SheetCell fromText(const QString& text);
    static SheetCell fromNumber(double number);
    static SheetCell fromDate(const QDate& date);
};

// The first worksheet of a workbook, or a delimited text file, as rows of cells.
struct ImportSheet
{
    QString format; // "CSV", "TXT", "XLS", "XLSX"
    QString encoding; // text files: "UTF-8", "UTF-16", "GB18030", "GBK"
    QChar separator; // text files: tab, semicolon or comma
    bool date1904 = false; // a workbook counting its date numbers from 1904
    QString note; // what the reader could not see, for the user (empty when nothing)
    QList<QList<SheetCell>> rows;

    int columnCount() const;
    const SheetCell& cell(int row, int column) const;
};

// Readers of the files the roster import takes. Each throws RuntimeError with a message for the
// user (what is wrong with the file, never a library's code alone) and reads nothing half.
namespace ImportReaders {

// Chooses the reader by the file's first bytes (an OLE2 container, a zip archive, a bare BIFF
// stream, else text); a .xls or .xlsx name on something else is refused.
ImportSheet read(const QString& path);

// Text separated by tabs, semicolons or commas (detected), in UTF-8 or UTF-16 with a byte-order
// mark, or without one in UTF-8, GB18030 or code page 936 (tried in that order). Quoted fields may
// hold separators, doubled quotes and line breaks; a quote left open is refused.
ImportSheet delimited(const QByteArray& bytes);
// The bare BIFF stream of a worksheet (what the roster export writes): BOF, CODEPAGE, LABEL, RK,
// MULRK, NUMBER, BLANK, EOF; other records are passed over. Texts without a CODEPAGE record are
// taken as GB18030.
ImportSheet biff(const QByteArray& bytes);
// A spreadsheet in its OLE2 container, through libfreexl: the first worksheet holding anything.
ImportSheet xls(const QString& path);
// An Office Open XML workbook: the first sheet, its shared and inline strings, numbers, dates by
// their number formats, cached results of formulas, merged cells filled from their first cell.
ImportSheet xlsx(const QString& path);

// The day a spreadsheet's date number stands for (its fraction, the time, ignored); invalid when
// the number is no day (before the system's first day, beyond 9999, or the 29 February 1900 that
// the 1900 system counts).
QDate serialDate(double serial, bool date1904);

} // namespace ImportReaders
