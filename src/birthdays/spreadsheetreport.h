#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Dialogs;
class SpreadsheetAutomation;

// The birthday-list report: copies a grid (its title row first, then every data row; each row holds
// `columnCount` texts) into a new workbook of the spreadsheet application under a merged title and
// formats it as a printable table. Shows its own messages: "not found excel ..." when no
// application can be started (a null automation counts as none), "出现错误:" + the message when a
// call fails (after telling the application to quit).
void exportRowsToSpreadsheet(SpreadsheetAutomation* automation, Dialogs& dialogs, const QString& title,
                             const QList<QStringList>& rows, int columnCount, int dataFontSize);
