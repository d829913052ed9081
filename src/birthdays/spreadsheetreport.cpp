#include "spreadsheetreport.h"

#include "common/dialogs.h"
#include "common/runtimeerror.h"
#include "spreadsheet.h"

#include <exception>

namespace {

const int xlCenter = -4108;

void plainBox(Dialogs& dialogs, const QString& text)
{
    dialogs.message(Dialogs::Icon::None, QStringLiteral("Kelvora"), text, Dialogs::Buttons::Ok);
}

// Leading and trailing blanks and control characters go, as the spreadsheet's own trim does.
QString trimmed(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= ' ') {
        ++begin;
    }
    while (end > begin && text.at(end - 1).unicode() <= ' ') {
        --end;
    }
    return text.mid(begin, end - begin);
}

void fill(SpreadsheetAutomation& app, const QString& title, const QList<QStringList>& rows, int columns,
          int dataFontSize)
{
    using PageSetup = SpreadsheetAutomation::PageSetup;
    const int rowCount = int(rows.size());

    app.addWorkbook();
    app.setVisible(false);
    app.activeSheet();
    app.setWindowState(2);

    app.merge(SheetRange::cells(1, 1, 1, columns));
    app.setValue(SheetRange::cell(1, 1), title);
    app.setHorizontalAlignment(SheetRange::cell(1, 1), xlCenter);

    for (int g = 0; g < rowCount; ++g) {
        const int w = g + 2;
        const QStringList& cells = rows.at(g);
        for (int c = 1; c <= columns; ++c) {
            app.setValue(SheetRange::cell(w, c), trimmed(cells.value(c - 1)));
        }
        app.setRowHeight(SheetRange::row(w), 18);
    }
    const int below = rowCount + 2;

    app.setVisible(true);

    const SheetRange note = SheetRange::cells(below, 1, below, 13);
    app.setWrapText(note, true);
    app.setHorizontalAlignment(note, xlCenter);

    // Margins in points: 1.0, 0.6, 1.0, 1.3, 0.5 and 0.5 centimetres as the sheet was laid out
    // (divided by 0.035), written as the exact values the application has always received.
    app.setPageSetup(PageSetup::HeaderMargin, 28.571428571428573);
    app.setPageSetup(PageSetup::FooterMargin, 17.142857142857142);
    app.setPageSetup(PageSetup::TopMargin, 28.571428571428573);
    app.setPageSetup(PageSetup::BottomMargin, 37.142857142857146);
    app.setPageSetup(PageSetup::LeftMargin, 14.285714285714286);
    app.setPageSetup(PageSetup::RightMargin, 14.285714285714286);
    app.setPageSetup(PageSetup::LeftFooter, QStringLiteral("制表: "));
    app.setPageSetup(PageSetup::CenterFooter, QString());
    app.setPageSetup(PageSetup::RightFooter, QStringLiteral("第&P页/共&N页"));
    app.setPageSetup(PageSetup::LeftHeader, QString());
    app.setPageSetup(PageSetup::Orientation, 1);
    app.setPageSetup(PageSetup::PrintTitleRows, QStringLiteral("$1:$1"));

    const SheetRange titleRow = SheetRange::row(1);
    app.setFontName(titleRow, QStringLiteral("宋体"));
    app.setFontBold(titleRow, true);
    app.setFontSize(titleRow, 20);
    app.setRowHeight(titleRow, 28);

    const SheetRange table = SheetRange::cells(2, 1, rowCount + 1, columns);
    for (int index = 1; index <= 4; ++index) {
        app.setBorderLineStyle(table, index, 1);
        app.setBorderWeight(table, index, 1);
    }
    app.setFontSize(table, dataFontSize);
    app.setWrapText(table, true);
}

} // namespace

void exportRowsToSpreadsheet(SpreadsheetAutomation* automation, Dialogs& dialogs, const QString& title,
                             const QList<QStringList>& rows, int columnCount, int dataFontSize)
{
    static const QString notFound = QStringLiteral("not found excel in your system, so can not create file!");
    bool started = false;
    try {
        started = automation && automation->start();
    } catch (const std::exception&) {
        started = false;
    }
    if (!started) {
        plainBox(dialogs, notFound);
        return;
    }

    QString failure;
    bool shown = false;
    try {
        // A grid always has a column; an empty one still gets a one-column sheet.
        fill(*automation, title, rows, qMax(1, columnCount), dataFontSize);
        shown = automation->release();
    } catch (const RuntimeError& error) {
        failure = error.message();
    } catch (const std::exception& error) {
        failure = QString::fromLocal8Bit(error.what());
    }
    if (!failure.isNull()) {
        automation->quit();
        plainBox(dialogs, QStringLiteral("出现错误:") + failure);
    } else if (!shown) {
        plainBox(dialogs, notFound);
    }
}
