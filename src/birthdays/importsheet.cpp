#include "importsheet.h"

#include "common/runtimeerror.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cmath>
#include <cstring>

namespace {

// Bigger files are no roster: reading them would only exhaust the memory.
constexpr qint64 MaxFileBytes = 256 * 1024 * 1024;

const QByteArray Ole2Signature = QByteArray::fromHex("D0CF11E0A1B11AE1");
const QByteArray ZipSignature = QByteArrayLiteral("PK\x03\x04");

QString numberText(double value)
{
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15) {
        return QString::number(qint64(value));
    }
    return QString::number(value, 'g', 15);
}

} // namespace

SheetCell SheetCell::fromText(const QString& text)
{
    SheetCell cell;
    cell.type = Type::Text;
    cell.text = text;
    return cell;
}

SheetCell SheetCell::fromNumber(double number)
{
    SheetCell cell;
    cell.type = Type::Number;
    cell.number = number;
    cell.text = numberText(number);
    return cell;
}

SheetCell SheetCell::fromDate(const QDate& date)
{
    SheetCell cell;
    cell.type = Type::Date;
    cell.date = date;
    cell.text = date.toString(QStringLiteral("yyyy-MM-dd"));
    return cell;
}

int ImportSheet::columnCount() const
{
    qsizetype count = 0;
    for (const auto& row : rows) {
        count = qMax(count, row.size());
    }
    return int(count);
}

const SheetCell& ImportSheet::cell(int row, int column) const
{
    static const SheetCell empty;
    if (row < 0 || row >= rows.size() || column < 0 || column >= rows.at(row).size()) {
        return empty;
    }
    return rows.at(row).at(column);
}

namespace ImportReaders {

ImportSheet read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw RuntimeError(QStringLiteral("无法打开文件：%1").arg(file.errorString()));
    }
    if (file.size() > MaxFileBytes) {
        throw RuntimeError(QStringLiteral("文件太大（%1 MB），不像是一份员工名单").arg(file.size() / (1024 * 1024)));
    }
    const QByteArray bytes = file.readAll();
    if (bytes.size() != file.size()) {
        throw RuntimeError(QStringLiteral("无法读取文件：%1").arg(file.errorString()));
    }
    file.close();

    const QString suffix = QFileInfo(path).suffix().toLower();
    static const QStringList refused
        = { QStringLiteral("html"), QStringLiteral("htm"),  QStringLiteral("rtf"), QStringLiteral("ods"),
            QStringLiteral("doc"),  QStringLiteral("docx"), QStringLiteral("odt"), QStringLiteral("pdf") };
    if (refused.contains(suffix)) {
        throw RuntimeError(QStringLiteral("不能导入 .%1 文件：可以导入的是 XLS、XLSX、CSV 和 TXT 文件").arg(suffix));
    }
    ImportSheet sheet;
    if (bytes.startsWith(Ole2Signature)) {
        sheet = xls(path);
    } else if (bytes.startsWith(ZipSignature)) {
        sheet = xlsx(path);
    } else if (bytes.size() >= 4 && bytes.at(0) == '\x09'
               && (bytes.at(1) == '\x02' || bytes.at(1) == '\x04' || bytes.at(1) == '\x08')) {
        sheet = biff(bytes);
    } else if (suffix == QLatin1String("xls") || suffix == QLatin1String("xlsx")) {
        throw RuntimeError(bytes.trimmed().isEmpty()
                               ? QStringLiteral("文件是空的")
                               : QStringLiteral("文件名是 .%1，但内容不是 Excel 工作簿（可能已损坏）").arg(suffix));
    } else {
        sheet = delimited(bytes);
        sheet.format = suffix == QLatin1String("txt") ? QStringLiteral("TXT") : QStringLiteral("CSV");
    }
    return sheet;
}

// ---- delimited text

namespace {

    bool decodes(const char* codec, const QByteArray& bytes, QString* text)
    {
        QStringDecoder decoder(codec, QStringConverter::Flag::Stateless);
        *text = decoder.decode(bytes);
        return decoder.isValid() && !decoder.hasError();
    }

    // The text and the name of its encoding.
    QString decodeText(const QByteArray& bytes, QString* encoding)
    {
        QString text;
        if (bytes.startsWith("\xEF\xBB\xBF")) {
            *encoding = QStringLiteral("UTF-8");
            if (!decodes("UTF-8", bytes.mid(3), &text)) {
                throw RuntimeError(QStringLiteral("文件开头标明是 UTF-8 编码，但其中有不是 UTF-8 的字节"));
            }
            return text;
        }
        if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
            *encoding = QStringLiteral("UTF-16");
            const char* codec = bytes.startsWith("\xFF\xFE") ? "UTF-16LE" : "UTF-16BE";
            if (!decodes(codec, bytes.mid(2), &text)) {
                throw RuntimeError(QStringLiteral("文件开头标明是 UTF-16 编码，但内容不完整"));
            }
            return text;
        }
        // A text in GB18030 is hardly ever valid UTF-8, so UTF-8 is tried first. Code page 936
        // writes the euro sign as the single byte 0x80, which GB18030 does not know.
        const struct
        {
            const char* codec;
            const char* name;
        } candidates[] = { { "UTF-8", "UTF-8" }, { "GB18030", "GB18030" }, { "windows-936", "GBK" } };
        for (const auto& candidate : candidates) {
            if (decodes(candidate.codec, bytes, &text)) {
                *encoding = QLatin1String(candidate.name);
                return text;
            }
        }
        throw RuntimeError(QStringLiteral("文件既不是 UTF-8 也不是 GB18030（GBK）编码的文本，无法读出其中的文字"));
    }

    // Splits text into records of fields. Quotes are special at the start of a field only; a quote
    // left open up to the end of the file is refused with the line it opened on.
    class FieldParser
    {
    public:
        FieldParser(QStringView text, QChar separator)
            : m_text(text)
            , m_separator(separator)
        {
        }

        bool atEnd() const { return m_pos >= m_text.size(); }

        QStringList next()
        {
            QStringList fields;
            QString field;
            for (;;) {
                if (m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('"')) {
                    quotedPart(field);
                }
                while (m_pos < m_text.size()) {
                    const QChar c = m_text.at(m_pos);
                    if (c == m_separator || c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
                        break;
                    }
                    field.append(c);
                    ++m_pos;
                }
                fields.append(field);
                field.clear();
                if (m_pos >= m_text.size()) {
                    return fields;
                }
                const QChar c = m_text.at(m_pos++);
                if (c == m_separator) {
                    continue;
                }
                if (c == QLatin1Char('\r') && m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('\n')) {
                    ++m_pos;
                }
                ++m_line;
                return fields;
            }
        }

    private:
        void quotedPart(QString& field)
        {
            const int opened = m_line;
            ++m_pos;
            while (m_pos < m_text.size()) {
                const QChar c = m_text.at(m_pos++);
                if (c == QLatin1Char('"')) {
                    if (m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('"')) {
                        field.append(c);
                        ++m_pos;
                        continue;
                    }
                    return; // what follows up to the separator is taken as it stands
                }
                if (c == QLatin1Char('\n')
                    || (c == QLatin1Char('\r') && (m_pos >= m_text.size() || m_text.at(m_pos) != QLatin1Char('\n')))) {
                    ++m_line;
                }
                field.append(c);
            }
            throw RuntimeError(
                QStringLiteral("第 %1 行有一个引号（\"）没有配对：从那里到文件末尾都成了一个值").arg(opened));
        }

        QStringView m_text;
        QChar m_separator;
        qsizetype m_pos = 0;
        int m_line = 1;
    };

    // The separator whose first records agree best on a number of fields above one.
    QChar detectSeparator(QStringView text)
    {
        constexpr int Sample = 50;
        const QChar candidates[] = { QLatin1Char('\t'), QLatin1Char(';'), QLatin1Char(',') };
        QChar best = QLatin1Char(',');
        int bestScore = 0;
        int bestFields = 0;
        for (const QChar candidate : candidates) {
            FieldParser parser(text, candidate);
            QList<qsizetype> counts;
            try {
                while (!parser.atEnd() && counts.size() < Sample) {
                    counts.append(parser.next().size());
                }
            } catch (const RuntimeError&) {
                // An open quote is reported by the real reading.
            }
            if (counts.isEmpty() || counts.first() < 2) {
                continue;
            }
            const int score = int(counts.count(counts.first()));
            if (score > bestScore || (score == bestScore && counts.first() > bestFields)) {
                best = candidate;
                bestScore = score;
                bestFields = int(counts.first());
            }
        }
        return best;
    }

} // namespace

ImportSheet delimited(const QByteArray& bytes)
{
    ImportSheet sheet;
    sheet.format = QStringLiteral("CSV");
    const QString text = decodeText(bytes, &sheet.encoding);
    if (text.trimmed().isEmpty()) {
        throw RuntimeError(QStringLiteral("文件是空的"));
    }
    if (text.contains(QChar(0))) {
        throw RuntimeError(QStringLiteral("文件中有空字符（0），它不是文本文件"));
    }
    sheet.separator = detectSeparator(text);
    FieldParser parser(text, sheet.separator);
    while (!parser.atEnd()) {
        const QStringList fields = parser.next();
        QList<SheetCell> row;
        row.reserve(fields.size());
        for (const QString& field : fields) {
            row.append(field.isEmpty() ? SheetCell() : SheetCell::fromText(field));
        }
        sheet.rows.append(std::move(row));
    }
    return sheet;
}

// ---- bare BIFF

namespace {

    quint16 u16(const char* p)
    {
        return quint16(quint8(p[0]) | (quint8(p[1]) << 8));
    }
    quint32 u32(const char* p)
    {
        return quint32(u16(p)) | (quint32(u16(p + 2)) << 16);
    }

    double rkValue(quint32 rk)
    {
        double value = 0;
        if (rk & 0x02) {
            value = double(qint32(rk) >> 2);
        } else {
            const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
            std::memcpy(&value, &bits, sizeof value);
        }
        return (rk & 0x01) ? value / 100 : value;
    }

    // Texts of LABEL records in the workbook's code page.
    class LabelDecoder
    {
    public:
        void setCodePage(quint16 page)
        {
            m_codec.clear();
            switch (page) {
            case 367:
                m_codec = "US-ASCII";
                break;
            case 936:
                m_codec = "windows-936";
                break;
            case 1200:
                m_codec = "UTF-16LE";
                break;
            case 65001:
                m_codec = "UTF-8";
                break;
            default:
                m_codec = "windows-" + QByteArray::number(page);
            }
            if (!QStringDecoder(m_codec.constData()).isValid()) {
                throw RuntimeError(QStringLiteral("XLS 文件使用的代码页 %1 无法识别").arg(page));
            }
        }

        QString operator()(const QByteArray& bytes) const
        {
            QString text;
            // Without a CODEPAGE record: the station's earlier exports wrote GB18030.
            if (m_codec.isEmpty()) {
                if (!decodes("GB18030", bytes, &text)) {
                    decodes("windows-936", bytes, &text);
                }
                return text;
            }
            decodes(m_codec.constData(), bytes, &text);
            return text;
        }

    private:
        QByteArray m_codec;
    };

    constexpr quint16 RecordBof = 0x0809;
    constexpr quint16 RecordEof = 0x000A;
    constexpr quint16 RecordCodepage = 0x0042;
    constexpr quint16 RecordFilepass = 0x002F;
    constexpr quint16 RecordLabel = 0x0204;
    constexpr quint16 RecordRk = 0x027E;
    constexpr quint16 RecordMulRk = 0x00BD;
    constexpr quint16 RecordNumber = 0x0203;
    constexpr quint16 RecordBlank = 0x0201;
    constexpr quint16 Biff8 = 0x0600;

} // namespace

ImportSheet biff(const QByteArray& bytes)
{
    ImportSheet sheet;
    sheet.format = QStringLiteral("XLS");
    LabelDecoder decode;
    bool biff8 = false;
    const auto damaged = [] { return RuntimeError(QStringLiteral("XLS 文件已损坏：记录不完整")); };
    const auto put = [&sheet](quint16 row, quint16 column, SheetCell cell) {
        if (sheet.rows.size() <= row) {
            sheet.rows.resize(row + 1);
        }
        QList<SheetCell>& cells = sheet.rows[row];
        if (cells.size() <= column) {
            cells.resize(column + 1);
        }
        cells[column] = std::move(cell);
    };

    qsizetype pos = 0;
    bool first = true;
    for (;;) {
        if (pos + 4 > bytes.size()) {
            throw RuntimeError(QStringLiteral("XLS 文件不完整：没有结束记录"));
        }
        const quint16 type = u16(bytes.constData() + pos);
        const quint16 length = u16(bytes.constData() + pos + 2);
        if (pos + 4 + length > bytes.size()) {
            throw damaged();
        }
        const char* data = bytes.constData() + pos + 4;
        pos += 4 + length;
        if (first) {
            // BOF of BIFF3, 4 and 5/8: their cell records are the ones read here.
            if ((type != RecordBof && type != 0x0409 && type != 0x0209) || length < 4) {
                throw RuntimeError(QStringLiteral("XLS 文件已损坏：开头不是工作表"));
            }
            biff8 = u16(data) == Biff8;
            first = false;
            continue;
        }
        switch (type) {
        case RecordEof:
            return sheet;
        case RecordFilepass:
            throw RuntimeError(QStringLiteral("工作簿有密码保护：请先在电子表格程序中取消密码，再导入"));
        case RecordCodepage:
            if (length < 2) {
                throw damaged();
            }
            decode.setCodePage(u16(data));
            break;
        case RecordLabel: {
            if (length < 8) {
                throw damaged();
            }
            const quint16 count = u16(data + 6);
            QString text;
            if (biff8) {
                // An XLUnicodeString: a flags byte, then Latin-1 bytes or UTF-16 units.
                if (length < 9) {
                    throw damaged();
                }
                const bool wide = quint8(data[8]) & 0x01;
                const qsizetype size = wide ? qsizetype(count) * 2 : count;
                if (9 + size > length) {
                    throw damaged();
                }
                text = wide ? QString::fromUtf16(reinterpret_cast<const char16_t*>(data + 9), count)
                            : QString::fromLatin1(data + 9, count);
            } else {
                if (8 + count > length) {
                    throw damaged();
                }
                text = decode(QByteArray(data + 8, count));
            }
            put(u16(data), u16(data + 2), text.isEmpty() ? SheetCell() : SheetCell::fromText(text));
            break;
        }
        case RecordRk:
            if (length < 10) {
                throw damaged();
            }
            put(u16(data), u16(data + 2), SheetCell::fromNumber(rkValue(u32(data + 6))));
            break;
        case RecordMulRk: {
            if (length < 6 || (length - 6) % 6 != 0) {
                throw damaged();
            }
            const quint16 row = u16(data);
            const quint16 firstColumn = u16(data + 2);
            for (int i = 0; i < (length - 6) / 6; ++i) {
                put(row, quint16(firstColumn + i), SheetCell::fromNumber(rkValue(u32(data + 4 + i * 6 + 2))));
            }
            break;
        }
        case RecordNumber: {
            if (length < 14) {
                throw damaged();
            }
            double value = 0;
            std::memcpy(&value, data + 6, sizeof value);
            put(u16(data), u16(data + 2), SheetCell::fromNumber(value));
            break;
        }
        case RecordBlank:
            if (length < 6) {
                throw damaged();
            }
            put(u16(data), u16(data + 2), SheetCell());
            break;
        default:
            break; // formats, widths and the like say nothing about the people
        }
    }
}

} // namespace ImportReaders
