#include "birthdays/exportwriters.h"
#include "birthdays/importsheet.h"
#include "common/runtimeerror.h"
#include "littleendian.h"
#include "testfolder.h"

#include <QFile>
#include <QStringEncoder>
#include <QTest>

#include <cstring>

namespace {

QByteArray record(int type, const QByteArray& data)
{
    return le16(type) + le16(int(data.size())) + data;
}
QByteArray cellHead(int row, int column)
{
    return le16(row) + le16(column) + le16(0);
}
const QByteArray Bof = record(0x0809, le16(0) + le16(0x10) + le16(0) + le16(0));
const QByteArray Eof = record(0x000A, {});

QByteArray encoded(const char* codec, const QString& text)
{
    QStringEncoder encoder(codec);
    return encoder.encode(text);
}

// CRC-32 of the zip format, written out here so the archives below owe nothing to the reader.
quint32 crc32(const QByteArray& data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data) {
        crc ^= quint8(byte);
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

// A zip archive of stored (uncompressed) entries; flags 1 marks them encrypted.
QByteArray storedZip(const QList<std::pair<QString, QByteArray>>& entries, int flags = 0)
{
    QByteArray body;
    QByteArray directory;
    for (const auto& [name, data] : entries) {
        const QByteArray file = name.toUtf8();
        const quint32 crc = crc32(data);
        const quint32 offset = quint32(body.size());
        body += le32(0x04034b50) + le16(20) + le16(flags) + le16(0) + le16(0) + le16(0x21) + le32(crc)
            + le32(quint32(data.size())) + le32(quint32(data.size())) + le16(int(file.size())) + le16(0) + file + data;
        directory += le32(0x02014b50) + le16(20) + le16(20) + le16(flags) + le16(0) + le16(0) + le16(0x21) + le32(crc)
            + le32(quint32(data.size())) + le32(quint32(data.size())) + le16(int(file.size())) + le16(0) + le16(0)
            + le16(0) + le16(0) + le32(0) + le32(offset) + file;
    }
    const quint32 start = quint32(body.size());
    return body + directory + le32(0x06054b50) + le16(0) + le16(0) + le16(int(entries.size()))
        + le16(int(entries.size())) + le32(quint32(directory.size())) + le32(start) + le16(0);
}

const QByteArray Rels
    = "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">\n"
      "<Relationship Id=\"rId1\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
      "Target=\"worksheets/sheet1.xml\"/>\n"
      "<Relationship Id=\"rId2\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
      "Target=\"sharedStrings.xml\"/>\n"
      "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
      "Target=\"/xl/styles.xml\"/>\n"
      "</Relationships>";

QByteArray workbookXml(bool date1904)
{
    return QByteArray("<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">")
        + (date1904 ? "<workbookPr date1904=\"1\"/>" : "<workbookPr/>")
        + R"(<sheets><sheet name="员工" sheetId="1" r:id="rId1"/></sheets></workbook>)";
}

const QByteArray Styles = "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">\n"
                          "<numFmts count=\"2\"><numFmt numFmtId=\"164\" "
                          "formatCode=\"yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;\"/>\n"
                          "<numFmt numFmtId=\"165\" formatCode=\"&quot;d&quot;0.00\"/></numFmts>\n"
                          "<cellStyleXfs count=\"1\"><xf numFmtId=\"14\"/></cellStyleXfs>\n"
                          "<cellXfs count=\"4\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/><xf "
                          "numFmtId=\"165\"/></cellXfs></styleSheet>";

QByteArray sheetXml(const QByteArray& rows, const QByteArray& tail = {})
{
    return "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>" + rows
        + "</sheetData>" + tail + "</worksheet>";
}

QByteArray xlsxOf(const QByteArray& sheet, const QByteArray& strings, bool date1904 = false)
{
    return storedZip({ { QStringLiteral("[Content_Types].xml"), "<Types/>" },
                       { QStringLiteral("xl/workbook.xml"), workbookXml(date1904) },
                       { QStringLiteral("xl/_rels/workbook.xml.rels"), Rels },
                       { QStringLiteral("xl/styles.xml"), Styles },
                       { QStringLiteral("xl/sharedStrings.xml"), strings },
                       { QStringLiteral("xl/worksheets/sheet1.xml"), sheet } });
}

QString fixture(const QString& name)
{
    return QStringLiteral(KELVORA_TEST_DATA "/") + name;
}

QByteArray fixtureBytes(const QString& name)
{
    QFile file(fixture(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The rows as texts, the way the preview shows them; trailing empty cells dropped.
QList<QStringList> texts(const ImportSheet& sheet)
{
    QList<QStringList> rows;
    for (const auto& row : sheet.rows) {
        QStringList cells;
        for (const SheetCell& cell : row) {
            cells.append(cell.text);
        }
        while (!cells.isEmpty() && cells.last().isEmpty()) {
            cells.removeLast();
        }
        rows.append(cells);
    }
    return rows;
}

using Rows = QList<QStringList>;

} // namespace

class TestImportSheet final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestFolder> m_folder;

    ImportSheet readFile(const QString& name, const QByteArray& bytes)
    {
        m_folder->write(name, bytes);
        return ImportReaders::read(m_folder->file(name));
    }

    void expectRefusal(const QString& name, const QByteArray& bytes, const QString& fragment)
    {
        try {
            readFile(name, bytes);
            QFAIL("the file was read");
        } catch (const RuntimeError& error) {
            QVERIFY2(error.message().contains(fragment), qPrintable(error.message()));
        }
    }

private slots:
    void init() { m_folder = std::make_unique<TestFolder>(); }
    void cleanup() { m_folder.reset(); }

    void textEncodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("encoding");
        const QString text = QStringLiteral("姓名,备注\r\n张三,€ 𠀀 ✓\r\n");
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF" + text.toUtf8()) << "UTF-8";
        QTest::newRow("UTF-8") << text.toUtf8() << "UTF-8";
        QTest::newRow("UTF-16LE with BOM") << QByteArray("\xFF\xFE" + encoded("UTF-16LE", text)) << "UTF-16";
        QTest::newRow("GB18030") << encoded("GB18030", text) << "GB18030";
        // Code page 936 keeps the euro sign as the single byte 0x80 that GB18030 does not know.
        QTest::newRow("code page 936") << QByteArray(
            "\xD0\xD5\xC3\xFB,\xB1\xB8\xD7\xA2\r\n\xD5\xC5\xC8\xFD,\x80 ? ?\r\n")
                                       << "GBK";
    }

    void textEncodings()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, encoding);
        const ImportSheet sheet = ImportReaders::delimited(bytes);
        QCOMPARE(sheet.encoding, encoding);
        QCOMPARE(sheet.separator, QLatin1Char(','));
        QCOMPARE(texts(sheet).at(0), (QStringList { QStringLiteral("姓名"), QStringLiteral("备注") }));
        QCOMPARE(texts(sheet).at(1).at(0), QStringLiteral("张三"));
        QVERIFY(texts(sheet).at(1).at(1).startsWith(QStringLiteral("€ ")));
        QCOMPARE(sheet.rows.size(), 2);
    }

    void textFields_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<Rows>("rows");
        QTest::newRow("comma") << "a,b,c\nd,e,f" << QChar(',') << Rows { { "a", "b", "c" }, { "d", "e", "f" } };
        QTest::newRow("semicolon, all quoted (the station's CSV)")
            << "\"No\";\"姓名\"\r\n\"1\";\"a;\"\"b\"\"\"" << QChar(';')
            << Rows { { "No", "姓名" }, { "1", "a;\"b\"" } };
        QTest::newRow("tab (the station's TXT)") << "姓名\t生日\r\n张, 三\t1990-03-14" << QChar('\t')
                                                 << Rows { { "姓名", "生日" }, { "张, 三", "1990-03-14" } };
        QTest::newRow("line breaks inside quotes") << "a,b\n\"x\r\ny\",\"z\rw\"\n"
                                                   << QChar(',') << Rows { { "a", "b" }, { "x\r\ny", "z\rw" } };
        QTest::newRow("CR line ends") << "a;b\rc;d\r" << QChar(';') << Rows { { "a", "b" }, { "c", "d" } };
        QTest::newRow("quote inside a field is text")
            << "a,b\nsay \"hi\",x" << QChar(',') << Rows { { "a", "b" }, { "say \"hi\"", "x" } };
        QTest::newRow("text after a closing quote")
            << "a,b\n\"x\"y,z" << QChar(',') << Rows { { "a", "b" }, { "xy", "z" } };
        QTest::newRow("empty fields") << "a,,c\n,," << QChar(',') << Rows { { "a", "", "c" }, {} };
        QTest::newRow("one column") << "姓名\n张三" << QChar(',') << Rows { { "姓名" }, { "张三" } };
        QTest::newRow("more semicolons than commas")
            << "a;b;c\n1,5;2;3" << QChar(';') << Rows { { "a", "b", "c" }, { "1,5", "2", "3" } };
    }

    void textFields()
    {
        QFETCH(QString, text);
        QFETCH(QChar, separator);
        QFETCH(Rows, rows);
        const ImportSheet sheet = ImportReaders::delimited(text.toUtf8());
        QCOMPARE(sheet.separator, separator);
        QCOMPARE(texts(sheet), rows);
    }

    void textRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("fragment");
        QTest::newRow("empty") << QByteArray() << "空";
        QTest::newRow("byte-order mark only") << QByteArray("\xEF\xBB\xBF") << "空";
        QTest::newRow("blank lines only") << QByteArray(" \r\n\r\n\t") << "空";
        QTest::newRow("quote never closed") << QByteArray("姓名,备注\n张三,ok\n李四,\"open\n王五,x\n") << "第 3 行";
        QTest::newRow("neither encoding") << QByteArray("\xFF\xFF\xFF,\x81\n") << "既不是 UTF-8 也不是 GB18030";
        QTest::newRow("broken UTF-8 after its BOM") << QByteArray("\xEF\xBB\xBF\xE5\xBC") << "UTF-8";
        QTest::newRow("binary") << QByteArray("a,b\n\0\0\0c", 9) << "不是文本文件";
    }

    void textRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, fragment);
        expectRefusal(QStringLiteral("people.csv"), bytes, fragment);
    }

    void biffReadsTheExportBack()
    {
        ExportTable table;
        for (const char* caption : { "No", "姓名", "生日", "备注" }) {
            table.columns.append({ QString::fromUtf8(caption), ExportTable::Kind::Text, 66 });
        }
        table.rows = {
            { ExportCell::fromInteger(7), ExportCell::fromText(QStringLiteral("张三€")),
              ExportCell::fromDate(QDate(1990, 3, 14)), ExportCell::fromText(QStringLiteral("a;\"b\"\r\nc")) },
            { ExportCell::fromInteger(qint64(1) << 40), ExportCell::fromText(QStringLiteral("𠀀李")),
              ExportCell::missing(), ExportCell::fromReal(2.5) },
        };
        ExportAlterations altered;
        const ImportSheet sheet = ImportReaders::biff(ExportWriters::xls(table, &altered));
        QCOMPARE(sheet.format, QStringLiteral("XLS"));
        QCOMPARE(texts(sheet),
                 (Rows { { "No", "姓名", "生日", "备注" },
                         { "7", "张三€", "1990-03-14", "a;\"b\"\r\nc" },
                         { "1099511627776", "?李", "", "2.5" } }));
        QCOMPARE(sheet.rows.at(1).at(0).type, SheetCell::Type::Number);
        QCOMPARE(sheet.rows.at(2).at(2).type, SheetCell::Type::Empty);
        QCOMPARE(altered.size(), 1);
        QCOMPARE(altered.at(0).written, QStringLiteral("?李"));
    }

    void biffRecords_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<Rows>("rows");
        const QByteArray gb = encoded("GB18030", QStringLiteral("𠀀张"));
        QTest::newRow("no code page: GB18030 of earlier exports")
            << Bof + record(0x0204, cellHead(0, 0) + le16(int(gb.size())) + gb) + Eof << Rows { { "𠀀张" } };
        QTest::newRow("RK of a hundredth")
            << Bof + record(0x027E, cellHead(0, 0) + le32(quint32(1234 * 4 + 3))) + Eof << Rows { { "12.34" } };
        quint64 bits = 0;
        const double half = 1.5;
        std::memcpy(&bits, &half, 8);
        QTest::newRow("RK of a double") << Bof + record(0x027E, cellHead(0, 1) + le32(quint32(bits >> 32))) + Eof
                                        << Rows { { "", "1.5" } };
        QTest::newRow("MULRK") << Bof
                + record(0x00BD, le16(1) + le16(0) + le16(0) + le32(4 * 4 + 2) + le16(0) + le32(5 * 4 + 2) + le16(1))
                + Eof << Rows { {}, { "4", "5" } };
        QTest::newRow("records after EOF are not read")
            << Bof + Eof + record(0x0204, cellHead(0, 0) + le16(1) + "x") << Rows {};
        QTest::newRow("unknown records passed over")
            << Bof + record(0x0055, le16(8)) + record(0x0204, cellHead(0, 0) + le16(1) + "x") + Eof << Rows { { "x" } };
        const QByteArray biff8Bof = record(0x0809, le16(0x0600) + le16(0x10) + le16(0) + le16(0));
        QTest::newRow("BIFF8 label in UTF-16") << biff8Bof
                + record(0x0204, cellHead(0, 0) + le16(2) + "\x01" + encoded("UTF-16LE", QStringLiteral("张三")))
                + Eof << Rows { { "张三" } };
    }

    void biffRecords()
    {
        QFETCH(QByteArray, stream);
        QFETCH(Rows, rows);
        QCOMPARE(texts(ImportReaders::biff(stream)), rows);
    }

    void biffRefused_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QString>("fragment");
        QTest::newRow("cut inside a record") << Bof + record(0x0204, cellHead(0, 0) + le16(1) + "x").left(9) << "损坏";
        QTest::newRow("no EOF") << Bof + record(0x0204, cellHead(0, 0) + le16(1) + "x") << "不完整";
        QTest::newRow("label longer than its record")
            << Bof + record(0x0204, cellHead(0, 0) + le16(9) + "x") + Eof << "损坏";
        QTest::newRow("password") << Bof + record(0x002F, le16(0)) + Eof << "密码";
        QTest::newRow("unknown code page") << Bof + record(0x0042, le16(4242)) + Eof << "4242";
    }

    void biffRefused()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QString, fragment);
        expectRefusal(QStringLiteral("x.xls"), stream, fragment);
    }

    void xlsOfASpreadsheetProgram()
    {
        // Saved by LibreOffice from hr-roster.fods: a merged title row, dates formatted as dates,
        // a department merged over two rows, formulas.
        const ImportSheet sheet = ImportReaders::read(fixture(QStringLiteral("hr-roster.xls")));
        QCOMPARE(sheet.format, QStringLiteral("XLS"));
        QVERIFY(!sheet.note.isEmpty());
        const Rows rows = texts(sheet);
        QCOMPARE(rows.size(), 6);
        QCOMPARE(rows.at(0), QStringList { QStringLiteral("某公司员工生日表") });
        QCOMPARE(rows.at(1), (QStringList { "序号", "员工姓名", "出生日期", "入职日期", "所属部门", "备注" }));
        QCOMPARE(rows.at(2).mid(0, 5), (QStringList { "1", "张三", "1990-03-14", "2020-01-05", "生产部" }));
        QCOMPARE(sheet.rows.at(2).at(2).type, SheetCell::Type::Date);
        QCOMPARE(rows.at(3), (QStringList { "2", "李四€", "1988-07-08", "2021-06-01", "", "𪛖 😀" }));
        // libfreexl reads no formula results: the joining date of row 5 is empty.
        QCOMPARE(rows.at(4).mid(0, 4), (QStringList { "3", "王五", "1985-12-01", "" }));
    }

    void xlsxOfASpreadsheetProgram()
    {
        const ImportSheet sheet = ImportReaders::read(fixture(QStringLiteral("hr-roster.xlsx")));
        QCOMPARE(sheet.format, QStringLiteral("XLSX"));
        const Rows rows = texts(sheet);
        QCOMPARE(rows.size(), 6);
        QCOMPARE(rows.at(0).at(0), QStringLiteral("某公司员工生日表"));
        QCOMPARE(rows.at(2), (QStringList { "1", "张三", "1990-03-14", "2020-01-05", "生产部", "工号1" }));
        QCOMPARE(sheet.rows.at(2).at(3).type, SheetCell::Type::Date);
        // The merged department reaches the second person; formulas give their kept results.
        QCOMPARE(rows.at(3), (QStringList { "2", "李四€", "1988-07-08", "2021-06-01", "生产部", "𪛖 😀" }));
        QCOMPARE(rows.at(4).mid(0, 5), (QStringList { "3", "王五", "1985-12-01", "2019-02-28", "财务部" }));
        QCOMPARE(rows.at(5).at(1), QString());
    }

    void xlsxParts_data()
    {
        QTest::addColumn<QByteArray>("rows");
        QTest::addColumn<QByteArray>("strings");
        QTest::addColumn<bool>("date1904");
        QTest::addColumn<Rows>("expected");
        const QByteArray strings
            = R"(<sst><si><t>姓名</t></si><si><r><t>张</t></r><r><t xml:space="preserve"> 三</t></r>)"
              R"(<rPh><t>ちょう</t></rPh></si></sst>)";
        QTest::newRow("shared and rich strings, phonetic guide left out")
            << QByteArray(
                   R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row><row r="2"><c r="A2" t="s"><v>1</v></c></row>)")
            << strings << false << Rows { { "姓名" }, { "张 三" } };
        QTest::newRow("characters escaped for XML")
            << QByteArray(R"(<row r="1"><c r="A1" t="inlineStr"><is><t>a_x000D_b_x005F_x0041_</t></is></c></row>)")
            << QByteArray() << false << Rows { { "a\rb_x0041_" } };
        QTest::newRow("inline strings, booleans, errors, formula text")
            << QByteArray(R"(<row r="1"><c r="B1" t="inlineStr"><is><t>李四</t></is></c><c r="C1" t="b"><v>1</v></c>)"
                          R"(<c r="D1" t="e"><v>#N/A</v></c><c r="E1" t="str"><f>A1</f><v>x</v></c></row>)")
            << QByteArray() << false << Rows { { "", "李四", "TRUE", "#N/A", "x" } };
        QTest::newRow("dates by built-in and custom formats, a plain number, a number format with d in quotes")
            << QByteArray(R"(<row r="1"><c r="A1" s="1"><v>32946</v></c><c r="B1" s="2"><v>43835</v></c>)"
                          R"(<c r="C1"><v>32946</v></c><c r="D1" s="3"><v>5</v></c></row>)")
            << QByteArray() << false << Rows { { "1990-03-14", "2020-01-05", "32946", "5" } };
        QTest::newRow("1904 date system") << QByteArray(R"(<row r="1"><c r="A1" s="1"><v>0</v></c></row>)")
                                          << QByteArray() << true << Rows { { "1904-01-01" } };
        QTest::newRow("1904 date system, one day on") << QByteArray(R"(<row r="1"><c r="A1" s="1"><v>1</v></c></row>)")
                                                      << QByteArray() << true << Rows { { "1904-01-02" } };
        QTest::newRow("cells and rows without positions, a formula without result")
            << QByteArray(R"(<row><c t="inlineStr"><is><t>a</t></is></c><c><v>2</v></c><c><f>A1</f></c></row>)"
                          R"(<row><c t="inlineStr"><is><t>b</t></is></c></row>)")
            << QByteArray() << false << Rows { { "a", "2" }, { "b" } };
    }

    void xlsxParts()
    {
        QFETCH(QByteArray, rows);
        QFETCH(QByteArray, strings);
        QFETCH(bool, date1904);
        QFETCH(Rows, expected);
        const ImportSheet sheet = readFile(QStringLiteral("a.xlsx"), xlsxOf(sheetXml(rows), strings, date1904));
        QCOMPARE(texts(sheet), expected);
        QCOMPARE(sheet.date1904, date1904);
    }

    void xlsxMergedCellsAreFilled()
    {
        const QByteArray rows = R"(<row r="1"><c r="A1" t="inlineStr"><is><t>部</t></is></c></row><row r="3"/>)";
        const ImportSheet sheet
            = readFile(QStringLiteral("m.xlsx"),
                       xlsxOf(sheetXml(rows, R"(<mergeCells><mergeCell ref="A1:B3"/></mergeCells>)"), {}));
        QCOMPARE(texts(sheet), (Rows { { "部", "部" }, { "部", "部" }, { "部", "部" } }));
    }

    void xlsxReadsTheExportBack()
    {
        ExportTable table;
        for (const char* caption : { "No", "姓名", "入职", "备注" }) {
            table.columns.append({ QString::fromUtf8(caption), ExportTable::Kind::Text, 66 });
        }
        table.rows
            = { { ExportCell::fromInteger(3),
                  ExportCell::fromText(QStringLiteral("=1+1 𠀀 😀 _x0041_ a\x01"
                                                      "b\r\n")),
                  ExportCell::fromDate(QDate(2020, 1, 5)), ExportCell::fromText(QStringLiteral("两行\n第二行")) },
                { ExportCell::fromReal(0.25), ExportCell::missing(), ExportCell::fromDate(QDate(1899, 1, 1)),
                  ExportCell::fromText(QString(40000, QLatin1Char('x'))) } };
        ExportAlterations altered;
        const ImportSheet sheet = readFile(QStringLiteral("e.xlsx"), ExportWriters::xlsx(table, &altered));
        const Rows rows = texts(sheet);
        QCOMPARE(rows.at(0), (QStringList { "No", "姓名", "入职", "备注" }));
        QCOMPARE(rows.at(1),
                 (QStringList { "3",
                                "=1+1 𠀀 😀 _x0041_ a\x01"
                                "b\r\n",
                                "2020-01-05", "两行\n第二行" }));
        QCOMPARE(sheet.rows.at(1).at(2).type, SheetCell::Type::Date);
        QCOMPARE(rows.at(2).mid(0, 3), (QStringList { "0.25", "", "1899-01-01" }));
        QCOMPARE(rows.at(2).at(3).size(), 32767);
        QCOMPARE(altered.size(), 1);
        QCOMPARE(altered.at(0).row, 1);
        QCOMPARE(altered.at(0).reasons, int(ExportAlteration::Cut));
    }

    void workbookRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("fragment");
        const QByteArray xlsx = xlsxOf(sheetXml({}), {});
        QTest::newRow("zip cut short") << "a.xlsx" << xlsx.left(xlsx.size() / 2) << "损坏";
        QTest::newRow("zip without a workbook")
            << "a.xlsx" << storedZip({ { QStringLiteral("word/document.xml"), "<w/>" } }) << "xl/workbook.xml";
        QTest::newRow("encrypted zip entries") << "a.xlsx"
                                               << storedZip({ { QStringLiteral("xl/workbook.xml"), workbookXml(false) },
                                                              { QStringLiteral("xl/_rels/workbook.xml.rels"), Rels } },
                                                            1)
                                               << "密码";
        QTest::newRow("broken sheet XML") << "a.xlsx" << xlsxOf("<worksheet><sheetData><row>", {}) << "损坏";
        QTest::newRow("shared string out of range")
            << "a.xlsx" << xlsxOf(sheetXml(R"(<row><c t="s"><v>9</v></c></row>)"), "<sst/>") << "共享字符串";
        const QByteArray xls = fixtureBytes(QStringLiteral("hr-roster.xls"));
        QTest::newRow("OLE2 cut short") << "a.xls" << xls.left(1500) << "损坏";
        // An encrypted .xlsx is an OLE2 container holding no workbook stream.
        QByteArray encrypted = xls;
        encrypted.replace(encoded("UTF-16LE", QStringLiteral("Workbook")),
                          encoded("UTF-16LE", QStringLiteral("Encrypte")));
        QTest::newRow("no workbook stream (an encrypted workbook)") << "a.xlsx" << encrypted << "密码";
        QTest::newRow("a text named .xls") << "a.xls" << QByteArray("<html><table>") << "不是 Excel 工作簿";
        QTest::newRow("an empty .xlsx") << "a.xlsx" << QByteArray() << "空";
        QTest::newRow("an HTML page") << "a.html" << QByteArray("<html>") << "XLS、XLSX、CSV 和 TXT";
    }

    void workbookRefused()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, fragment);
        expectRefusal(name, bytes, fragment);
    }

    void serialDates_data()
    {
        QTest::addColumn<double>("serial");
        QTest::addColumn<bool>("date1904");
        QTest::addColumn<QDate>("date");
        QTest::newRow("first day") << 1.0 << false << QDate(1900, 1, 1);
        QTest::newRow("28 February 1900") << 59.0 << false << QDate(1900, 2, 28);
        QTest::newRow("the 29 February 1900 that never was") << 60.0 << false << QDate();
        QTest::newRow("1 March 1900") << 61.0 << false << QDate(1900, 3, 1);
        QTest::newRow("a time of day is left out") << 32946.75 << false << QDate(1990, 3, 14);
        QTest::newRow("1904 system") << 31484.0 << true << QDate(1990, 3, 14);
        QTest::newRow("1904 system, day 0") << 0.0 << true << QDate(1904, 1, 1);
        QTest::newRow("zero") << 0.0 << false << QDate();
        QTest::newRow("negative") << -5.0 << false << QDate();
        QTest::newRow("last day") << 2958465.0 << false << QDate(9999, 12, 31);
        QTest::newRow("beyond") << 2958466.0 << false << QDate();
    }

    void serialDates()
    {
        QFETCH(double, serial);
        QFETCH(bool, date1904);
        QFETCH(QDate, date);
        QCOMPARE(ImportReaders::serialDate(serial, date1904), date);
    }
};

QTEST_GUILESS_MAIN(TestImportSheet)
#include "test_importsheet.moc"
