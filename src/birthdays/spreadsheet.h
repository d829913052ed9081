#pragma once

#include <QString>
#include <QVariant>

// A block of worksheet cells, rows and columns counted from 1 as the spreadsheet application counts
// them. A block of whole rows has no columns (lastColumn 0).
struct SheetRange
{
    int firstRow = 1;
    int firstColumn = 1;
    int lastRow = 1;
    int lastColumn = 1;

    static SheetRange cell(int row, int column) { return { row, column, row, column }; }
    static SheetRange cells(int firstRow, int firstColumn, int lastRow, int lastColumn)
    {
        return { firstRow, firstColumn, lastRow, lastColumn };
    }
    static SheetRange row(int row) { return { row, 0, row, 0 }; }

    bool wholeRows() const { return lastColumn == 0; }
    bool singleCell() const { return !wholeRows() && firstRow == lastRow && firstColumn == lastColumn; }
    bool operator==(const SheetRange&) const = default;
};

// The spreadsheet application as the birthday report drives it: one new workbook, its active
// sheet, and the members the report sets, in the order it calls them. Every call after start()
// may throw RuntimeError with the application's message; the caller then calls quit().
class SpreadsheetAutomation
{
public:
    enum class PageSetup {
        HeaderMargin, // points
        FooterMargin,
        TopMargin,
        BottomMargin,
        LeftMargin,
        RightMargin,
        LeftFooter, // text with the application's & codes
        CenterFooter,
        RightFooter,
        LeftHeader,
        Orientation, // 1 portrait, 2 landscape
        PrintTitleRows // "$1:$1"
    };

    virtual ~SpreadsheetAutomation();

    // Starts the application; false when there is none to start.
    virtual bool start() = 0;
    virtual void addWorkbook() = 0; // workbooks.add
    virtual void setVisible(bool visible) = 0; // visible
    virtual void activeSheet() = 0; // activesheet: later calls work on it
    virtual void setWindowState(int state) = 0; // activewindow.windowstate
    virtual void merge(const SheetRange& range) = 0; // range(...).MERGE
    virtual void setValue(const SheetRange& cell, const QString& value) = 0;
    virtual void setHorizontalAlignment(const SheetRange& range, int alignment) = 0; // -4108 centred
    virtual void setRowHeight(const SheetRange& rows, double points) = 0;
    virtual void setWrapText(const SheetRange& range, bool wrap) = 0;
    virtual void setPageSetup(PageSetup member, const QVariant& value) = 0;
    virtual void setFontName(const SheetRange& range, const QString& name) = 0;
    virtual void setFontBold(const SheetRange& range, bool bold) = 0;
    virtual void setFontSize(const SheetRange& range, double points) = 0;
    // borders(index): 1 left, 2 right, 3 top, 4 bottom of every cell of the range.
    virtual void setBorderLineStyle(const SheetRange& range, int index, int lineStyle) = 0;
    virtual void setBorderWeight(const SheetRange& range, int index, int weight) = 0;
    // Lets go of the sheet and the application, which stays open showing the workbook. False when
    // no application could show it.
    virtual bool release() = 0;
    // Ends the application, discarding the workbook. Never throws.
    virtual void quit() noexcept = 0;

    // The member's name as the application spells it ("headerMargin", "printtitlerows" ...).
    static QString memberName(PageSetup member);
};
