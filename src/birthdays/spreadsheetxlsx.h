#pragma once

#include "spreadsheet.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>

class Clock;
class Desktop;

// The spreadsheet application of this platform: keeps every call's effect, and on release() writes
// the workbook as an .xlsx file (libxlsxwriter) into the temporary folder and hands it to the
// desktop's spreadsheet program. The window state has no meaning for a file and is only kept.
class XlsxSpreadsheet final : public SpreadsheetAutomation
{
public:
    // desktop opens a workbook that is made visible (the application's window).
    // clock (may be null: the machine's) stamps the workbook.
    explicit XlsxSpreadsheet(Desktop& desktop, const Clock* clock = nullptr);
    ~XlsxSpreadsheet() override;
    Q_DISABLE_COPY_MOVE(XlsxSpreadsheet)

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

    // Writes the workbook to the path without showing it (release() uses it; so do tests).
    // Throws RuntimeError naming the file.
    void saveAs(const QString& path) const;
    // The file the last release() wrote.
    QString lastFile() const { return m_lastFile; }

    struct Style
    {
        QString fontName;
        bool bold = false;
        double fontSize = 0; // 0: the application's default
        int alignment = 0; // 0: general
        bool wrap = false;
        int lineStyle[4] = { 0, 0, 0, 0 }; // left, right, top, bottom
        int weight[4] = { 0, 0, 0, 0 };
        bool operator==(const Style&) const = default;
    };

private:
    struct Cell
    {
        std::optional<QString> value;
        Style style;
    };
    struct Row
    {
        double height = -1;
        std::optional<Style> style;
    };

    void requireSheet() const;
    template <typename Change> void applyStyle(const SheetRange& range, Change change);
    void reset();

    Desktop& m_desktop;
    const Clock* m_clock;
    bool m_started = false;
    bool m_workbook = false;
    bool m_sheet = false;
    bool m_visible = false;
    int m_windowState = 0;
    QMap<QPair<int, int>, Cell> m_cells; // (row, column) from 1
    QMap<int, Row> m_rows;
    QList<SheetRange> m_merges;
    QHash<int, QVariant> m_pageSetup;
    QString m_lastFile;
};
