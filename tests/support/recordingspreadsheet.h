#pragma once

#include "birthdays/spreadsheet.h"

#include <QStringList>

// Records every automation call as one line in the application's own spelling
// ("cells(2,1).value=姓名", "rows(1).font.bold=true") and answers as the test sets.
class RecordingSpreadsheet final : public SpreadsheetAutomation
{
public:
    bool start() override;
    void addWorkbook() override;
    void setVisible(bool visible) override;
    void activeSheet() override;
    void setWindowState(int state) override;
    void merge(const SheetRange& range) override;
    void setValue(const SheetRange& cell, const QString& value) override;
    void setHorizontalAlignment(const SheetRange& range, int alignment) override;
    void setRowHeight(const SheetRange& rows, double points) override;
    void setWrapText(const SheetRange& range, bool wrap) override;
    void setPageSetup(PageSetup member, const QVariant& value) override;
    void setFontName(const SheetRange& range, const QString& name) override;
    void setFontBold(const SheetRange& range, bool bold) override;
    void setFontSize(const SheetRange& range, double points) override;
    void setBorderLineStyle(const SheetRange& range, int index, int lineStyle) override;
    void setBorderWeight(const SheetRange& range, int index, int weight) override;
    bool release() override;
    void quit() noexcept override;

    static QString describe(const SheetRange& range);

    QStringList calls;
    bool startResult = true;
    bool releaseResult = true;
    // The first call whose line starts with this text throws RuntimeError(failMessage).
    QString failOn;
    QString failMessage = QStringLiteral("failure");

private:
    void record(const QString& call);
};
