#include "spreadsheetxlsx.h"

#include "common/clock.h"
#include "common/desktop.h"
#include "common/helpers.h"
#include "common/runtimeerror.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QUrl>

#include <xlsxwriter.h>

namespace {

constexpr int MaxRows = 1048576;
constexpr int MaxColumns = 16384;
constexpr int MaxCellText = 32767;
constexpr double PointsPerInch = 72.0;

void checkRange(const SheetRange& range)
{
    const bool rowsOk = range.firstRow >= 1 && range.lastRow >= range.firstRow && range.lastRow <= MaxRows;
    const bool columnsOk = range.wholeRows()
        || (range.firstColumn >= 1 && range.lastColumn >= range.firstColumn && range.lastColumn <= MaxColumns);
    if (!rowsOk || !columnsOk) {
        throw RuntimeError(QStringLiteral("无效的单元格区域 (%1,%2)-(%3,%4)")
                               .arg(range.firstRow)
                               .arg(range.firstColumn)
                               .arg(range.lastRow)
                               .arg(range.lastColumn));
    }
}

uint8_t alignmentOf(int alignment)
{
    switch (alignment) {
    case 0:
    case 1: // general
        return LXW_ALIGN_NONE;
    case -4108:
        return LXW_ALIGN_CENTER;
    case -4131:
        return LXW_ALIGN_LEFT;
    case -4152:
        return LXW_ALIGN_RIGHT;
    }
    throw RuntimeError(QStringLiteral("不支持的对齐方式 %1").arg(alignment));
}

uint8_t borderOf(int lineStyle, int weight)
{
    const bool medium = weight == -4138;
    const bool thick = weight == 4;
    switch (lineStyle) {
    case 0:
    case -4142: // none
        return LXW_BORDER_NONE;
    case 1: // continuous; hairline and thin both print as a thin line
        return thick ? LXW_BORDER_THICK : medium ? LXW_BORDER_MEDIUM : LXW_BORDER_THIN;
    case -4115:
        return medium ? LXW_BORDER_MEDIUM_DASHED : LXW_BORDER_DASHED;
    case -4118:
        return LXW_BORDER_DOTTED;
    case -4119:
        return LXW_BORDER_DOUBLE;
    case 4:
        return medium ? LXW_BORDER_MEDIUM_DASH_DOT : LXW_BORDER_DASH_DOT;
    }
    throw RuntimeError(QStringLiteral("不支持的边框线型 %1").arg(lineStyle));
}

int borderSlot(int index)
{
    // borders(1..4): left, right, top, bottom of each cell.
    if (index < 1 || index > 4) {
        throw RuntimeError(QStringLiteral("不支持的边框 %1").arg(index));
    }
    return index - 1;
}

QByteArray utf8(const QString& text)
{
    return text.toUtf8();
}

QString headerFooter(const QString& left, const QString& center, const QString& right)
{
    QString text;
    if (!left.isEmpty()) {
        text += QLatin1String("&L") + left;
    }
    if (!center.isEmpty()) {
        text += QLatin1String("&C") + center;
    }
    if (!right.isEmpty()) {
        text += QLatin1String("&R") + right;
    }
    return text;
}

void check(lxw_error error, const QString& path)
{
    if (error != LXW_NO_ERROR) {
        throw RuntimeError(QStringLiteral("无法写入文件 %1：%2").arg(path, QString::fromUtf8(lxw_strerror(error))));
    }
}

QString styleKey(const XlsxSpreadsheet::Style& s)
{
    return QStringLiteral("%1|%2|%3|%4|%5|%6,%7,%8,%9|%10,%11,%12,%13")
        .arg(s.fontName)
        .arg(s.bold)
        .arg(s.fontSize)
        .arg(s.alignment)
        .arg(s.wrap)
        .arg(s.lineStyle[0])
        .arg(s.lineStyle[1])
        .arg(s.lineStyle[2])
        .arg(s.lineStyle[3])
        .arg(s.weight[0])
        .arg(s.weight[1])
        .arg(s.weight[2])
        .arg(s.weight[3]);
}

// One format per distinct style, made on first use.
class Formats
{
public:
    explicit Formats(lxw_workbook* workbook)
        : m_workbook(workbook)
    {
    }

    lxw_format* operator()(const XlsxSpreadsheet::Style& style)
    {
        if (style == XlsxSpreadsheet::Style {}) {
            return nullptr;
        }
        const QString key = styleKey(style);
        if (lxw_format* known = m_formats.value(key)) {
            return known;
        }
        lxw_format* format = workbook_add_format(m_workbook);
        if (!style.fontName.isEmpty()) {
            format_set_font_name(format, utf8(style.fontName).constData());
        }
        if (style.bold) {
            format_set_bold(format);
        }
        if (style.fontSize > 0) {
            format_set_font_size(format, style.fontSize);
        }
        if (style.alignment != 0) {
            format_set_align(format, alignmentOf(style.alignment));
        }
        if (style.wrap) {
            format_set_text_wrap(format);
        }
        format_set_left(format, borderOf(style.lineStyle[0], style.weight[0]));
        format_set_right(format, borderOf(style.lineStyle[1], style.weight[1]));
        format_set_top(format, borderOf(style.lineStyle[2], style.weight[2]));
        format_set_bottom(format, borderOf(style.lineStyle[3], style.weight[3]));
        m_formats.insert(key, format);
        return format;
    }

private:
    lxw_workbook* m_workbook;
    QHash<QString, lxw_format*> m_formats;
};

} // namespace

XlsxSpreadsheet::XlsxSpreadsheet(Desktop& desktop, const Clock* clock)
    : m_desktop(desktop)
    , m_clock(clock)
{
}
XlsxSpreadsheet::~XlsxSpreadsheet() = default;

void XlsxSpreadsheet::reset()
{
    m_workbook = false;
    m_sheet = false;
    m_visible = false;
    m_windowState = 0;
    m_cells.clear();
    m_rows.clear();
    m_merges.clear();
    m_pageSetup.clear();
}

bool XlsxSpreadsheet::start()
{
    // The workbook writer is part of the program: it is always there. Whether a program can show
    // the workbook is known only when release() hands it over.
    reset();
    m_started = true;
    return true;
}

void XlsxSpreadsheet::addWorkbook()
{
    if (!m_started) {
        throw RuntimeError(QStringLiteral("电子表格程序未启动"));
    }
    reset();
    m_workbook = true;
}

void XlsxSpreadsheet::setVisible(bool visible)
{
    m_visible = visible;
}

void XlsxSpreadsheet::activeSheet()
{
    if (!m_workbook) {
        throw RuntimeError(QStringLiteral("没有打开的工作簿"));
    }
    m_sheet = true;
}

void XlsxSpreadsheet::setWindowState(int state)
{
    if (!m_workbook) {
        throw RuntimeError(QStringLiteral("没有打开的工作簿"));
    }
    m_windowState = state;
}

void XlsxSpreadsheet::requireSheet() const
{
    if (!m_sheet) {
        throw RuntimeError(QStringLiteral("没有活动的工作表"));
    }
}

void XlsxSpreadsheet::merge(const SheetRange& range)
{
    requireSheet();
    checkRange(range);
    if (range.wholeRows()) {
        throw RuntimeError(QStringLiteral("不能合并整行"));
    }
    for (const SheetRange& known : std::as_const(m_merges)) {
        const bool apart = range.lastRow < known.firstRow || range.firstRow > known.lastRow
            || range.lastColumn < known.firstColumn || range.firstColumn > known.lastColumn;
        if (!apart) {
            throw RuntimeError(QStringLiteral("合并区域重叠"));
        }
    }
    if (!range.singleCell()) {
        m_merges.append(range);
    }
}

void XlsxSpreadsheet::setValue(const SheetRange& cell, const QString& value)
{
    requireSheet();
    checkRange(cell);
    if (!cell.singleCell()) {
        throw RuntimeError(QStringLiteral("只能给单个单元格赋值"));
    }
    if (value.size() > MaxCellText) {
        throw RuntimeError(QStringLiteral("单元格文字超过 %1 个字符").arg(MaxCellText));
    }
    const auto key = qMakePair(cell.firstRow, cell.firstColumn);
    auto it = m_cells.find(key);
    if (it == m_cells.end()) {
        Cell fresh;
        const auto row = m_rows.constFind(cell.firstRow);
        if (row != m_rows.constEnd() && row->style) {
            fresh.style = *row->style;
        }
        it = m_cells.insert(key, fresh);
    }
    it->value = value;
}

template <typename Change> void XlsxSpreadsheet::applyStyle(const SheetRange& range, Change change)
{
    requireSheet();
    checkRange(range);
    if (range.wholeRows()) {
        for (int r = range.firstRow; r <= range.lastRow; ++r) {
            Row& row = m_rows[r];
            if (!row.style) {
                row.style = Style {};
            }
            change(*row.style);
            for (auto it = m_cells.lowerBound(qMakePair(r, 0)); it != m_cells.end() && it.key().first == r; ++it) {
                change(it->style);
            }
        }
        return;
    }
    for (int r = range.firstRow; r <= range.lastRow; ++r) {
        const auto row = m_rows.constFind(r);
        for (int c = range.firstColumn; c <= range.lastColumn; ++c) {
            auto it = m_cells.find(qMakePair(r, c));
            if (it == m_cells.end()) {
                Cell fresh;
                if (row != m_rows.constEnd() && row->style) {
                    fresh.style = *row->style;
                }
                it = m_cells.insert(qMakePair(r, c), fresh);
            }
            change(it->style);
        }
    }
}

void XlsxSpreadsheet::setHorizontalAlignment(const SheetRange& range, int alignment)
{
    alignmentOf(alignment); // refuse what the sheet cannot hold before anything changes
    applyStyle(range, [alignment](Style& s) { s.alignment = alignment; });
}

void XlsxSpreadsheet::setRowHeight(const SheetRange& rows, double points)
{
    requireSheet();
    checkRange(rows);
    if (points < 0 || points > 409) {
        throw RuntimeError(QStringLiteral("无效的行高 %1").arg(points));
    }
    for (int r = rows.firstRow; r <= rows.lastRow; ++r) {
        m_rows[r].height = points;
    }
}

void XlsxSpreadsheet::setWrapText(const SheetRange& range, bool wrap)
{
    applyStyle(range, [wrap](Style& s) { s.wrap = wrap; });
}

void XlsxSpreadsheet::setPageSetup(PageSetup member, const QVariant& value)
{
    requireSheet();
    switch (member) {
    case PageSetup::HeaderMargin:
    case PageSetup::FooterMargin:
    case PageSetup::TopMargin:
    case PageSetup::BottomMargin:
    case PageSetup::LeftMargin:
    case PageSetup::RightMargin: {
        bool ok = false;
        const double points = value.toDouble(&ok);
        if (!ok || points < 0) {
            throw RuntimeError(QStringLiteral("无效的页边距 %1").arg(value.toString()));
        }
        break;
    }
    case PageSetup::Orientation:
        if (value.toInt() != 1 && value.toInt() != 2) {
            throw RuntimeError(QStringLiteral("无效的纸张方向 %1").arg(value.toString()));
        }
        break;
    case PageSetup::PrintTitleRows: {
        static const QRegularExpression rows(QStringLiteral("^\\$(\\d+):\\$(\\d+)$"));
        const auto match = rows.match(value.toString());
        if (!value.toString().isEmpty()
            && (!match.hasMatch() || match.captured(1).toInt() < 1
                || match.captured(2).toInt() < match.captured(1).toInt())) {
            throw RuntimeError(QStringLiteral("无效的打印标题行 %1").arg(value.toString()));
        }
        break;
    }
    default:
        break;
    }
    m_pageSetup.insert(int(member), value);
}

void XlsxSpreadsheet::setFontName(const SheetRange& range, const QString& name)
{
    applyStyle(range, [&name](Style& s) { s.fontName = name; });
}

void XlsxSpreadsheet::setFontBold(const SheetRange& range, bool bold)
{
    applyStyle(range, [bold](Style& s) { s.bold = bold; });
}

void XlsxSpreadsheet::setFontSize(const SheetRange& range, double points)
{
    if (points < 1 || points > 409) {
        throw RuntimeError(QStringLiteral("无效的字号 %1").arg(points));
    }
    applyStyle(range, [points](Style& s) { s.fontSize = points; });
}

void XlsxSpreadsheet::setBorderLineStyle(const SheetRange& range, int index, int lineStyle)
{
    const int slot = borderSlot(index);
    borderOf(lineStyle, 0);
    applyStyle(range, [slot, lineStyle](Style& s) { s.lineStyle[slot] = lineStyle; });
}

void XlsxSpreadsheet::setBorderWeight(const SheetRange& range, int index, int weight)
{
    const int slot = borderSlot(index);
    applyStyle(range, [slot, weight](Style& s) { s.weight[slot] = weight; });
}

void XlsxSpreadsheet::saveAs(const QString& path) const
{
    lxw_workbook* workbook = workbook_new(QFile::encodeName(path).constData());
    if (!workbook) {
        throw RuntimeError(QStringLiteral("无法写入文件 %1").arg(path));
    }
    // workbook_close() frees everything, so every way out goes through it.
    lxw_error error = LXW_NO_ERROR;
    try {
        // Without a clock of ours the library stamps the file from the machine's clock.
        if (m_clock) {
            lxw_doc_properties properties {};
            properties.created = time_t(m_clock->now().toSecsSinceEpoch());
            check(workbook_set_properties(workbook, &properties), path);
        }
        lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
        Formats formats(workbook);

        for (auto it = m_rows.constBegin(); it != m_rows.constEnd(); ++it) {
            lxw_format* format = it->style ? formats(*it->style) : nullptr;
            if (it->height >= 0 || format) {
                const double height = it->height >= 0 ? it->height : LXW_DEF_ROW_HEIGHT;
                check(worksheet_set_row(sheet, lxw_row_t(it.key() - 1), height, format), path);
            }
        }

        auto mergeOf = [this](int row, int column) -> const SheetRange* {
            for (const SheetRange& range : m_merges) {
                if (row >= range.firstRow && row <= range.lastRow && column >= range.firstColumn
                    && column <= range.lastColumn) {
                    return &range;
                }
            }
            return nullptr;
        };
        for (const SheetRange& range : m_merges) {
            const Cell corner = m_cells.value(qMakePair(range.firstRow, range.firstColumn));
            check(worksheet_merge_range(sheet, lxw_row_t(range.firstRow - 1), lxw_col_t(range.firstColumn - 1),
                                        lxw_row_t(range.lastRow - 1), lxw_col_t(range.lastColumn - 1),
                                        utf8(corner.value.value_or(QString())).constData(), formats(corner.style)),
                  path);
        }

        for (auto it = m_cells.constBegin(); it != m_cells.constEnd(); ++it) {
            const int row = it.key().first;
            const int column = it.key().second;
            if (mergeOf(row, column)) {
                continue;
            }
            lxw_format* format = formats(it->style);
            const QString text = it->value.value_or(QString());
            if (text.isEmpty()) {
                if (format) {
                    check(worksheet_write_blank(sheet, lxw_row_t(row - 1), lxw_col_t(column - 1), format), path);
                }
            } else {
                check(worksheet_write_string(sheet, lxw_row_t(row - 1), lxw_col_t(column - 1), utf8(text).constData(),
                                             format),
                      path);
            }
        }

        const auto page = [this](PageSetup member) { return m_pageSetup.value(int(member)); };
        const auto inches = [&page](PageSetup member) {
            const QVariant value = page(member);
            return value.isValid() ? value.toDouble() / PointsPerInch : -1.0;
        };
        worksheet_set_margins(sheet, inches(PageSetup::LeftMargin), inches(PageSetup::RightMargin),
                              inches(PageSetup::TopMargin), inches(PageSetup::BottomMargin));

        const QByteArray header = utf8(headerFooter(page(PageSetup::LeftHeader).toString(), QString(), QString()));
        lxw_header_footer_options headerOptions {};
        headerOptions.margin = inches(PageSetup::HeaderMargin) > 0 ? inches(PageSetup::HeaderMargin) : 0.3;
        check(worksheet_set_header_opt(sheet, header.constData(), &headerOptions), path);
        const QByteArray footer
            = utf8(headerFooter(page(PageSetup::LeftFooter).toString(), page(PageSetup::CenterFooter).toString(),
                                page(PageSetup::RightFooter).toString()));
        lxw_header_footer_options footerOptions {};
        footerOptions.margin = inches(PageSetup::FooterMargin) > 0 ? inches(PageSetup::FooterMargin) : 0.3;
        check(worksheet_set_footer_opt(sheet, footer.constData(), &footerOptions), path);

        if (page(PageSetup::Orientation).toInt() == 2) {
            worksheet_set_landscape(sheet);
        } else {
            worksheet_set_portrait(sheet);
        }

        static const QRegularExpression rows(QStringLiteral("^\\$(\\d+):\\$(\\d+)$"));
        const auto match = rows.match(page(PageSetup::PrintTitleRows).toString());
        if (match.hasMatch()) {
            check(worksheet_repeat_rows(sheet, lxw_row_t(match.captured(1).toInt() - 1),
                                        lxw_row_t(match.captured(2).toInt() - 1)),
                  path);
        }
    } catch (...) {
        workbook_close(workbook);
        QFile::remove(path);
        throw;
    }
    error = workbook_close(workbook);
    if (error != LXW_NO_ERROR) {
        QFile::remove(path);
    }
    check(error, path);
}

bool XlsxSpreadsheet::release()
{
    if (!m_workbook) {
        m_started = false;
        return true;
    }
    // The corner of the merged title names the file, as the application titles a workbook's window.
    QString name = m_merges.isEmpty()
        ? QString()
        : m_cells.value(qMakePair(m_merges.constFirst().firstRow, m_merges.constFirst().firstColumn))
              .value.value_or(QString());
    static const QRegularExpression unsafe(QStringLiteral("[\\x00-\\x1f/\\\\:*?\"<>|]"));
    name = name.replace(unsafe, QStringLiteral("_")).left(40).trimmed();
    if (name.isEmpty()) {
        name = QStringLiteral("Book");
    }
    QTemporaryFile reserved(tempdir() + name + QStringLiteral("-XXXXXX.xlsx"));
    reserved.setAutoRemove(false);
    if (!reserved.open()) {
        throw RuntimeError(QStringLiteral("无法在临时文件夹 %1 中创建文件：%2").arg(tempdir(), reserved.errorString()));
    }
    const QString path = reserved.fileName();
    reserved.close();
    saveAs(path);
    m_lastFile = path;
    const bool visible = m_visible;
    reset();
    m_started = false;
    if (visible && !m_desktop.open(QUrl::fromLocalFile(path))) {
        QFile::remove(path);
        return false;
    }
    return true;
}

void XlsxSpreadsheet::quit() noexcept
{
    reset();
    m_started = false;
}
