#include "exportwriters.h"

#include "common/atomicfile.h"
#include "common/runtimeerror.h"

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

    QList<QString> captionsOf(const ExportTable& table)
    {
        QList<QString> captions;
        for (const auto& column : table.columns) {
            captions.append(column.caption);
        }
        return captions;
    }

    // ---- XLS

    constexpr quint16 RecordBof = 0x0809;
    constexpr quint16 RecordEof = 0x000A;
    constexpr quint16 RecordRk = 0x027E;
    constexpr quint16 RecordNumber = 0x0203;
    constexpr quint16 RecordBlank = 0x0201;
    constexpr quint16 RecordLabel = 0x0204;
    // A BIFF LABEL holds at most 255 characters; longer texts are cut there, on a character boundary.
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

    // The longest prefix of at most MaxLabelBytes bytes that ends on a whole GB18030 character.
    QByteArray labelBytes(const QString& text, Gb18030& encode)
    {
        QByteArray bytes = encode(text);
        if (bytes.size() <= MaxLabelBytes) {
            return bytes;
        }
        qsizetype cut = 0;
        for (qsizetype i = 0; i < text.size();) {
            const qsizetype units = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            const qsizetype n = encode(QStringView(text).mid(i, units)).size();
            if (cut + n > MaxLabelBytes) {
                break;
            }
            cut += n;
            i += units;
        }
        bytes.truncate(cut);
        return bytes;
    }

    void label(BiffStream& out, quint16 row, quint16 column, const QByteArray& text)
    {
        out.header(RecordLabel, quint16(8 + text.size()));
        out.u16(row);
        out.u16(column);
        out.u16(0);
        out.u16(quint16(text.size()));
        out.bytes(text);
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

    QString quoted(const QString& text)
    {
        QString result = text;
        result.replace(QLatin1Char('"'), QLatin1String("\"\""));
        return QLatin1Char('"') + result + QLatin1Char('"');
    }

    template <typename Cell> QByteArray joined(const ExportTable& table, QLatin1Char separator, Cell cell)
    {
        Gb18030 encode;
        QByteArray out;
        out.reserve((table.rows.size() + 1) * table.columns.size() * 12);
        const QList<QString> captions = captionsOf(table);
        for (qsizetype c = 0; c < captions.size(); ++c) {
            if (c > 0) {
                out.append(char(separator.unicode()));
            }
            out.append(encode(cell(captions.at(c))));
        }
        for (const auto& row : table.rows) {
            out.append("\r\n");
            for (qsizetype c = 0; c < row.size(); ++c) {
                if (c > 0) {
                    out.append(char(separator.unicode()));
                }
                out.append(encode(cell(row.at(c).text)));
            }
        }
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

    // ---- RTF

    // Text of an RTF group: GBK characters as \'hh escapes of their code-page 936 bytes (read by every
    // word processor through \ansicpg936), the rest of Unicode as \uN? so nothing is lost. Pure ASCII
    // output, so the file's own encoding never matters.
    class RtfText
    {
    public:
        QByteArray operator()(const QString& text)
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
                    out.append("\\line ");
                } else if (c < 0x20) {
                    continue; // other control characters are no text
                } else if (c < 0x80) {
                    out.append(char(c));
                } else if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                    unicode(out, c);
                    unicode(out, text.at(++i).unicode());
                } else {
                    // GB18030 and code page 936 differ on a few characters (the euro sign, some
                    // private-use codes): the \'hh bytes are those of code page 936 itself.
                    const QByteArray bytes = m_cp936.encode(QStringView(text).mid(i, 1));
                    // A character outside the code page comes back as the stand-in "?" (the
                    // converter's error flag stays set once raised, so it cannot tell per character).
                    if (bytes.isEmpty() || bytes == "?") {
                        unicode(out, c);
                    } else {
                        for (const char b : bytes) {
                            out.append("\\'").append(hex(quint8(b)));
                        }
                    }
                }
            }
            return out;
        }

    private:
        static QByteArray hex(quint8 b)
        {
            static const char digits[] = "0123456789abcdef";
            const char pair[2] = { digits[b >> 4], digits[b & 0xF] };
            return QByteArray(pair, 2);
        }
        static void unicode(QByteArray& out, char16_t unit)
        {
            // \uN takes a signed 16-bit number; "?" stands in for readers without Unicode.
            out.append("\\u").append(QByteArray::number(qint16(unit))).append('?');
        }

        QStringEncoder m_cp936 { "windows-936", QStringConverter::Flag::Stateless };
    };

    constexpr int TwipsPerPixel = 15; // at 96 pixels per inch

    QByteArray rtfRow(const ExportTable& table, const QList<QString>& texts, bool caption, int fontHalfPoints,
                      RtfText& escape)
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
        for (const QString& text : texts) {
            row += "\\pard\\intbl\\plain\\f0\\fs" + QByteArray::number(fontHalfPoints) + (caption ? "\\b " : " ");
            row += escape(text);
            row += "\\cell\r\n";
        }
        row += "\\row\r\n";
        return row;
    }

} // namespace

QByteArray xls(const ExportTable& table)
{
    if (table.rows.size() + 1 > 65536) {
        throw RuntimeError(QStringLiteral("XLS 工作表最多容纳 65536 行，要导出的是 %1 行").arg(table.rows.size() + 1));
    }
    if (table.columns.size() > 256) {
        throw RuntimeError(QStringLiteral("XLS 工作表最多容纳 256 列，要导出的是 %1 列").arg(table.columns.size()));
    }
    Gb18030 encode;
    BiffStream out((table.rows.size() + 1) * table.columns.size() * 20 + 16);
    out.header(RecordBof, 8);
    out.u16(0x0000);
    out.u16(0x0010);
    out.u16(0x0000);
    out.u16(0x0000);
    for (qsizetype c = 0; c < table.columns.size(); ++c) {
        label(out, 0, quint16(c), labelBytes(table.columns.at(c).caption, encode));
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
                label(out, row, column, labelBytes(cell.text, encode));
                break;
            }
        }
    }
    out.header(RecordEof, 0);
    return out.take();
}

QByteArray txt(const ExportTable& table)
{
    return joined(table, QLatin1Char('\t'), flattened);
}

QByteArray csv(const ExportTable& table)
{
    return joined(table, QLatin1Char(';'), quoted);
}

QByteArray html(const ExportTable& table)
{
    Gb18030 encode;
    QByteArray out;
    out.reserve((table.rows.size() + 1) * table.columns.size() * 24 + 512);
    out += "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\r\n"
           "<HTML>\r\n<HEAD>\r\n"
           "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=GB18030\">\r\n"
           "<TITLE>";
    out += encode(htmlEscaped(table.name));
    out += "</TITLE>\r\n</HEAD>\r\n<BODY>\r\n<TABLE BORDER=1 CELLSPACING=0 CELLPADDING=2>\r\n<TR>";
    for (const auto& column : table.columns) {
        out += "<TH WIDTH=" + QByteArray::number(column.width) + " ALIGN=LEFT>";
        out += encode(htmlEscaped(column.caption));
        out += "</TH>";
    }
    out += "</TR>\r\n";
    for (const auto& row : table.rows) {
        out += "<TR>";
        for (const auto& cell : row) {
            out += cell.type == ExportCell::Type::Integer || cell.type == ExportCell::Type::Float ? "<TD ALIGN=RIGHT>"
                                                                                                  : "<TD>";
            out += encode(htmlEscaped(cell.text));
            out += "</TD>";
        }
        out += "</TR>\r\n";
    }
    out += "</TABLE>\r\n</BODY>\r\n</HTML>\r\n";
    return out;
}

QByteArray rtf(const ExportTable& table)
{
    RtfText escape;
    const int halfPoints = qMax(2, qRound(table.fontPointSize * 2));
    QByteArray out;
    out.reserve((table.rows.size() + 1) * (table.columns.size() * 120 + 64) + 512);
    out += "{\\rtf1\\ansi\\ansicpg936\\deff0\\uc1\r\n{\\fonttbl{\\f0\\fnil\\fcharset134 ";
    out += escape(table.fontFamily);
    out += ";}}\r\n{\\colortbl;\\red0\\green0\\blue0;\\red192\\green192\\blue192;}\r\n";
    out += rtfRow(table, captionsOf(table), true, halfPoints, escape);
    QList<QString> texts;
    for (const auto& row : table.rows) {
        texts.clear();
        for (const auto& cell : row) {
            texts.append(cell.text);
        }
        out += rtfRow(table, texts, false, halfPoints, escape);
    }
    out += "\\pard\\par\r\n}";
    return out;
}

QByteArray render(ExportFormat format, const ExportTable& table)
{
    switch (format) {
    case ExportFormat::Xls:
        return xls(table);
    case ExportFormat::Txt:
        return txt(table);
    case ExportFormat::Csv:
        return csv(table);
    case ExportFormat::Html:
        return html(table);
    case ExportFormat::Rtf:
        return rtf(table);
    }
    return {};
}

void write(const QString& path, ExportFormat format, const ExportTable& table)
{
    QByteArray bytes;
    try {
        bytes = render(format, table);
    } catch (const RuntimeError& error) {
        throw RuntimeError(QStringLiteral("无法写入文件 %1：%2").arg(path, error.message()));
    }
    AtomicFile::replace(path, bytes);
}

} // namespace ExportWriters
