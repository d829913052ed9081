#include "common/runtimeerror.h"
#include "exportwriters.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <utility>
#include <xlsxwriter.h>

namespace ExportWriters {

namespace {

    constexpr int MaxRows = 1048576;
    constexpr int MaxColumns = 16384;
    // A cell holds at most this many characters.
    constexpr qsizetype MaxCellText = 32767;
    constexpr double WidestColumn = 60; // characters
    const char* const DateFormat = "yyyy-mm-dd";

    // Characters of the widest line, a Chinese (full-width) character counting as two.
    double displayWidth(const QString& text)
    {
        double widest = 0;
        double line = 0;
        for (const QChar c : text) {
            if (c == QLatin1Char('\n')) {
                widest = qMax(widest, line);
                line = 0;
            } else if (!c.isLowSurrogate()) {
                line += c.unicode() >= 0x1100 ? 2 : 1;
            }
        }
        return qMax(widest, line);
    }

    void check(lxw_error error)
    {
        if (error != LXW_NO_ERROR) {
            throw RuntimeError(QString::fromUtf8(lxw_strerror(error)));
        }
    }

    // workbook_close() frees the workbook; every way out goes through it once.
    class Workbook
    {
    public:
        Workbook(const QByteArray& path, const QByteArray& tmpdir, const QDateTime& created)
            : m_tmpdir(tmpdir)
        {
            lxw_workbook_options options {};
            // Rows go to the file as they are written, so 100,000 people need little memory.
            options.constant_memory = LXW_TRUE;
            options.tmpdir = m_tmpdir.data();
            m_book = workbook_new_opt(path.constData(), &options);
            if (!m_book) {
                throw RuntimeError(QStringLiteral("无法创建工作簿"));
            }
            // Without a time of ours the library stamps the file from the machine's clock.
            if (created.isValid()) {
                lxw_doc_properties properties {};
                properties.created = time_t(created.toSecsSinceEpoch());
                check(workbook_set_properties(m_book, &properties));
            }
        }
        ~Workbook()
        {
            if (m_book) {
                workbook_close(m_book);
            }
        }
        Q_DISABLE_COPY_MOVE(Workbook)

        lxw_workbook* get() const { return m_book; }
        void close()
        {
            lxw_workbook* book = std::exchange(m_book, nullptr);
            check(workbook_close(book));
        }

    private:
        QByteArray m_tmpdir;
        lxw_workbook* m_book = nullptr;
    };

} // namespace

QByteArray xlsx(const ExportTable& table, ExportAlterations* altered)
{
    if (table.rows.size() + 1 > MaxRows || table.columns.size() > MaxColumns) {
        throw RuntimeError(QStringLiteral("XLSX 工作表最多容纳 %1 行、%2 列").arg(MaxRows).arg(MaxColumns));
    }
    QTemporaryDir folder;
    if (!folder.isValid()) {
        throw RuntimeError(QStringLiteral("无法建立临时文件夹：%1").arg(folder.errorString()));
    }
    const QString path = folder.filePath(QStringLiteral("export.xlsx"));
    {
        Workbook book(QFile::encodeName(path), QFile::encodeName(folder.path()), table.created);
        lxw_worksheet* sheet = workbook_add_worksheet(book.get(), "导出数据");
        lxw_format* caption = workbook_add_format(book.get());
        format_set_bold(caption);
        lxw_format* date = workbook_add_format(book.get());
        format_set_num_format(date, DateFormat);
        format_set_align(date, LXW_ALIGN_LEFT);
        lxw_format* wrapped = workbook_add_format(book.get());
        format_set_text_wrap(wrapped);
        if (!sheet || !caption || !date || !wrapped) {
            throw RuntimeError(QStringLiteral("无法创建工作表"));
        }

        // Widths first: they belong to the sheet's head, written before its rows.
        for (qsizetype c = 0; c < table.columns.size(); ++c) {
            double width = qMax(4.0, (table.columns.at(c).width - 5) / 7.0);
            width = qMax(width, displayWidth(table.columns.at(c).caption));
            for (const auto& row : table.rows) {
                const ExportCell& cell = row.at(c);
                width = qMax(width, cell.type == ExportCell::Type::Date ? 10.0 : displayWidth(cell.text));
            }
            check(worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), qMin(width, WidestColumn) + 2, nullptr));
        }
        worksheet_freeze_panes(sheet, 1, 0);

        const auto text = [&](lxw_row_t row, qsizetype column, const QString& value, lxw_format* format) {
            QString kept = value;
            if (kept.size() > MaxCellText) {
                kept.truncate(MaxCellText);
                if (kept.back().isHighSurrogate()) {
                    kept.chop(1);
                }
                if (altered) {
                    altered->append({ int(row) - 1, int(column), ExportAlteration::Cut, kept });
                }
            }
            if (!format && kept.contains(QLatin1Char('\n'))) {
                format = wrapped;
            }
            // Readers take _xHHHH_ as an escaped character (the library writes control characters so);
            // a text that holds such a sequence itself has its underscore escaped, as _x005F_.
            if (kept.contains(QLatin1String("_x"))) {
                static const QRegularExpression literal(QStringLiteral("_x(?=[0-9A-Fa-f]{4}_)"));
                kept.replace(literal, QStringLiteral("_x005F_x"));
            }
            check(worksheet_write_string(sheet, row, lxw_col_t(column), kept.toUtf8().constData(), format));
        };
        for (qsizetype c = 0; c < table.columns.size(); ++c) {
            text(0, c, table.columns.at(c).caption, caption);
        }
        for (qsizetype r = 0; r < table.rows.size(); ++r) {
            const auto row = lxw_row_t(r + 1);
            const auto& cells = table.rows.at(r);
            for (qsizetype c = 0; c < cells.size(); ++c) {
                const ExportCell& cell = cells.at(c);
                switch (cell.type) {
                case ExportCell::Type::Missing:
                    break;
                case ExportCell::Type::Integer:
                    check(worksheet_write_number(sheet, row, lxw_col_t(c), double(cell.integer), nullptr));
                    break;
                case ExportCell::Type::Float:
                    check(worksheet_write_number(sheet, row, lxw_col_t(c), cell.real, nullptr));
                    break;
                case ExportCell::Type::Date:
                    // The workbook's date numbers start in 1900; an earlier day stays a text.
                    if (cell.date.year() >= 1900) {
                        lxw_datetime stamp { cell.date.year(), cell.date.month(), cell.date.day(), 0, 0, 0 };
                        check(worksheet_write_datetime(sheet, row, lxw_col_t(c), &stamp, date));
                    } else {
                        text(row, c, cell.text, nullptr);
                    }
                    break;
                case ExportCell::Type::Text:
                    text(row, c, cell.text, nullptr);
                    break;
                }
            }
        }
        book.close();
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw RuntimeError(file.errorString());
    }
    return file.readAll();
}

} // namespace ExportWriters
