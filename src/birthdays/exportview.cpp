#include "exportview.h"

#include "spreadsheetreport.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QTableView>
#include <QTableWidget>
#include <QTreeView>

namespace {

const QHeaderView* horizontalHeaderOf(const QAbstractItemView& view)
{
    if (const auto* table = qobject_cast<const QTableView*>(&view)) {
        return table->horizontalHeader();
    }
    if (const auto* tree = qobject_cast<const QTreeView*>(&view)) {
        return tree->header();
    }
    return nullptr;
}

double pointSizeOf(const QFont& font)
{
    if (font.pointSizeF() > 0) {
        return font.pointSizeF();
    }
    return font.pixelSize() > 0 ? font.pixelSize() * 72.0 / 96.0 : 9.0;
}

} // namespace

ExportLayout exportLayoutOf(const QAbstractItemView& view)
{
    ExportLayout layout;
    layout.name = view.objectName();
    layout.fontFamily = view.font().family();
    layout.fontPointSize = pointSizeOf(view.font());
    if (const QHeaderView* header = horizontalHeaderOf(view)) {
        for (int visual = 0; visual < header->count(); ++visual) {
            const int logical = header->logicalIndex(visual);
            if (logical < 0 || header->isSectionHidden(logical)) {
                continue;
            }
            layout.columns.append(logical);
            layout.widths.append(header->sectionSize(logical));
        }
    }
    return layout;
}

ExportTable exportTableOf(const QAbstractItemView& view)
{
    if (!view.model()) {
        ExportTable empty;
        empty.name = view.objectName();
        return empty;
    }
    return exportTableFromModel(*view.model(), exportLayoutOf(view));
}

void ExportGridToExcel(SpreadsheetAutomation* automation, Dialogs& dialogs, const QString& title,
                       const QTableWidget& grid, int dataFontSize)
{
    const int columns = grid.columnCount();
    QList<QStringList> rows;
    QStringList titles;
    for (int c = 0; c < columns; ++c) {
        const QTableWidgetItem* item = grid.horizontalHeaderItem(c);
        titles.append(item ? item->text() : grid.model()->headerData(c, Qt::Horizontal).toString());
    }
    rows.append(titles);
    for (int r = 0; r < grid.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < columns; ++c) {
            const QTableWidgetItem* item = grid.item(r, c);
            cells.append(item ? item->text() : QString());
        }
        rows.append(cells);
    }
    exportRowsToSpreadsheet(automation, dialogs, title, rows, columns, dataFontSize);
}
