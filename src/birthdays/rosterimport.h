#pragma once

#include "importsheet.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

// Which column of the sheet feeds each roster column, and which row holds the captions.
struct ImportMapping
{
    int headerRow = -1; // -1: none; the people start on the row after it
    QList<int> columns; // by roster column (RosterColumns): a column of the sheet, or -1

    int sheetColumn(int rosterColumn) const { return columns.value(rosterColumn, -1); }
    int firstDataRow() const { return headerRow + 1; }
};

// People already in the roster, by name (without surrounding blanks) and date of birth.
using RosterKeys = QHash<QString, qint64>;

// What becomes of one row of the sheet.
struct ImportRow
{
    enum class Action { Add, Update, Skip, Refuse };

    int sheetRow = 0; // from 0
    Action action = Action::Refuse;
    QString reason; // Skip and Refuse: why, for the user
    qint64 existingId = -1; // Update and Skip of somebody already in the roster
    // By roster column: the text to store (dates "yyyy-MM-dd"); null when the column is not read or
    // its cell is empty.
    QList<QVariant> values;

    QString name() const;
};

struct ImportPlan
{
    enum class Duplicates { Skip, Update };

    QList<ImportRow> rows; // every data row that is not empty, in the sheet's order
    int added = 0;
    int updated = 0;
    int skipped = 0; // rows refused and duplicates skipped

    // Something would be written.
    bool writes() const { return added + updated > 0; }
    // Some row could be taken: added, updated, or skipped only because it is already there.
    bool takesAnything() const;
    // "新增 3 人，更新 1 人，跳过 2 行。"
    QString summary() const;
    // One line per row skipped or refused: "第 5 行（张三）：没有生日".
    QStringList skippedLines() const;
};

// The rules of the roster import, free of windows: guessing the mapping, judging every row, and
// writing the people in one transaction.
namespace RosterImport {

// The caption row among the first rows (captions in Chinese or English, as the roster's columns
// and their usual other names), and the columns they name. Without captions nothing is mapped.
ImportMapping guessMapping(const ImportSheet& sheet);
// "A", "B", ... "AA": the sheet's column as spreadsheets name it.
QString columnLetters(int column);

// Normalised for comparing captions: no case, no blanks, underscores, hyphens, dots, colons or brackets.
QString captionKey(const QString& caption);

// The roster's people by name and birthday; throws RuntimeError with the database's text.
RosterKeys rosterKeys(QSqlDatabase db);
QString personKey(const QString& name, const QString& birthday);

// Judges every row. today: births after it are refused.
ImportPlan plan(const ImportSheet& sheet, const ImportMapping& mapping, const RosterKeys& roster, const QDate& today,
                ImportPlan::Duplicates duplicates);

// Plans again on the roster as it is inside one write transaction (another program may have
// changed it meanwhile) and writes that plan: all of it, or on any failure nothing. Waits for a
// lock as the connection's busy timeout says. Returns the plan written; throws RuntimeError.
ImportPlan apply(QSqlDatabase db, const ImportSheet& sheet, const ImportMapping& mapping, const QDate& today,
                 ImportPlan::Duplicates duplicates);

// A date of the sheet in any of the usual forms: 2024-03-05, 2024/3/5, 2024.3.5, 2024年3月5日,
// 20240305, 5/3/2024 or 3/5/2024 (the order decided by the column's other values), with a time
// after it, or a spreadsheet's date number. An invalid date and a problem text when it is none.
struct DateReading
{
    QDate date;
    QString problem;
};
enum class DayOrder { Unknown, MonthFirst, DayFirst, Mixed };
DateReading readDate(const SheetCell& cell, bool date1904, DayOrder order);
// How the column writes day and month where a date reads "a/b/yyyy".
DayOrder dayOrder(const ImportSheet& sheet, int column, int fromRow);

} // namespace RosterImport
