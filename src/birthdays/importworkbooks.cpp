#include "common/runtimeerror.h"
#include "importsheet.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <freexl.h>
#include <unzip.h>

namespace ImportReaders {

// ---- XLS through libfreexl

namespace {

    // freexl_close() is due even when opening failed.
    class FreexlHandle
    {
    public:
        explicit FreexlHandle(const QString& path)
        {
            m_result = freexl_open(QFile::encodeName(path).constData(), &m_handle);
        }
        ~FreexlHandle() { freexl_close(m_handle); }
        Q_DISABLE_COPY_MOVE(FreexlHandle)

        int result() const { return m_result; }
        const void* get() const { return m_handle; }

    private:
        const void* m_handle = nullptr;
        int m_result = FREEXL_OK;
    };

    SheetCell freexlCell(const FreeXL_CellValue& value)
    {
        switch (value.type) {
        case FREEXL_CELL_INT:
            return SheetCell::fromNumber(value.value.int_value);
        case FREEXL_CELL_DOUBLE:
            return SheetCell::fromNumber(value.value.double_value);
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT: {
            const QString text = QString::fromUtf8(value.value.text_value);
            return text.isEmpty() ? SheetCell() : SheetCell::fromText(text);
        }
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME: {
            // "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS"
            const QString text = QString::fromUtf8(value.value.text_value);
            const QDate date = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
            return date.isValid() ? SheetCell::fromDate(date) : SheetCell::fromText(text);
        }
        case FREEXL_CELL_TIME:
            return SheetCell::fromText(QString::fromUtf8(value.value.text_value));
        default:
            return {};
        }
    }

} // namespace

ImportSheet xls(const QString& path)
{
    FreexlHandle handle(path);
    switch (handle.result()) {
    case FREEXL_OK:
        break;
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
        // An encrypted .xlsx is kept in the same container, without a workbook stream.
        throw RuntimeError(QStringLiteral("文件中没有可以读取的工作表：它有密码保护（加密），或者不是 Excel 工作簿。"
                                          "有密码的工作簿请先在电子表格程序中取消密码，再导入"));
    case FREEXL_INSUFFICIENT_MEMORY:
        throw RuntimeError(QStringLiteral("内存不足，无法读取这个工作簿"));
    default:
        throw RuntimeError(QStringLiteral("XLS 工作簿已损坏，无法读取（libfreexl 错误 %1）").arg(handle.result()));
    }
    unsigned int info = 0;
    if (freexl_get_info(handle.get(), FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED) {
        throw RuntimeError(QStringLiteral("工作簿有密码保护：请先在电子表格程序中取消密码，再导入"));
    }
    unsigned int sheets = 0;
    if (freexl_get_info(handle.get(), FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK || sheets == 0) {
        throw RuntimeError(QStringLiteral("工作簿中没有工作表"));
    }
    ImportSheet sheet;
    sheet.format = QStringLiteral("XLS");
    sheet.note = QStringLiteral("XLS 工作簿中公式的结果读不出来，合并的单元格只有第一格有内容：缺了资料的行，"
                                "请在电子表格程序中把工作簿另存为 XLSX 再导入。");
    // Dates come out of libfreexl already converted, in either date system.
    for (unsigned int index = 0; index < sheets && index <= 0xFFFF; ++index) {
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (freexl_select_active_worksheet(handle.get(), static_cast<unsigned short>(index)) != FREEXL_OK
            || freexl_worksheet_dimensions(handle.get(), &rows, &columns) != FREEXL_OK) {
            throw RuntimeError(QStringLiteral("XLS 工作簿已损坏：第 %1 个工作表无法读取").arg(index + 1));
        }
        sheet.rows.clear();
        bool anything = false;
        for (unsigned int r = 0; r < rows; ++r) {
            QList<SheetCell> cells;
            cells.reserve(columns);
            for (unsigned short c = 0; c < columns; ++c) {
                FreeXL_CellValue value;
                if (freexl_get_cell_value(handle.get(), r, c, &value) != FREEXL_OK) {
                    throw RuntimeError(
                        QStringLiteral("XLS 工作簿已损坏：第 %1 行第 %2 列无法读取").arg(r + 1).arg(c + 1));
                }
                cells.append(freexlCell(value));
                anything = anything || !cells.back().isEmpty();
            }
            sheet.rows.append(std::move(cells));
        }
        if (anything) {
            break;
        }
    }
    return sheet;
}

// ---- XLSX through minizip

namespace {

    constexpr qint64 MaxEntryBytes = 512 * 1024 * 1024;
    constexpr qsizetype MaxMergedCells = 100000;

    RuntimeError damagedXlsx(const QString& detail)
    {
        return RuntimeError(QStringLiteral("XLSX 工作簿已损坏：%1").arg(detail));
    }

    // The archive through the system's minizip, the one libxlsxwriter writes with (QuaZip carries a
    // copy of its own under the same symbol names, and the two cannot live in one program).
    class ZipArchive
    {
    public:
        explicit ZipArchive(const QString& path)
            : m_zip(unzOpen64(QFile::encodeName(path).constData()))
        {
            if (!m_zip) {
                throw RuntimeError(QStringLiteral("XLSX 工作簿已损坏，无法打开（不是完整的 zip 文件）"));
            }
        }
        ~ZipArchive() { unzClose(m_zip); }
        Q_DISABLE_COPY_MOVE(ZipArchive)

        // An entry of the archive; empty when it is absent and not required.
        QByteArray entry(const QString& name, bool required)
        {
            constexpr int CaseInsensitive = 2;
            if (unzLocateFile(m_zip, name.toUtf8().constData(), CaseInsensitive) != UNZ_OK) {
                if (required) {
                    throw RuntimeError(QStringLiteral("文件不是 XLSX 工作簿（其中没有 %1）").arg(name));
                }
                return {};
            }
            unz_file_info64 info {};
            if (unzGetCurrentFileInfo64(m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
                throw damagedXlsx(QStringLiteral("%1 无法读取").arg(name));
            }
            if (info.flag & 1) {
                throw RuntimeError(QStringLiteral("工作簿有密码保护：请先在电子表格程序中取消密码，再导入"));
            }
            if (qint64(info.uncompressed_size) > MaxEntryBytes) {
                throw damagedXlsx(QStringLiteral("%1 太大").arg(name));
            }
            if (unzOpenCurrentFile(m_zip) != UNZ_OK) {
                throw damagedXlsx(QStringLiteral("%1 无法解压").arg(name));
            }
            QByteArray bytes;
            bytes.reserve(qsizetype(info.uncompressed_size));
            char buffer[65536];
            int read = 0;
            while ((read = unzReadCurrentFile(m_zip, buffer, sizeof buffer)) > 0) {
                bytes.append(buffer, read);
                if (bytes.size() > MaxEntryBytes) {
                    read = UNZ_BADZIPFILE;
                    break;
                }
            }
            const int closed = unzCloseCurrentFile(m_zip);
            if (read < 0 || closed != UNZ_OK) {
                throw damagedXlsx(closed == UNZ_CRCERROR ? QStringLiteral("%1 的校验不符").arg(name)
                                                         : QStringLiteral("%1 无法解压").arg(name));
            }
            return bytes;
        }

    private:
        unzFile m_zip;
    };

    void checkXml(const QXmlStreamReader& xml, const QString& name)
    {
        if (xml.hasError()) {
            throw damagedXlsx(QStringLiteral("%1 第 %2 行：%3").arg(name).arg(xml.lineNumber()).arg(xml.errorString()));
        }
    }

    // Characters XML cannot hold are written _xHHHH_ (a literal "_x" as _x005F_x).
    QString unescaped(const QString& text)
    {
        if (!text.contains(QLatin1String("_x"))) {
            return text;
        }
        static const QRegularExpression escape(QStringLiteral("_x([0-9A-Fa-f]{4})_"));
        QString result;
        qsizetype last = 0;
        for (QRegularExpressionMatchIterator it = escape.globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            result += QStringView(text).mid(last, match.capturedStart() - last);
            result += QChar(char16_t(match.captured(1).toUShort(nullptr, 16)));
            last = match.capturedEnd();
        }
        return result + QStringView(text).mid(last);
    }

    // The plain text of a string item: its <t> runs, without phonetic guides (<rPh>).
    QString stringItem(QXmlStreamReader& xml)
    {
        const QString end = xml.name().toString();
        QString text;
        int phonetic = 0;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement()) {
                if (xml.name() == QLatin1String("rPh")) {
                    ++phonetic;
                } else if (xml.name() == QLatin1String("t") && phonetic == 0) {
                    text += xml.readElementText();
                }
            } else if (xml.isEndElement()) {
                if (xml.name() == QLatin1String("rPh")) {
                    --phonetic;
                } else if (xml.name() == end) {
                    break;
                }
            }
        }
        return unescaped(text);
    }

    QStringList sharedStrings(const QByteArray& bytes)
    {
        QStringList strings;
        if (bytes.trimmed().isEmpty()) {
            return strings; // a workbook of inline strings may keep an empty part
        }
        QXmlStreamReader xml(bytes);
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("si")) {
                strings.append(stringItem(xml));
            }
        }
        checkXml(xml, QStringLiteral("sharedStrings.xml"));
        return strings;
    }

    bool isDateFormatCode(QString code)
    {
        // Quoted texts, [colours] and escaped characters are no date parts.
        static const QRegularExpression noise(QStringLiteral(R"("[^"]*"|\[[^\]]*\]|\\.)"));
        code.remove(noise);
        code = code.toLower();
        return code.contains(QLatin1Char('y')) || code.contains(QLatin1Char('d')) || code.contains(QStringLiteral("年"))
            || code.contains(QStringLiteral("日"));
    }

    // Which cell styles (by index) show a number as a date.
    QList<bool> dateStyles(const QByteArray& bytes)
    {
        QHash<int, bool> custom;
        QList<bool> styles;
        if (bytes.trimmed().isEmpty()) {
            return styles;
        }
        QXmlStreamReader xml(bytes);
        bool inCellXfs = false;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement()) {
                if (xml.name() == QLatin1String("numFmt")) {
                    custom.insert(xml.attributes().value(QLatin1String("numFmtId")).toInt(),
                                  isDateFormatCode(xml.attributes().value(QLatin1String("formatCode")).toString()));
                } else if (xml.name() == QLatin1String("cellXfs")) {
                    inCellXfs = true;
                } else if (inCellXfs && xml.name() == QLatin1String("xf")) {
                    const int id = xml.attributes().value(QLatin1String("numFmtId")).toInt();
                    // Built-in date formats, the East Asian ones included.
                    const bool builtIn
                        = (id >= 14 && id <= 17) || id == 22 || (id >= 27 && id <= 36) || (id >= 50 && id <= 58);
                    styles.append(custom.contains(id) ? custom.value(id) : builtIn);
                }
            } else if (xml.isEndElement() && xml.name() == QLatin1String("cellXfs")) {
                inCellXfs = false;
            }
        }
        checkXml(xml, QStringLiteral("styles.xml"));
        return styles;
    }

    struct Relationship
    {
        QString type;
        QString target;
    };

    QHash<QString, Relationship> relationships(const QByteArray& bytes)
    {
        QHash<QString, Relationship> result;
        QXmlStreamReader xml(bytes);
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("Relationship")) {
                const auto a = xml.attributes();
                QString target = a.value(QLatin1String("Target")).toString();
                // Targets are relative to xl/, or absolute within the archive.
                target = target.startsWith(QLatin1Char('/')) ? target.mid(1) : QStringLiteral("xl/") + target;
                result.insert(a.value(QLatin1String("Id")).toString(),
                              { a.value(QLatin1String("Type")).toString(), target });
            }
        }
        checkXml(xml, QStringLiteral("workbook.xml.rels"));
        return result;
    }

    // "BC12" -> column 54 (from 0), row 11 (from 0); false when it is no reference.
    bool cellReference(QStringView ref, int* row, int* column)
    {
        int c = 0;
        qsizetype i = 0;
        while (i < ref.size() && ref.at(i).isLetter()) {
            c = c * 26 + (ref.at(i).toUpper().unicode() - 'A' + 1);
            if (c > 16384) {
                return false;
            }
            ++i;
        }
        bool ok = false;
        const int r = ref.mid(i).toInt(&ok);
        if (i == 0 || !ok || r < 1 || r > 1048576) {
            return false;
        }
        *row = r - 1;
        *column = c - 1;
        return true;
    }

    struct SheetParts
    {
        QStringList strings;
        QList<bool> dateStyles;
        bool date1904 = false;
    };

    void putCell(QList<QList<SheetCell>>& rows, int row, int column, SheetCell cell)
    {
        if (rows.size() <= row) {
            rows.resize(row + 1);
        }
        QList<SheetCell>& cells = rows[row];
        if (cells.size() <= column) {
            cells.resize(column + 1);
        }
        cells[column] = std::move(cell);
    }

    SheetCell valueCell(const QString& type, const QString& value, const QString& inlineText, int style,
                        const SheetParts& parts)
    {
        if (type == QLatin1String("inlineStr")) {
            return inlineText.isEmpty() ? SheetCell() : SheetCell::fromText(inlineText);
        }
        if (value.isEmpty()) {
            return {}; // a formula without a kept result, or an empty cell with a style
        }
        if (type == QLatin1String("s")) {
            bool ok = false;
            const int index = value.toInt(&ok);
            if (!ok || index < 0 || index >= parts.strings.size()) {
                throw damagedXlsx(QStringLiteral("引用了不存在的共享字符串 %1").arg(value));
            }
            const QString& text = parts.strings.at(index);
            return text.isEmpty() ? SheetCell() : SheetCell::fromText(text);
        }
        if (type == QLatin1String("str") || type == QLatin1String("e")) {
            return SheetCell::fromText(unescaped(value));
        }
        if (type == QLatin1String("b")) {
            return SheetCell::fromText(value == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
        }
        if (type == QLatin1String("d")) {
            const QDate date = QDate::fromString(value.left(10), QStringLiteral("yyyy-MM-dd"));
            return date.isValid() ? SheetCell::fromDate(date) : SheetCell::fromText(value);
        }
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!ok) {
            return SheetCell::fromText(value);
        }
        if (style >= 0 && style < parts.dateStyles.size() && parts.dateStyles.at(style)) {
            const QDate date = serialDate(number, parts.date1904);
            if (date.isValid()) {
                return SheetCell::fromDate(date);
            }
        }
        return SheetCell::fromNumber(number);
    }

    QList<QList<SheetCell>> sheetRows(const QByteArray& bytes, const SheetParts& parts)
    {
        QList<QList<SheetCell>> rows;
        QList<std::pair<std::pair<int, int>, std::pair<int, int>>> merged;
        QXmlStreamReader xml(bytes);
        int row = -1;
        int column = -1;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement()) {
                continue;
            }
            const auto name = xml.name();
            if (name == QLatin1String("row")) {
                const auto r = xml.attributes().value(QLatin1String("r"));
                bool ok = false;
                const int number = r.toInt(&ok);
                row = ok && number >= 1 && number <= 1048576 ? number - 1 : row + 1;
                column = -1;
                if (rows.size() <= row) {
                    rows.resize(row + 1);
                }
            } else if (name == QLatin1String("c")) {
                const auto a = xml.attributes();
                int r = row;
                int c = column + 1;
                const auto ref = a.value(QLatin1String("r"));
                if (!ref.isEmpty() && !cellReference(ref, &r, &c)) {
                    throw damagedXlsx(QStringLiteral("无效的单元格位置 %1").arg(ref.toString()));
                }
                if (r < 0) {
                    r = 0;
                }
                row = r;
                column = c;
                const QString type = a.value(QLatin1String("t")).toString();
                const int style = a.hasAttribute(QLatin1String("s")) ? a.value(QLatin1String("s")).toInt() : -1;
                QString value;
                QString inlineText;
                while (!xml.atEnd()) {
                    xml.readNext();
                    if (xml.isStartElement()) {
                        if (xml.name() == QLatin1String("v")) {
                            value = xml.readElementText();
                        } else if (xml.name() == QLatin1String("is")) {
                            inlineText = stringItem(xml);
                        }
                    } else if (xml.isEndElement() && xml.name() == QLatin1String("c")) {
                        break;
                    }
                }
                putCell(rows, r, c, valueCell(type, value, inlineText, style, parts));
            } else if (name == QLatin1String("mergeCell")) {
                const QStringList ends
                    = xml.attributes().value(QLatin1String("ref")).toString().split(QLatin1Char(':'));
                int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
                if (ends.size() == 2 && cellReference(ends.at(0), &r1, &c1) && cellReference(ends.at(1), &r2, &c2)) {
                    merged.append({ { r1, c1 }, { r2, c2 } });
                }
            }
        }
        checkXml(xml, QStringLiteral("工作表"));

        // A merged block shows its first cell's value in all its cells (a department beside several people).
        for (const auto& [from, to] : merged) {
            const auto [r1, c1] = from;
            const auto [r2, c2] = to;
            if (r2 < r1 || c2 < c1 || qsizetype(r2 - r1 + 1) * (c2 - c1 + 1) > MaxMergedCells || r1 >= rows.size()
                || c1 >= rows.at(r1).size()) {
                continue;
            }
            const SheetCell value = rows.at(r1).at(c1);
            if (value.isEmpty()) {
                continue;
            }
            for (int r = r1; r <= r2 && r < rows.size(); ++r) {
                for (int c = c1; c <= c2; ++c) {
                    if ((r != r1 || c != c1) && (c >= rows.at(r).size() || rows.at(r).at(c).isEmpty())) {
                        putCell(rows, r, c, value);
                    }
                }
            }
        }
        return rows;
    }

} // namespace

QDate serialDate(double serial, bool date1904)
{
    // Day 0 of the 1904 system is its first day; the 1900 system starts at day 1.
    if (!std::isfinite(serial) || serial < (date1904 ? 0 : 1) || serial >= (date1904 ? 2957004 : 2958466)) {
        return {};
    }
    const qint64 days = qint64(std::floor(serial));
    if (date1904) {
        return QDate(1904, 1, 1).addDays(days);
    }
    // Day 60 is the 29 February 1900 that the 1900 date system counts although it never was.
    if (days == 60) {
        return {};
    }
    return days < 60 ? QDate(1899, 12, 31).addDays(days) : QDate(1899, 12, 30).addDays(days);
}

ImportSheet xlsx(const QString& path)
{
    ZipArchive zip(path);
    SheetParts parts;
    QStringList sheetIds;
    {
        QXmlStreamReader xml(zip.entry(QStringLiteral("xl/workbook.xml"), true));
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement) {
                continue;
            }
            if (xml.name() == QLatin1String("workbookPr")) {
                const auto value = xml.attributes().value(QLatin1String("date1904"));
                parts.date1904 = value == QLatin1String("1") || value == QLatin1String("true");
            } else if (xml.name() == QLatin1String("sheet")) {
                for (const QXmlStreamAttribute& attribute : xml.attributes()) {
                    if (attribute.name() == QLatin1String("id")) {
                        sheetIds.append(attribute.value().toString());
                    }
                }
            }
        }
        checkXml(xml, QStringLiteral("workbook.xml"));
    }
    if (sheetIds.isEmpty()) {
        throw RuntimeError(QStringLiteral("工作簿中没有工作表"));
    }
    const QHash<QString, Relationship> rels
        = relationships(zip.entry(QStringLiteral("xl/_rels/workbook.xml.rels"), true));
    QString stringsPath = QStringLiteral("xl/sharedStrings.xml");
    QString stylesPath = QStringLiteral("xl/styles.xml");
    for (const Relationship& rel : rels) {
        if (rel.type.endsWith(QLatin1String("/sharedStrings"))) {
            stringsPath = rel.target;
        } else if (rel.type.endsWith(QLatin1String("/styles"))) {
            stylesPath = rel.target;
        }
    }
    parts.strings = sharedStrings(zip.entry(stringsPath, false));
    parts.dateStyles = dateStyles(zip.entry(stylesPath, false));

    ImportSheet sheet;
    sheet.format = QStringLiteral("XLSX");
    sheet.date1904 = parts.date1904;
    for (const QString& id : sheetIds) {
        const auto rel = rels.constFind(id);
        if (rel == rels.constEnd()) {
            throw damagedXlsx(QStringLiteral("找不到工作表 %1").arg(id));
        }
        sheet.rows = sheetRows(zip.entry(rel->target, true), parts);
        const bool anything = std::any_of(sheet.rows.cbegin(), sheet.rows.cend(), [](const QList<SheetCell>& cells) {
            return std::any_of(cells.cbegin(), cells.cend(), [](const SheetCell& cell) { return !cell.isEmpty(); });
        });
        if (anything) {
            break;
        }
    }
    return sheet;
}

} // namespace ImportReaders
