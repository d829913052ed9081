#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class QAbstractItemModel;

// One value of an export as the data layer displays it, with the typed value the spreadsheet formats keep.
struct ExportCell
{
    enum class Type { Missing, Integer, Float, Text, Date };

    Type type = Type::Missing;
    QString text; // the displayed text; empty when missing
    qint64 integer = 0; // Type::Integer
    double real = 0; // Type::Float
    QDate date; // Type::Date; its text is "yyyy-MM-dd"

    static ExportCell missing() { return {}; }
    static ExportCell fromText(const QString& text) { return { Type::Text, text, 0, 0, {} }; }
    static ExportCell fromInteger(qint64 value);
    static ExportCell fromReal(double value);
    static ExportCell fromDate(const QDate& date);
};

// A grid's contents as the export formats need them, free of widgets: the captions and kinds of the
// shown columns in their order, and every row the grid presents.
struct ExportTable
{
    enum class Kind { Integer, Float, Text };

    struct Column
    {
        QString caption;
        Kind kind = Kind::Text;
        int width = 64; // pixels on screen
    };

    QString name; // the grid's object name (the HTML page's title)
    QString fontFamily = QStringLiteral("宋体");
    double fontPointSize = 9;
    QList<Column> columns;
    QList<QList<ExportCell>> rows; // each holds one cell per column
    QDateTime created; // stamped into formats that record it; invalid: the library's own time
};

// How a view shows a model: which model columns, in which order and width. An empty column list
// takes every column of the model at the default width.
struct ExportLayout
{
    QString name;
    QList<int> columns;
    QList<int> widths;
    QString fontFamily = QStringLiteral("宋体");
    double fontPointSize = 9;
};

// Reads every row the model presents (a filter proxy narrows them; rows still to be fetched are
// fetched), the header captions, and each value as the data layer displays it: integers plainly,
// floating-point values with the system's decimal sign, dates as "yyyy-MM-dd" whatever the locale
// (a time of day other than midnight follows as "HH:mm:ss"). A column's kind comes from the
// database's declared type when the model sits on an SQL table, else from its values; the roster's
// two date columns are dates although the birthday is stored as text.
ExportTable exportTableFromModel(QAbstractItemModel& model, const ExportLayout& layout);
