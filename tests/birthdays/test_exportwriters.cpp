#include "birthdays/exporttable.h"
#include "birthdays/exportwriters.h"
#include "common/runtimeerror.h"
#include "testfolder.h"

#include <QDir>
#include <QLocale>
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

// Independent of the writer: little-endian record bytes built by hand.
QByteArray le16(int v)
{
    const char bytes[2] = { char(v & 0xFF), char((v >> 8) & 0xFF) };
    return QByteArray(bytes, 2);
}
QByteArray le32(quint32 v)
{
    return le16(int(v & 0xFFFF)) + le16(int(v >> 16));
}
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
const QByteArray Bof = QByteArray::fromHex("0908080000001000") + QByteArray(4, '\0');
const QByteArray Eof = QByteArray::fromHex("0a000000");

QString gb(const QByteArray& bytes)
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
            } else if (word == "line") {
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

    static QByteArray shortDate(int y, int m, int d)
    {
        return QLocale::system().toString(QDate(y, m, d), QLocale::ShortFormat).toUtf8(); // ASCII digits and signs
    }

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
        expected += rkRecord(1, 0, 7) + labelRecord(1, 1, "\xd5\xc5\xc8\xfd") + labelRecord(1, 2, shortDate(2020, 1, 5))
            + labelRecord(1, 3, "1990-03-14") + labelRecord(1, 4, "\xc9\xfa\xb2\xfa\xb2\xbf") + blankRecord(1, 5);
        expected += rkRecord(2, 0, 9) + labelRecord(2, 1, "Li") + labelRecord(2, 2, shortDate(2021, 11, 30))
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
        QTest::newRow("outside GBK") << text(QStringLiteral("𠀀")) << labelRecord(1, 0, "\x95\x32\x82\x36");
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
                 QStringLiteral("7\t张三\t") + QString::fromUtf8(shortDate(2020, 1, 5))
                     + QStringLiteral("\t1990-03-14\t生产部\t\r"));
        QCOMPARE(gb(lines.at(2)),
                 QStringLiteral("9\tLi\t") + QString::fromUtf8(shortDate(2021, 11, 30))
                     + QStringLiteral("\t1985-12-01\t\t备注"));
    }

    void txtKeepsRowsWhole()
    {
        const QByteArray bytes = ExportWriters::txt(
            tableOf({ QStringLiteral("A"), QStringLiteral("B") }, { { text(Awkward), text(QStringLiteral("z")) } }));
        QCOMPARE(gb(bytes), QStringLiteral("A\tB\r\na b;c\"d\" e<f>&g{h}\\i 𠀀 ✓ 張 €\tz"));
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
        QTest::newRow("outside GBK") << QStringLiteral("𠀀") << QStringLiteral("\"𠀀\"");
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
        const QString page = gb(bytes);
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
        QVERIFY(page.contains(QStringLiteral("<TD>a\tb;c&quot;d&quot;<BR>e&lt;f&gt;&amp;g{h}\\i 𠀀 ✓ 張 €</TD>")));
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
        const QByteArray bytes = ExportWriters::render(ExportFormat(format), table);
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
        QCOMPARE(table.rows.at(0).at(2).text, QString::fromUtf8(shortDate(2021, 11, 30)));
        QCOMPARE(table.rows.at(0).at(3).text, QStringLiteral("1985-12-01")); // a text column stays as stored

        proxy.setFilterFixedString(QStringLiteral("p7"));
        table = exportTableFromModel(proxy, {});
        QCOMPARE(table.rows.at(0).at(2).text, QString::fromUtf8(shortDate(2022, 2, 2)) + QStringLiteral(" 08:30:00"));
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
};

QTEST_GUILESS_MAIN(TestExportWriters)
#include "test_exportwriters.moc"
