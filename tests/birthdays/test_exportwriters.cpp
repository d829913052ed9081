#include "birthdays/exporttable.h"
#include "birthdays/exportwriters.h"
#include "common/runtimeerror.h"
#include "littleendian.h"
#include "testfolder.h"

#include <QDir>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QStringDecoder>
#include <QTest>

#include <cstring>

namespace {

QByteArray labelRecord(int row, int col, const QByteArray& text)
{
    return le16(0x0204) + le16(8 + int(text.size())) + le16(row) + le16(col) + le16(0) + le16(int(text.size())) + text;
}
QByteArray rkRecord(int row, int col, qint32 value)
{
    return le16(0x027E) + le16(10) + le16(row) + le16(col) + le16(0) + le32(quint32(value * 4 + 2));
}
QByteArray blankRecord(int row, int col)
{
    return le16(0x0201) + le16(6) + le16(row) + le16(col) + le16(0x17);
}
QByteArray numberRecord(int row, int col, double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, 8);
    return le16(0x0203) + le16(14) + le16(row) + le16(col) + le16(0) + le32(quint32(bits)) + le32(quint32(bits >> 32));
}
const QByteArray Bof = QByteArray::fromHex("0908080000001000") + QByteArray(4, '\0')
    + QByteArray::fromHex("42000200a803"); // and CODEPAGE 936
const QByteArray Eof = QByteArray::fromHex("0a000000");

// Code page 936 as Windows has it (the euro sign at 0x80).
QString gb(const QByteArray& bytes)
{
    QStringDecoder decoder("windows-936");
    return decoder.decode(bytes);
}

QString gb18030(const QByteArray& bytes)
{
    QStringDecoder decoder("GB18030");
    return decoder.decode(bytes);
}

ExportTable tableOf(const QStringList& captions, const QList<QList<ExportCell>>& rows)
{
    ExportTable table;
    table.name = QStringLiteral("DBGridEh1");
    for (const QString& caption : captions) {
        table.columns.append({ caption, ExportTable::Kind::Text, 66 });
    }
    table.rows = rows;
    return table;
}

ExportCell text(const QString& s)
{
    return ExportCell::fromText(s);
}

// Reads the cell texts back out of an RTF table: \'hh bytes (code page 936), \uN? units, escapes.
QList<QStringList> rtfRows(const QByteArray& rtf)
{
    QList<QStringList> rows;
    QStringList row;
    QString cell;
    QByteArray pending;
    bool inCell = false;
    auto flush = [&] {
        QStringDecoder cp936("windows-936");
        cell += cp936.decode(pending);
        pending.clear();
    };
    for (qsizetype i = 0; i < rtf.size();) {
        const char c = rtf.at(i);
        if (c == '\\') {
            const char n = rtf.at(i + 1);
            if (n == '\'') {
                pending.append(char(QByteArray::fromHex(rtf.mid(i + 2, 2)).at(0)));
                i += 4;
                continue;
            }
            if (n == '\\' || n == '{' || n == '}') {
                flush();
                cell += QLatin1Char(n);
                i += 2;
                continue;
            }
            qsizetype j = i + 1;
            while (j < rtf.size() && std::isalpha(uchar(rtf.at(j)))) {
                ++j;
            }
            const QByteArray word = rtf.mid(i + 1, j - i - 1);
            qsizetype k = j;
            if (k < rtf.size() && (rtf.at(k) == '-' || std::isdigit(uchar(rtf.at(k))))) {
                ++k;
                while (k < rtf.size() && std::isdigit(uchar(rtf.at(k)))) {
                    ++k;
                }
            }
            const int arg = rtf.mid(j, k - j).toInt();
            if (k < rtf.size() && rtf.at(k) == ' ') {
                ++k;
            }
            flush();
            if (word == "u") {
                cell += QChar(char16_t(quint16(qint16(arg))));
                ++k; // the stand-in character
            } else if (word == "tab") {
                cell += QLatin1Char('\t');
            } else if (word == "line" || (word == "par" && inCell)) {
                cell += QLatin1Char('\n');
            } else if (word == "intbl") {
                inCell = true;
                cell.clear();
            } else if (word == "cell") {
                row.append(cell);
                cell.clear();
                inCell = false;
            } else if (word == "row") {
                rows.append(row);
                row.clear();
            }
            i = k;
            continue;
        }
        if (c == '\r' || c == '\n' || c == '{' || c == '}') {
            ++i;
            continue;
        }
        if (inCell) {
            flush();
            cell += QLatin1Char(c);
        }
        ++i;
    }
    return rows;
}

int unescapedBraceBalance(const QByteArray& rtf, int* minimum)
{
    int depth = 0;
    *minimum = 0;
    for (qsizetype i = 0; i < rtf.size(); ++i) {
        if (rtf.at(i) == '\\') {
            ++i;
            continue;
        }
        depth += rtf.at(i) == '{' ? 1 : rtf.at(i) == '}' ? -1 : 0;
        *minimum = qMin(*minimum, depth);
    }
    return depth;
}

const QString Awkward = QStringLiteral("a\tb;c\"d\"\r\ne<f>&g{h}\\i 𠀀 ✓ 張 €");

} // namespace

Q_DECLARE_METATYPE(ExportCell)

class TestExportWriters : public QObject
{
    Q_OBJECT

private:
    QSqlDatabase m_db;
    std::unique_ptr<TestFolder> m_folder;

    void exec(const QString& sql)
    {
        QSqlQuery query(m_db);
        QVERIFY2(query.exec(sql), qPrintable(query.lastError().text()));
    }

    // The roster table as the data module declares it, with two records.
    std::unique_ptr<QSqlTableModel> roster()
    {
        exec(QStringLiteral("create table birthday (id integer primary key, emp_name text, indate date, "
                            "birthday text, dept text, remark1 text)"));
        exec(QStringLiteral("insert into birthday values (7, '张三', '2020-01-05', '1990-03-14', '生产部', null)"));
        exec(QStringLiteral("insert into birthday values (9, 'Li', '2021-11-30', '1985-12-01', '', '备注')"));
        auto model = std::make_unique<QSqlTableModel>(nullptr, m_db);
        model->setTable(QStringLiteral("birthday"));
        model->select();
        const char* titles[] = { "No", "姓名", "入职", "生日", "部门", "备注" };
        for (int c = 0; c < 6; ++c) {
            model->setHeaderData(c, Qt::Horizontal, QString::fromUtf8(titles[c]));
        }
        return model;
    }

    static QByteArray isoDate(int y, int m, int d) { return QDate(y, m, d).toString(Qt::ISODate).toUtf8(); }

private slots:
    void init()
    {
        m_folder = std::make_unique<TestFolder>();
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("export"));
        m_db.setDatabaseName(QStringLiteral(":memory:"));
        QVERIFY(m_db.open());
    }

    void cleanup()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("export"));
        m_folder.reset();
    }

    void xlsOfTwoRecordsByteForByte()
    {
        auto model = roster();
        const ExportTable table = exportTableFromModel(*model, {});
        QByteArray expected = Bof;
        const QByteArray captions[] = {
            "No", "\xd0\xd5\xc3\xfb", "\xc8\xeb\xd6\xb0", "\xc9\xfa\xc8\xd5", "\xb2\xbf\xc3\xc5", "\xb1\xb8\xd7\xa2"
        };
        for (int c = 0; c < 6; ++c) {
            expected += labelRecord(0, c, captions[c]);
        }
        expected += rkRecord(1, 0, 7) + labelRecord(1, 1, "\xd5\xc5\xc8\xfd") + labelRecord(1, 2, isoDate(2020, 1, 5))
            + labelRecord(1, 3, "1990-03-14") + labelRecord(1, 4, "\xc9\xfa\xb2\xfa\xb2\xbf") + blankRecord(1, 5);
        expected += rkRecord(2, 0, 9) + labelRecord(2, 1, "Li") + labelRecord(2, 2, isoDate(2021, 11, 30))
            + labelRecord(2, 3, "1985-12-01") + labelRecord(2, 4, "") + labelRecord(2, 5, "\xb1\xb8\xd7\xa2");
        expected += Eof;

        const QString path = m_folder->file(QStringLiteral("导出数据.xls"));
        ExportWriters::write(path, ExportFormat::Xls, table);
        QCOMPARE(m_folder->read(QStringLiteral("导出数据.xls")).toHex(' '), expected.toHex(' '));
    }

    void xlsCellRecords_data()
    {
        QTest::addColumn<ExportCell>("cell");
        QTest::addColumn<QByteArray>("record");
        QTest::newRow("integer") << ExportCell::fromInteger(-3) << rkRecord(1, 0, -3);
        QTest::newRow("largest RK") << ExportCell::fromInteger((1 << 29) - 1) << rkRecord(1, 0, (1 << 29) - 1);
        QTest::newRow("beyond RK") << ExportCell::fromInteger(qint64(1) << 29) << numberRecord(1, 0, double(1 << 29));
        QTest::newRow("float") << ExportCell::fromReal(2.75) << numberRecord(1, 0, 2.75);
        QTest::newRow("missing") << ExportCell::missing() << blankRecord(1, 0);
        QTest::newRow("outside code page 936") << text(QStringLiteral("𠀀😀a")) << labelRecord(1, 0, "??a");
        QTest::newRow("euro sign") << text(QStringLiteral("€")) << labelRecord(1, 0, "\x80");
        QTest::newRow("date") << ExportCell::fromDate(QDate(1990, 3, 14)) << labelRecord(1, 0, "1990-03-14");
        // 128 two-byte characters are 256 bytes: the label keeps 127 whole ones.
        QTest::newRow("long label") << text(QString(128, QChar(0x5F20)))
                                    << labelRecord(1, 0, QByteArray("\xd5\xc5").repeated(127));
        QTest::newRow("255 bytes kept") << text(QString(255, QLatin1Char('x')))
                                        << labelRecord(1, 0, QByteArray(255, 'x'));
    }

    void xlsCellRecords()
    {
        QFETCH(ExportCell, cell);
        QFETCH(QByteArray, record);
        const QByteArray bytes = ExportWriters::xls(tableOf({ QStringLiteral("A") }, { { cell } }));
        QCOMPARE(bytes.toHex(' '), QByteArray(Bof + labelRecord(0, 0, "A") + record + Eof).toHex(' '));
    }

    void txtHasThreeLinesWithoutFinalBreak()
    {
        auto model = roster();
        const QString path = m_folder->file(QStringLiteral("a.txt"));
        ExportWriters::write(path, ExportFormat::Txt, exportTableFromModel(*model, {}));
        const QByteArray bytes = m_folder->read(QStringLiteral("a.txt"));
        QVERIFY(!bytes.endsWith("\n"));
        const QList<QByteArray> lines = bytes.split('\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(gb(lines.at(0)), QStringLiteral("No\t姓名\t入职\t生日\t部门\t备注\r"));
        QCOMPARE(gb(lines.at(1)),
                 QStringLiteral("7\t张三\t") + QString::fromUtf8(isoDate(2020, 1, 5))
                     + QStringLiteral("\t1990-03-14\t生产部\t\r"));
        QCOMPARE(gb(lines.at(2)),
                 QStringLiteral("9\tLi\t") + QString::fromUtf8(isoDate(2021, 11, 30))
                     + QStringLiteral("\t1985-12-01\t\t备注"));
    }

    void txtKeepsRowsWhole()
    {
        const QByteArray bytes = ExportWriters::txt(
            tableOf({ QStringLiteral("A"), QStringLiteral("B") }, { { text(Awkward), text(QStringLiteral("z")) } }));
        QCOMPARE(gb(bytes), QStringLiteral("A\tB\r\na b;c\"d\" e<f>&g{h}\\i ? ? 張 €\tz"));
    }

    void csvQuoting_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("field");
        QTest::newRow("plain") << QStringLiteral("张三") << QStringLiteral("\"张三\"");
        QTest::newRow("quote doubled") << QStringLiteral("say \"hi\"") << QStringLiteral("\"say \"\"hi\"\"\"");
        QTest::newRow("only a quote") << QStringLiteral("\"") << QStringLiteral("\"\"\"\"");
        QTest::newRow("semicolon") << QStringLiteral("a;b") << QStringLiteral("\"a;b\"");
        QTest::newRow("line break kept") << QStringLiteral("a\r\nb") << QStringLiteral("\"a\r\nb\"");
        QTest::newRow("empty") << QString() << QStringLiteral("\"\"");
        QTest::newRow("outside code page 936") << QStringLiteral("𠀀") << QStringLiteral("\"?\"");
    }

    void csvQuoting()
    {
        QFETCH(QString, value);
        QFETCH(QString, field);
        const QByteArray bytes = ExportWriters::csv(
            tableOf({ QStringLiteral("名"), QStringLiteral("B") }, { { text(value), text(QStringLiteral("x")) } }));
        QCOMPARE(gb(bytes), QStringLiteral("\"名\";\"B\"\r\n") + field + QStringLiteral(";\"x\""));
    }

    void htmlStructure()
    {
        ExportTable table = tableOf(
            { QStringLiteral("姓名"), QStringLiteral("<备注>") },
            { { text(QStringLiteral("张三")), text(Awkward) }, { ExportCell::missing(), text(QStringLiteral("x")) } });
        table.name = QStringLiteral("DBGridEh1");
        const QByteArray bytes = ExportWriters::html(table);
        QVERIFY(bytes.startsWith("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">\r\n"));
        QVERIFY(bytes.contains("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=GB18030\">"));
        const QString page = gb18030(bytes);
        QVERIFY(page.contains(QStringLiteral("<TITLE>DBGridEh1</TITLE>")));
        QCOMPARE(page.count(QStringLiteral("<TABLE")), 1);
        QCOMPARE(page.count(QStringLiteral("</TABLE>")), 1);
        QCOMPARE(page.count(QStringLiteral("<TR>")), 3);
        QCOMPARE(page.count(QStringLiteral("</TR>")), 3);
        QCOMPARE(page.count(QStringLiteral("<TH")), 2);
        QCOMPARE(page.count(QStringLiteral("<TD")), 4);
        QCOMPARE(page.count(QStringLiteral("</TD>")), 4);
        QVERIFY(page.contains(QStringLiteral("&lt;备注&gt;</TH>")));
        QVERIFY(page.contains(QStringLiteral("<TD>张三</TD>")));
        // What code page 936 lacks goes as character references.
        QVERIFY(page.contains(
            QStringLiteral("<TD>a\tb;c&quot;d&quot;<BR>e&lt;f&gt;&amp;g{h}\\i &#x20000; &#x2713; 張 €</TD>")));
        QVERIFY(page.contains(QStringLiteral("<TD></TD>")));
        // Outside the table's markup no "<" of a value survives.
        QVERIFY(!page.contains(QStringLiteral("<f>")));
    }

    void rtfStructureAndText()
    {
        ExportTable table = tableOf({ QStringLiteral("姓名"), QStringLiteral("备注") },
                                    { { text(QStringLiteral("张三")), text(Awkward) },
                                      { ExportCell::missing(), text(QStringLiteral("{x}")) } });
        table.columns[0].width = 66;
        table.columns[1].width = 143;
        const QByteArray bytes = ExportWriters::rtf(table);
        QVERIFY(bytes.startsWith("{\\rtf1\\ansi\\ansicpg936"));
        QVERIFY(bytes.contains("\\fcharset134"));
        int minimum = 0;
        QCOMPARE(unescapedBraceBalance(bytes, &minimum), 0);
        QVERIFY(minimum >= 0);
        QVERIFY(bytes.endsWith("}"));
        QCOMPARE(bytes.count("\\trowd"), 3);
        QCOMPARE(bytes.count("\\row\r\n"), 3);
        QCOMPARE(bytes.count("\\cellx990"), 3); // 66 px
        QCOMPARE(bytes.count("\\cellx3135"), 3); // + 143 px
        QVERIFY(bytes.contains("\\'d5\\'c5\\'c8\\'fd")); // 张三 in code page 936
        QVERIFY(bytes.contains("\\u-10176?\\u-9216?")); // U+20000 as its UTF-16 pair
        QVERIFY(bytes.contains("\\u10003?")); // ✓ is not in code page 936
        QVERIFY(bytes.contains("\\'8f\\'88 \\'80\\cell")); // 張 and the euro sign are in it
        for (const char c : bytes) {
            QVERIFY2(uchar(c) < 0x80, "RTF must be 7-bit");
        }
        const QList<QStringList> rows = rtfRows(bytes);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(0), (QStringList { QStringLiteral("姓名"), QStringLiteral("备注") }));
        QCOMPARE(rows.at(1),
                 (QStringList { QStringLiteral("张三"), QStringLiteral("a\tb;c\"d\"\ne<f>&g{h}\\i 𠀀 ✓ 張 €") }));
        QCOMPARE(rows.at(2), (QStringList { QString(), QStringLiteral("{x}") }));
    }

    void emptyRosterGivesCaptionsAlone_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("xls") << int(ExportFormat::Xls);
        QTest::newRow("txt") << int(ExportFormat::Txt);
        QTest::newRow("csv") << int(ExportFormat::Csv);
        QTest::newRow("html") << int(ExportFormat::Html);
        QTest::newRow("rtf") << int(ExportFormat::Rtf);
        QTest::newRow("xlsx") << int(ExportFormat::Xlsx);
        QTest::newRow("csv-utf8") << int(ExportFormat::CsvUtf8);
    }

    void emptyRosterGivesCaptionsAlone()
    {
        QFETCH(int, format);
        auto model = roster();
        exec(QStringLiteral("delete from birthday"));
        model->select();
        const ExportTable table = exportTableFromModel(*model, {});
        QCOMPARE(table.columns.size(), 6);
        QCOMPARE(table.rows.size(), 0);
        const ExportWriters::Rendered rendered = ExportWriters::render(ExportFormat(format), table);
        const QByteArray& bytes = rendered.bytes;
        QVERIFY(rendered.altered.isEmpty());
        switch (ExportFormat(format)) {
        case ExportFormat::Xls:
            QCOMPARE(bytes.size(), Bof.size() + Eof.size() + 6 * 12 + 2 + 5 * 4);
            QVERIFY(bytes.endsWith(Eof));
            break;
        case ExportFormat::Txt:
            QCOMPARE(gb(bytes), QStringLiteral("No\t姓名\t入职\t生日\t部门\t备注"));
            break;
        case ExportFormat::Csv:
            QCOMPARE(gb(bytes), QStringLiteral("\"No\";\"姓名\";\"入职\";\"生日\";\"部门\";\"备注\""));
            break;
        case ExportFormat::Html:
            QCOMPARE(bytes.count("<TR>"), 1);
            QCOMPARE(bytes.count("<TD"), 0);
            break;
        case ExportFormat::Rtf:
            QCOMPARE(rtfRows(bytes).size(), 1);
            break;
        case ExportFormat::Xlsx:
            QVERIFY(bytes.startsWith("PK\x03\x04"));
            break;
        case ExportFormat::CsvUtf8:
            QCOMPARE(bytes, QByteArray("\xEF\xBB\xBF\"No\",\"姓名\",\"入职\",\"生日\",\"部门\",\"备注\""));
            break;
        }
    }

    void modelAsTheGridShowsIt()
    {
        auto model = roster();
        for (int i = 0; i < 300; ++i) { // more than one slice of the model's lazy fetching
            exec(QStringLiteral("insert into birthday (emp_name, indate, birthday, dept) values ('p%1', "
                                "'2022-02-02 08:30:00', '2000-01-01', 'd')")
                     .arg(i));
        }
        model->select();
        QSortFilterProxyModel proxy;
        proxy.setSourceModel(model.get());
        ExportLayout layout;
        layout.columns = { 1, 0, 3 }; // moved and hidden columns
        layout.widths = { 66, 36, 66 };
        layout.name = QStringLiteral("DBGridEh1");
        ExportTable table = exportTableFromModel(proxy, layout);
        QCOMPARE(table.rows.size(), 302);
        QCOMPARE(table.columns.at(0).caption, QStringLiteral("姓名"));
        QCOMPARE(table.columns.at(1).kind, ExportTable::Kind::Integer);
        QCOMPARE(table.columns.at(1).width, 36);
        QCOMPARE(table.rows.at(301).at(0).text, QStringLiteral("p299"));

        // The filter narrows what is exported; the stored id is exported, not the running number.
        proxy.setFilterKeyColumn(1);
        proxy.setFilterFixedString(QStringLiteral("Li"));
        table = exportTableFromModel(proxy, {});
        QCOMPARE(table.rows.size(), 1);
        QCOMPARE(table.rows.at(0).at(0).type, ExportCell::Type::Integer);
        QCOMPARE(table.rows.at(0).at(0).integer, 9);
        QCOMPARE(table.rows.at(0).at(2).text, QString::fromUtf8(isoDate(2021, 11, 30)));
        QCOMPARE(table.rows.at(0).at(3).text, QStringLiteral("1985-12-01")); // a text column stays as stored

        proxy.setFilterFixedString(QStringLiteral("p7"));
        table = exportTableFromModel(proxy, {});
        QCOMPARE(table.rows.at(0).at(2).text, QString::fromUtf8(isoDate(2022, 2, 2)) + QStringLiteral(" 08:30:00"));
    }

    void unwritableFileNamesTheFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing folder") << QStringLiteral("nowhere/导出数据.csv");
        QTest::newRow("folder in the way") << QStringLiteral("folder");
    }

    void unwritableFileNamesTheFile()
    {
        QFETCH(QString, name);
        m_folder->write(QStringLiteral("folder/keep.txt"), "x");
        const QString path = m_folder->file(name);
        try {
            ExportWriters::write(path, ExportFormat::Csv, tableOf({ QStringLiteral("A") }, {}));
            QFAIL("no error");
        } catch (const RuntimeError& error) {
            QVERIFY2(error.message().contains(path), qPrintable(error.message()));
        }
        QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files).size(), 0);
    }

    void oversizedSheetLeavesTheOldFile()
    {
        m_folder->write(QStringLiteral("old.xls"), "old");
        ExportTable table = tableOf({ QStringLiteral("A") }, {});
        table.rows.fill({ ExportCell::missing() }, 65536);
        QVERIFY_THROWS_EXCEPTION(
            RuntimeError, ExportWriters::write(m_folder->file(QStringLiteral("old.xls")), ExportFormat::Xls, table));
        QCOMPARE(m_folder->read(QStringLiteral("old.xls")), QByteArray("old"));
        table.rows.removeLast();
        ExportWriters::write(m_folder->file(QStringLiteral("old.xls")), ExportFormat::Xls, table); // 65536 rows fit
        QCOMPARE(m_folder->read(QStringLiteral("old.xls")).size(), Bof.size() + 13 + 65535 * 10 + Eof.size());
    }
    void alterationsAreAnnounced_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("reasons");
        QTest::addColumn<QString>("written");
        const int replaced = ExportAlteration::Replaced;
        const QString outside = QStringLiteral("张𠀀😀✓");
        for (const auto& [name, format] :
             { std::pair { "xls", ExportFormat::Xls }, std::pair { "txt", ExportFormat::Txt },
               std::pair { "csv", ExportFormat::Csv } }) {
            QTest::addRow("%s: outside code page 936", name)
                << int(format) << outside << replaced << QStringLiteral("张???");
            QTest::addRow("%s: euro sign and GBK kept", name)
                << int(format) << QStringLiteral("€ 張 ·") << 0 << QString();
        }
        QTest::newRow("xls: cut at 255 bytes") << int(ExportFormat::Xls) << QString(200, QChar(0x5F20))
                                               << int(ExportAlteration::Cut) << QString(127, QChar(0x5F20));
        QTest::newRow("xls: cut and replaced")
            << int(ExportFormat::Xls) << QStringLiteral("😀") + QString(300, QLatin1Char('x'))
            << int(ExportAlteration::Cut | ExportAlteration::Replaced)
            << QStringLiteral("?") + QString(254, QLatin1Char('x'));
        QTest::newRow("xls: line breaks kept") << int(ExportFormat::Xls) << QStringLiteral("a\r\nb") << 0 << QString();
        QTest::newRow("txt: line break and tab flattened")
            << int(ExportFormat::Txt) << QStringLiteral("a\r\nb\tc") << int(ExportAlteration::Flattened)
            << QStringLiteral("a b c");
        QTest::newRow("csv: line breaks kept") << int(ExportFormat::Csv) << QStringLiteral("a\r\nb") << 0 << QString();
        QTest::newRow("rtf: control character left out") << int(ExportFormat::Rtf)
                                                         << QStringLiteral("a\x01"
                                                                           "b😀")
                                                         << int(ExportAlteration::Dropped) << QStringLiteral("ab😀");
        for (const auto& [name, format] :
             { std::pair { "html", ExportFormat::Html }, std::pair { "rtf", ExportFormat::Rtf },
               std::pair { "xlsx", ExportFormat::Xlsx }, std::pair { "csv-utf8", ExportFormat::CsvUtf8 } }) {
            QTest::addRow("%s: Unicode kept", name)
                << int(format) << outside + QStringLiteral("\r\n\t€") << 0 << QString();
        }
        QTest::newRow("xlsx: cut at 32767 characters")
            << int(ExportFormat::Xlsx) << QString(40000, QLatin1Char('x')) << int(ExportAlteration::Cut)
            << QString(32767, QLatin1Char('x'));
    }

    void alterationsAreAnnounced()
    {
        QFETCH(int, format);
        QFETCH(QString, value);
        QFETCH(int, reasons);
        QFETCH(QString, written);
        const ExportTable table = tableOf(
            { QStringLiteral("姓名"), QStringLiteral("备注") },
            { { text(QStringLiteral("x")), text(QStringLiteral("y")) }, { text(QStringLiteral("z")), text(value) } });
        const ExportAlterations altered = ExportWriters::render(ExportFormat(format), table).altered;
        if (reasons == 0) {
            QCOMPARE(altered.size(), 0);
            return;
        }
        QCOMPARE(altered.size(), 1);
        QCOMPARE(altered.at(0).row, 1);
        QCOMPARE(altered.at(0).column, 1);
        QCOMPARE(altered.at(0).reasons, reasons);
        QCOMPARE(altered.at(0).written, written);
    }

    void alterationNoticeNamesRecordsAndColumns()
    {
        ExportTable table = tableOf({ QStringLiteral("姓名"), QStringLiteral("备注") }, {});
        ExportAlterations altered;
        altered.append({ -1, 0, ExportAlteration::Replaced, QStringLiteral("?") });
        altered.append({ 4, 1, ExportAlteration::Cut | ExportAlteration::Replaced, QString(100, QLatin1Char('x')) });
        for (int i = 0; i < 30; ++i) {
            altered.append({ 10 + i, 0, ExportAlteration::Flattened, QStringLiteral("a b") });
        }
        const QString notice = ExportWriters::alterationNotice(QStringLiteral("/tmp/导出数据.xls"), table, altered);
        const QStringList lines = notice.split(QLatin1Char('\n'));
        QVERIFY2(lines.at(0).contains(QStringLiteral("/tmp/导出数据.xls"))
                     && lines.at(0).contains(QStringLiteral("32 处")),
                 qPrintable(lines.at(0)));
        QVERIFY2(lines.at(1).startsWith(QStringLiteral("标题行“姓名”：写成“?”")), qPrintable(lines.at(1)));
        QVERIFY2(lines.at(2).startsWith(QStringLiteral("第 5 条记录“备注”：写成“") + QString(24, QLatin1Char('x'))
                                        + QStringLiteral("…”")),
                 qPrintable(lines.at(2)));
        QVERIFY(lines.at(2).contains(QStringLiteral("截去")) && lines.at(2).contains(QStringLiteral("?")));
        QCOMPARE(lines.size(), 1 + 20 + 1);
        QCOMPARE(lines.last(), QStringLiteral("……另有 12 处未列出。"));
    }

    void alterationNoticeNamesARecordByItsFirstColumn()
    {
        // The first record of the file is the roster's No 7: the notice must let the user find it.
        const ExportTable table = tableOf({ QStringLiteral("No"), QStringLiteral("姓名") },
                                          { { text(QStringLiteral("7")), text(QStringLiteral("张€")) } });
        ExportAlterations altered;
        altered.append({ 0, 1, ExportAlteration::Replaced, QStringLiteral("张?") });
        const QStringList lines
            = ExportWriters::alterationNotice(QStringLiteral("/tmp/a.txt"), table, altered).split(QLatin1Char('\n'));
        QVERIFY2(lines.at(1).startsWith(QStringLiteral("第 1 条记录（No 7）“姓名”：写成“张?”")),
                 qPrintable(lines.at(1)));
    }

    void txtQuotesAValueOpeningWithAQuote()
    {
        const QByteArray bytes
            = ExportWriters::txt(tableOf({ QStringLiteral("A"), QStringLiteral("B") },
                                         { { text(QStringLiteral("\"x\" y")), text(QStringLiteral("a\"b")) } }));
        QCOMPARE(gb(bytes), QStringLiteral("A\tB\r\n\"\"\"x\"\" y\"\ta\"b"));
    }

    void csvUtf8Layout()
    {
        const QByteArray bytes
            = ExportWriters::csvUtf8(tableOf({ QStringLiteral("名"), QStringLiteral("B") },
                                             { { text(QStringLiteral("a,\"b\"\r\nc")), ExportCell::fromInteger(3) } }));
        QCOMPARE(bytes, QByteArray("\xEF\xBB\xBF\"\xE5\x90\x8D\",\"B\"\r\n\"a,\"\"b\"\"\r\nc\",\"3\""));
    }

    void formatNames_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("byName");
        QTest::addColumn<int>("bySuffix");
        QTest::newRow("xls") << "roster.XLS" << -1 << int(ExportFormat::Xls);
        QTest::newRow("xlsx") << "a/b.xlsx" << -1 << int(ExportFormat::Xlsx);
        QTest::newRow("htm") << "x.htm" << -1 << int(ExportFormat::Html);
        QTest::newRow("csv is code page 936") << "x.csv" << -1 << int(ExportFormat::Csv);
        QTest::newRow("csv-utf8 by name") << "csv-utf8" << int(ExportFormat::CsvUtf8) << -1;
        QTest::newRow("rtf by name") << "RTF" << int(ExportFormat::Rtf) << -1;
        QTest::newRow("unknown") << "x.pdf" << -1 << -1;
        QTest::newRow("no suffix") << "roster" << -1 << -1;
    }

    void formatNames()
    {
        QFETCH(QString, text);
        QFETCH(int, byName);
        QFETCH(int, bySuffix);
        const auto name = ExportWriters::formatFromName(text);
        const auto suffix = ExportWriters::formatFromSuffix(text);
        QCOMPARE(name ? int(*name) : -1, byName);
        QCOMPARE(suffix ? int(*suffix) : -1, bySuffix);
        if (name) {
            QCOMPARE(ExportWriters::formatFromName(ExportWriters::formatName(*name)), name);
        }
    }
};

QTEST_GUILESS_MAIN(TestExportWriters)
#include "test_exportwriters.moc"
