#include "exportwriters.h"

#include "common/atomicfile.h"
#include "common/runtimeerror.h"

#include <QFileInfo>
#include <QStringEncoder>
#include <QtEndian>

#include <cstring>

namespace ExportWriters {

namespace {

    // One converter per file: opening an ICU converter for every value would dominate the time.
    class Gb18030
    {
    public:
        Gb18030()
            : m_encoder("GB18030")
        {
        }

        QByteArray operator()(QStringView text) { return m_encoder.encode(text); }

    private:
        QStringEncoder m_encoder;
    };

    bool isAscii(QStringView text)
    {
        for (const QChar c : text) {
            if (c.unicode() >= 0x80) {
                return false;
            }
        }
        return true;
    }

    // Code page 936 itself (ICU's windows-936: the euro sign is 0x80), which readers that take a file
    // as GBK read without surprises. A character the code page lacks becomes "?"; reading the bytes
    // back tells whether the value survived.
    class Cp936
    {
    public:
        QByteArray encode(const QString& text, int* reasons)
        {
            if (isAscii(text)) {
                return text.toLatin1();
            }
            QByteArray bytes = m_encoder.encode(text);
            if (decode(bytes) != text) {
                *reasons |= ExportAlteration::Replaced;
            }
            return bytes;
        }
        QString decode(const QByteArray& bytes) { return m_decoder.decode(bytes); }

    private:
        QStringEncoder m_encoder { "windows-936", QStringConverter::Flag::Stateless };
        QStringDecoder m_decoder { "windows-936", QStringConverter::Flag::Stateless };
    };

    // Collects what a writer could not keep, when the caller asked.
    class Recorder
    {
    public:
        explicit Recorder(ExportAlterations* out)
            : m_out(out)
        {
        }
        bool wanted() const { return m_out != nullptr; }
        void note(int row, qsizetype column, int reasons, const QString& written)
        {
            if (m_out && reasons != 0) {
                m_out->append({ row, int(column), reasons, written });
            }
        }

    private:
        ExportAlterations* m_out;
    };

    // The caption row (-1) and then every record's texts, as the text formats walk them.
    template <typename Visit> void forEachRow(const ExportTable& table, Visit visit)
    {
        QList<QString> texts;
        texts.reserve(table.columns.size());
        for (const auto& column : table.columns) {
            texts.append(column.caption);
        }
        visit(-1, texts);
        for (qsizetype r = 0; r < table.rows.size(); ++r) {
            texts.clear();
            for (const auto& cell : table.rows.at(r)) {
                texts.append(cell.text);
            }
            visit(int(r), texts);
        }
    }

    // ---- XLS

    constexpr quint16 RecordBof = 0x0809;
    constexpr quint16 RecordEof = 0x000A;
    constexpr quint16 RecordCodepage = 0x0042;
    constexpr quint16 RecordRk = 0x027E;
    constexpr quint16 RecordNumber = 0x0203;
    constexpr quint16 RecordBlank = 0x0201;
    constexpr quint16 RecordLabel = 0x0204;
    constexpr quint16 CodePage936 = 936;
    // A BIFF LABEL holds at most 255 bytes; longer texts are cut there, on a character boundary.
    constexpr int MaxLabelBytes = 255;
    // RK keeps a 30-bit signed integer; larger ones go into NUMBER records.
    constexpr qint64 RkMin = -(qint64(1) << 29);
    constexpr qint64 RkMax = (qint64(1) << 29) - 1;

    class BiffStream
    {
    public:
        explicit BiffStream(qsizetype reserve) { m_bytes.reserve(reserve); }

        void u16(quint16 value)
        {
            const char bytes[2] = { char(value & 0xFF), char(value >> 8) };
            m_bytes.append(bytes, 2);
        }
        void u32(quint32 value)
        {
            u16(quint16(value & 0xFFFF));
            u16(quint16(value >> 16));
        }
        void f64(double value)
        {
            quint64 bits = 0;
            std::memcpy(&bits, &value, sizeof bits);
            u32(quint32(bits & 0xFFFFFFFFu));
            u32(quint32(bits >> 32));
        }
        void header(quint16 type, quint16 length)
        {
            u16(type);
            u16(length);
        }
        void bytes(const QByteArray& data) { m_bytes.append(data); }
        QByteArray take() { return std::move(m_bytes); }

    private:
        QByteArray m_bytes;
    };

    // The length of the longest prefix of at most `limit` bytes that ends on a whole character of
    // code page 936: bytes 0x81..0xFE lead a two-byte character, every other byte stands alone.
    qsizetype wholeCharacters(const QByteArray& bytes, qsizetype limit)
    {
        qsizetype end = 0;
        while (end < bytes.size()) {
            const auto b = quint8(bytes.at(end));
            const qsizetype n = b >= 0x81 && b <= 0xFE ? 2 : 1;
            if (end + n > limit) {
                break;
            }
            end += n;
        }
        return end;
    }

    void label(BiffStream& out, quint16 row, quint16 column, const QString& text, Cp936& encode, Recorder& recorder)
    {
        int reasons = 0;
        QByteArray bytes = encode.encode(text, &reasons);
        if (bytes.size() > MaxLabelBytes) {
            bytes.truncate(wholeCharacters(bytes, MaxLabelBytes));
            reasons |= ExportAlteration::Cut;
        }
        if (reasons != 0 && recorder.wanted()) {
            recorder.note(int(row) - 1, column, reasons, encode.decode(bytes));
        }
        out.header(RecordLabel, quint16(8 + bytes.size()));
        out.u16(row);
        out.u16(column);
        out.u16(0);
        out.u16(quint16(bytes.size()));
        out.bytes(bytes);
    }

    void number(BiffStream& out, quint16 row, quint16 column, double value)
    {
        out.header(RecordNumber, 14);
        out.u16(row);
        out.u16(column);
        out.u16(0);
        out.f64(value);
    }

    // ---- text formats

    QString flattened(const QString& text)
    {
        // A line break (CR LF counted once) or a tab inside a value would split the cell.
        QString result;
        result.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
                continue;
            }
            result.append(c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n') ? QLatin1Char(' ')
                                                                                                     : c);
        }
        return result;
    }

    bool hasSeparatorOrBreak(const QString& text)
    {
        for (const QChar c : text) {
            if (c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
                return true;
            }
        }
        return false;
    }

    QByteArray quoted(QByteArray bytes)
    {
        // No byte of a two-byte character of code page 936 (nor of UTF-8) is a quotation mark.
        bytes.replace('"', "\"\"");
        return '"' + bytes + '"';
    }

    enum class Quoting { None, All };

    // Cells of the caption row and the records, separated and joined by CR LF, in code page 936.
    QByteArray joined936(const ExportTable& table, char separator, Quoting quoting, bool flatten, Recorder& recorder)
    {
        Cp936 encode;
        QByteArray out;
        out.reserve((table.rows.size() + 1) * table.columns.size() * 12);
        forEachRow(table, [&](int row, const QList<QString>& texts) {
            if (row >= 0) {
                out.append("\r\n");
            }
            for (qsizetype c = 0; c < texts.size(); ++c) {
                if (c > 0) {
                    out.append(separator);
                }
                int reasons = 0;
                QString text = texts.at(c);
                if (flatten && hasSeparatorOrBreak(text)) {
                    text = flattened(text);
                    reasons |= ExportAlteration::Flattened;
                }
                const QByteArray bytes = encode.encode(text, &reasons);
                if (reasons != 0 && recorder.wanted()) {
                    recorder.note(row, c, reasons, encode.decode(bytes));
                }
                // Readers of tab-separated text take a value that opens with a quote as quoted, as
                // spreadsheet programs write it; such a value is written that way to be read back whole.
                const bool quote = quoting == Quoting::All || bytes.startsWith('"');
                out.append(quote ? quoted(bytes) : bytes);
            }
        });
        return out;
    }

    // ---- HTML

    QString htmlEscaped(const QString& text)
    {
        QString result;
        result.reserve(text.size() + 8);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            switch (c.unicode()) {
            case '&':
                result += QLatin1String("&amp;");
                break;
            case '<':
                result += QLatin1String("&lt;");
                break;
            case '>':
                result += QLatin1String("&gt;");
                break;
            case '"':
                result += QLatin1String("&quot;");
                break;
            case '\r':
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
                    ++i;
                }
                result += QLatin1String("<BR>");
                break;
            case '\n':
                result += QLatin1String("<BR>");
                break;
            default:
                result += c;
            }
        }
        return result;
    }

    // Text of the page: GB18030 as declared, except characters that code page 936 lacks, which go as
    // numeric references (&#x20000;): readers that take the page as GBK, or whose GB18030 tables stop
    // short of the rarer characters, still show them.
    class HtmlText
    {
    public:
        QByteArray operator()(const QString& text)
        {
            const QString escaped = htmlEscaped(text);
            int reasons = 0;
            m_cp936.encode(escaped, &reasons);
            if (reasons == 0) {
                return m_gb18030(escaped);
            }
            QString mixed;
            mixed.reserve(escaped.size() + 16);
            for (qsizetype i = 0; i < escaped.size();) {
                const bool pair
                    = escaped.at(i).isHighSurrogate() && i + 1 < escaped.size() && escaped.at(i + 1).isLowSurrogate();
                const qsizetype units = pair ? 2 : 1;
                const QString one = escaped.mid(i, units);
                int lost = 0;
                m_cp936.encode(one, &lost);
                if (lost == 0) {
                    mixed += one;
                } else {
                    const char32_t point = pair ? QChar::surrogateToUcs4(escaped.at(i), escaped.at(i + 1))
                                                : char32_t(escaped.at(i).unicode());
                    mixed += QStringLiteral("&#x%1;").arg(quint32(point), 0, 16);
                }
                i += units;
            }
            return m_gb18030(mixed);
        }

    private:
        Cp936 m_cp936;
        Gb18030 m_gb18030;
    };

    // ---- RTF

    // Text of an RTF group: GBK characters as \'hh escapes of their code-page 936 bytes (read by every
    // word processor through \ansicpg936), the rest of Unicode as \uN? so nothing is lost. Pure ASCII
    // output, so the file's own encoding never matters.
    class RtfText
    {
    public:
        // *dropped is set when the text held control characters that RTF cannot show.
        QByteArray operator()(const QString& text, bool* dropped = nullptr)
        {
            QByteArray out;
            out.reserve(text.size() * 8);
            for (qsizetype i = 0; i < text.size(); ++i) {
                const char16_t c = text.at(i).unicode();
                if (c == '\\' || c == '{' || c == '}') {
                    out.append('\\').append(char(c));
                } else if (c == '\t') {
                    out.append("\\tab ");
                } else if (c == '\r' || c == '\n') {
                    if (c == '\r' && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
                        ++i;
                    }
                    // A paragraph of its own inside the cell: spreadsheet programs read \line as a blank.
                    out.append("\\par ");
                } else if (c < 0x20) {
                    if (dropped) {
                        *dropped = true; // other control characters are no text
                    }
                } else if (c < 0x80) {
                    out.append(char(c));
                } else if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                    unicode(out, c);
                    unicode(out, text.at(++i).unicode());
                } else {
                    // A run of such characters at once: one conversion for a whole name, not one each.
                    qsizetype end = i + 1;
                    while (end < text.size() && text.at(end).unicode() >= 0x80 && !text.at(end).isSurrogate()) {
                        ++end;
                    }
                    const QString run = text.mid(i, end - i);
                    int lost = 0;
                    const QByteArray bytes = m_cp936.encode(run, &lost);
                    if (lost == 0) {
                        // GB18030 and code page 936 differ on a few characters (the euro sign, some
                        // private-use codes): the \'hh bytes are those of code page 936 itself.
                        for (const char b : bytes) {
                            hex(out, quint8(b));
                        }
                    } else {
                        for (const QChar one : run) {
                            int missing = 0;
                            const QByteArray single = m_cp936.encode(QString(one), &missing);
                            if (missing != 0) {
                                unicode(out, one.unicode());
                            } else {
                                for (const char b : single) {
                                    hex(out, quint8(b));
                                }
                            }
                        }
                    }
                    i = end - 1;
                }
            }
            return out;
        }

    private:
        static void hex(QByteArray& out, quint8 b)
        {
            static const char digits[] = "0123456789abcdef";
            const char escape[4] = { '\\', '\'', digits[b >> 4], digits[b & 0xF] };
            out.append(escape, 4);
        }
        static void unicode(QByteArray& out, char16_t unit)
        {
            // \uN takes a signed 16-bit number; "?" stands in for readers without Unicode.
            out.append("\\u").append(QByteArray::number(qint16(unit))).append('?');
        }

        Cp936 m_cp936;
    };

    constexpr int TwipsPerPixel = 15; // at 96 pixels per inch

    // The row's definition: its cells' borders and right edges (the caption row shaded).
    QByteArray rtfRowDefinition(const ExportTable& table, bool caption)
    {
        QByteArray row = "\\trowd\\trgaph60\\trleft0";
        int right = 0;
        for (const auto& column : table.columns) {
            right += column.width * TwipsPerPixel;
            row += "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw10\\clbrdrr\\brdrs\\brdrw1"
                   "0";
            if (caption) {
                row += "\\clcbpat2";
            }
            row += "\\cellx" + QByteArray::number(right);
        }
        row += "\r\n";
        return row;
    }

    QByteArray rtfRow(const QByteArray& definition, int rowIndex, const QList<QString>& texts, int fontHalfPoints,
                      RtfText& escape, Recorder& recorder)
    {
        const bool caption = rowIndex < 0;
        QByteArray row = definition;
        for (qsizetype c = 0; c < texts.size(); ++c) {
            row += "\\pard\\intbl\\plain\\f0\\fs" + QByteArray::number(fontHalfPoints) + (caption ? "\\b " : " ");
            bool dropped = false;
            row += escape(texts.at(c), &dropped);
            if (dropped) {
                QString kept = texts.at(c);
                kept.removeIf([](QChar ch) {
                    return ch.unicode() < 0x20 && ch != QLatin1Char('\t') && ch != QLatin1Char('\r')
                        && ch != QLatin1Char('\n');
                });
                recorder.note(rowIndex, c, ExportAlteration::Dropped, kept);
            }
            row += "\\cell\r\n";
        }
        row += "\\row\r\n";
        return row;
    }

} // namespace

QByteArray xls(const ExportTable& table, ExportAlterations* altered)
{
    if (table.rows.size() + 1 > 65536) {
        throw RuntimeError(
            QStringLiteral("XLS 工作表最多容纳 65535 条记录（另有标题行），要导出的是 %1 条：请改存为 XLSX")
                .arg(table.rows.size()));
    }
    if (table.columns.size() > 256) {
        throw RuntimeError(QStringLiteral("XLS 工作表最多容纳 256 列，要导出的是 %1 列").arg(table.columns.size()));
    }
    Cp936 encode;
    Recorder recorder(altered);
    BiffStream out((table.rows.size() + 1) * table.columns.size() * 20 + 22);
    out.header(RecordBof, 8);
    out.u16(0x0000);
    out.u16(0x0010);
    out.u16(0x0000);
    out.u16(0x0000);
    // Without it readers guess the code page of the texts (and xlrd refuses the file).
    out.header(RecordCodepage, 2);
    out.u16(CodePage936);
    for (qsizetype c = 0; c < table.columns.size(); ++c) {
        label(out, 0, quint16(c), table.columns.at(c).caption, encode, recorder);
    }
    for (qsizetype r = 0; r < table.rows.size(); ++r) {
        const quint16 row = quint16(r + 1);
        const auto& cells = table.rows.at(r);
        for (qsizetype c = 0; c < cells.size(); ++c) {
            const ExportCell& cell = cells.at(c);
            const quint16 column = quint16(c);
            switch (cell.type) {
            case ExportCell::Type::Missing:
                out.header(RecordBlank, 6);
                out.u16(row);
                out.u16(column);
                out.u16(0x0017);
                break;
            case ExportCell::Type::Integer:
                if (cell.integer >= RkMin && cell.integer <= RkMax) {
                    out.header(RecordRk, 10);
                    out.u16(row);
                    out.u16(column);
                    out.u16(0);
                    out.u32(quint32(qint32(cell.integer) * 4 + 2));
                } else {
                    number(out, row, column, double(cell.integer));
                }
                break;
            case ExportCell::Type::Float:
                number(out, row, column, cell.real);
                break;
            case ExportCell::Type::Text:
            case ExportCell::Type::Date:
                label(out, row, column, cell.text, encode, recorder);
                break;
            }
        }
    }
    out.header(RecordEof, 0);
    return out.take();
}

QByteArray txt(const ExportTable& table, ExportAlterations* altered)
{
    Recorder recorder(altered);
    return joined936(table, '\t', Quoting::None, true, recorder);
}

QByteArray csv(const ExportTable& table, ExportAlterations* altered)
{
    Recorder recorder(altered);
    return joined936(table, ';', Quoting::All, false, recorder);
}

QByteArray csvUtf8(const ExportTable& table)
{
    QByteArray out = "\xEF\xBB\xBF";
    out.reserve((table.rows.size() + 1) * table.columns.size() * 14 + 3);
    forEachRow(table, [&out](int row, const QList<QString>& texts) {
        if (row >= 0) {
            out.append("\r\n");
        }
        for (qsizetype c = 0; c < texts.size(); ++c) {
            if (c > 0) {
                out.append(',');
            }
            out.append(quoted(texts.at(c).toUtf8()));
        }
    });
    return out;
}

QByteArray html(const ExportTable& table)
{
    HtmlText encode;
    QByteArray out;
    out.reserve((table.rows.size() + 1) * table.columns.size() * 24 + 512);
    out += "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\r\n"
           "<HTML>\r\n<HEAD>\r\n"
           "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=GB18030\">\r\n"
           "<TITLE>";
    out += encode(table.name);
    out += "</TITLE>\r\n</HEAD>\r\n<BODY>\r\n<TABLE BORDER=1 CELLSPACING=0 CELLPADDING=2>\r\n<TR>";
    for (const auto& column : table.columns) {
        out += "<TH WIDTH=" + QByteArray::number(column.width) + " ALIGN=LEFT>";
        out += encode(column.caption);
        out += "</TH>";
    }
    out += "</TR>\r\n";
    for (const auto& row : table.rows) {
        out += "<TR>";
        for (const auto& cell : row) {
            out += cell.type == ExportCell::Type::Integer || cell.type == ExportCell::Type::Float ? "<TD ALIGN=RIGHT>"
                                                                                                  : "<TD>";
            out += encode(cell.text);
            out += "</TD>";
        }
        out += "</TR>\r\n";
    }
    out += "</TABLE>\r\n</BODY>\r\n</HTML>\r\n";
    return out;
}

QByteArray rtf(const ExportTable& table, ExportAlterations* altered)
{
    RtfText escape;
    Recorder recorder(altered);
    const int halfPoints = qMax(2, qRound(table.fontPointSize * 2));
    QByteArray out;
    out.reserve((table.rows.size() + 1) * (table.columns.size() * 120 + 64) + 512);
    out += "{\\rtf1\\ansi\\ansicpg936\\deff0\\uc1\r\n{\\fonttbl{\\f0\\fnil\\fcharset134 ";
    out += escape(table.fontFamily);
    out += ";}}\r\n{\\colortbl;\\red0\\green0\\blue0;\\red192\\green192\\blue192;}\r\n";
    const QByteArray captionRow = rtfRowDefinition(table, true);
    const QByteArray recordRow = rtfRowDefinition(table, false);
    forEachRow(table, [&](int row, const QList<QString>& texts) {
        out += rtfRow(row < 0 ? captionRow : recordRow, row, texts, halfPoints, escape, recorder);
    });
    out += "\\pard\\par\r\n}";
    return out;
}

Rendered render(ExportFormat format, const ExportTable& table)
{
    Rendered result;
    switch (format) {
    case ExportFormat::Xls:
        result.bytes = xls(table, &result.altered);
        break;
    case ExportFormat::Txt:
        result.bytes = txt(table, &result.altered);
        break;
    case ExportFormat::Csv:
        result.bytes = csv(table, &result.altered);
        break;
    case ExportFormat::Html:
        result.bytes = html(table);
        break;
    case ExportFormat::Rtf:
        result.bytes = rtf(table, &result.altered);
        break;
    case ExportFormat::Xlsx:
        result.bytes = xlsx(table, &result.altered);
        break;
    case ExportFormat::CsvUtf8:
        result.bytes = csvUtf8(table);
        break;
    }
    return result;
}

ExportAlterations write(const QString& path, ExportFormat format, const ExportTable& table)
{
    Rendered rendered;
    try {
        rendered = render(format, table);
    } catch (const RuntimeError& error) {
        throw RuntimeError(QStringLiteral("无法写入文件 %1：%2").arg(path, error.message()));
    }
    AtomicFile::replace(path, rendered.bytes);
    return rendered.altered;
}

namespace {

    // Long values are shown by their start: the notice must stay readable.
    QString shown(const QString& text)
    {
        constexpr qsizetype Shown = 24;
        QString one = text;
        one.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
        one.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\t'), QLatin1Char(' '));
        return one.size() <= Shown ? one : one.left(Shown) + QStringLiteral("…");
    }

    QString reasonText(int reasons)
    {
        QStringList parts;
        if (reasons & ExportAlteration::Replaced) {
            parts.append(QStringLiteral("这种文件的编码（代码页 936）里没有的字符写成了 ?"));
        }
        if (reasons & ExportAlteration::Cut) {
            parts.append(QStringLiteral("超出一个单元格能容纳的长度，后面的部分被截去"));
        }
        if (reasons & ExportAlteration::Flattened) {
            parts.append(QStringLiteral("换行和制表符写成了空格"));
        }
        if (reasons & ExportAlteration::Dropped) {
            parts.append(QStringLiteral("无法显示的控制字符被去掉"));
        }
        return parts.join(QStringLiteral("；"));
    }

} // namespace

QString alterationNotice(const QString& path, const ExportTable& table, const ExportAlterations& altered)
{
    constexpr qsizetype Listed = 20;
    QString text = QStringLiteral("已输出数据到%1，但有 %2 处资料无法原样写入这种格式，文件中的写法如下：")
                       .arg(path)
                       .arg(altered.size());
    for (qsizetype i = 0; i < altered.size() && i < Listed; ++i) {
        const ExportAlteration& a = altered.at(i);
        QString where = a.row < 0 ? QStringLiteral("标题行") : QStringLiteral("第 %1 条记录").arg(a.row + 1);
        // The running count is not what the file shows: name the record by its first column too.
        if (a.row >= 0 && a.row < table.rows.size() && !table.rows.at(a.row).isEmpty() && !table.columns.isEmpty()
            && !table.rows.at(a.row).first().text.isEmpty()) {
            where += QStringLiteral("（%1 %2）").arg(table.columns.first().caption, table.rows.at(a.row).first().text);
        }
        const QString column = a.column >= 0 && a.column < table.columns.size() ? table.columns.at(a.column).caption
                                                                                : QString::number(a.column + 1);
        text += QStringLiteral("\n%1“%2”：写成“%3”（%4）").arg(where, column, shown(a.written), reasonText(a.reasons));
    }
    if (altered.size() > Listed) {
        text += QStringLiteral("\n……另有 %1 处未列出。").arg(altered.size() - Listed);
    }
    return text;
}

namespace {

    struct FormatNames
    {
        ExportFormat format;
        const char* name;
    };
    constexpr FormatNames Names[] = {
        { ExportFormat::Xls, "xls" },          { ExportFormat::Txt, "txt" },   { ExportFormat::Csv, "csv" },
        { ExportFormat::CsvUtf8, "csv-utf8" }, { ExportFormat::Html, "html" }, { ExportFormat::Rtf, "rtf" },
        { ExportFormat::Xlsx, "xlsx" },
    };

} // namespace

QString formatName(ExportFormat format)
{
    for (const auto& entry : Names) {
        if (entry.format == format) {
            return QLatin1String(entry.name);
        }
    }
    return {};
}

std::optional<ExportFormat> formatFromName(const QString& name)
{
    for (const auto& entry : Names) {
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0) {
            return entry.format;
        }
    }
    return std::nullopt;
}

std::optional<ExportFormat> formatFromSuffix(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("htm")) {
        return ExportFormat::Html;
    }
    return formatFromName(suffix);
}

} // namespace ExportWriters
