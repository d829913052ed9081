#pragma once

#include "exporttable.h"

#include <QString>

class Dialogs;
class QAbstractItemView;
class QTableWidget;
class SpreadsheetAutomation;

// How the view shows its model: the shown columns in their on-screen order and widths, the view's
// object name and font.
ExportLayout exportLayoutOf(const QAbstractItemView& view);
// The view's model as the view shows it (every row the model or its filter presents; a selection
// does not narrow it).
ExportTable exportTableOf(const QAbstractItemView& view);

// The birthday-list report of a string grid: all its columns (hidden ones too) and its title row
// first, then every row. Shows its own messages.
void ExportGridToExcel(SpreadsheetAutomation* automation, Dialogs& dialogs, const QString& title,
                       const QTableWidget& grid, int dataFontSize);
