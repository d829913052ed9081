#pragma once

#include <QDate>
#include <QString>

class QSqlTableModel;

// One employee as the roster editor's entry panel gives it.
struct RosterEntry
{
    QString name; // exactly as typed
    QDate birthday;
    QDate indate;
    QString dept;
    QString remark;
    QString pinyin; // the person's own reading in its stored form; empty for none
    bool lunar = false; // the birthday is kept in the Chinese calendar

    // The add check: a name that is not only blanks, and both dates given.
    static bool isComplete(const QString& name, const QString& birthdayText, const QString& indateText);
};

// The roster table's edits, each posted at once. Both throw RuntimeError with the database's text
// when it refuses; the table then holds what it held before.
namespace Roster {
// Appends the employee at the end of the list: the birthday as "yyyy-mm-dd" text, the joining date
// as a date "yyyy-mm-dd", the reading (when the table has its column) or NULL; the id is left to the
// database.
void append(QSqlTableModel* table, const RosterEntry& entry);
void remove(QSqlTableModel* table, int row);
} // namespace Roster
