#include "birthdays/exportview.h"
#include "birthdays/spreadsheetxlsx.h"
#include "ciskip.h"
#include "common/runtimeerror.h"
#include "recordingdesktop.h"
#include "recordingdialogs.h"
#include "recordingspreadsheet.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Title = QStringLiteral("员工生日资料表");
const QString NotFound = QStringLiteral("not found excel in your system, so can not create file!");

// The main window's birthday grid: six titled columns, the age column hidden.
std::unique_ptr<QTableWidget> birthdayGrid(const QList<QStringList>& rows)
{
    auto grid = std::make_unique<QTableWidget>();
    grid->setObjectName(QStringLiteral("SGrid1"));
    grid->setColumnCount(6);
    grid->setHorizontalHeaderLabels({ QStringLiteral("姓名"), QStringLiteral("入职"), QStringLiteral("生日"),
                                      QStringLiteral("部门"), QStringLiteral("选择"), QStringLiteral("年龄") });
    grid->setColumnHidden(5, true);
    grid->setRowCount(qMax(1, int(rows.size())));
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < rows.at(r).size(); ++c) {
            grid->setItem(r, c, new QTableWidgetItem(rows.at(r).at(c)));
        }
    }
    return grid;
}

QStringList expectedCalls(const QList<QStringList>& gridRows)
{
    const int R = int(gridRows.size());
    QStringList calls = {
        QStringLiteral("start"),
        QStringLiteral("workbooks.add"),
        QStringLiteral("visible=false"),
        QStringLiteral("activesheet"),
        QStringLiteral("activewindow.windowstate=2"),
        QStringLiteral("range(cells(1,1),cells(1,6)).MERGE"),
        QStringLiteral("cells(1,1).value=") + Title,
        QStringLiteral("cells(1,1).HorizontalAlignment=-4108"),
    };
    for (int g = 0; g < R; ++g) {
        for (int c = 1; c <= 6; ++c) {
            calls << QStringLiteral("cells(%1,%2).value=").arg(g + 2).arg(c) + gridRows.at(g).value(c - 1);
        }
        calls << QStringLiteral("rows(%1).RowHeight=18").arg(g + 2);
    }
    const QString below = QStringLiteral("range(cells(%1,1),cells(%1,13))").arg(R + 2);
    const QString table = QStringLiteral("range(cells(2,1),cells(%1,6))").arg(R + 1);
    calls << QStringLiteral("visible=true") << below + QStringLiteral(".WrapText=true")
          << below + QStringLiteral(".HorizontalAlignment=-4108")
          << QStringLiteral("pagesetup.headerMargin=28.571428571428573")
          << QStringLiteral("pagesetup.footerMargin=17.142857142857142")
          << QStringLiteral("pagesetup.topMargin=28.571428571428573")
          << QStringLiteral("pagesetup.bottomMargin=37.142857142857146")
          << QStringLiteral("pagesetup.leftMargin=14.285714285714286")
          << QStringLiteral("pagesetup.rightMargin=14.285714285714286") << QStringLiteral("pagesetup.leftfooter=制表: ")
          << QStringLiteral("pagesetup.centerfooter=") << QStringLiteral("pagesetup.rightfooter=第&P页/共&N页")
          << QStringLiteral("pagesetup.leftHeader=") << QStringLiteral("pagesetup.orientation=1")
          << QStringLiteral("pagesetup.printtitlerows=$1:$1") << QStringLiteral("rows(1).font.name=宋体")
          << QStringLiteral("rows(1).font.bold=true") << QStringLiteral("rows(1).font.size=20")
          << QStringLiteral("rows(1).RowHeight=28");
    for (int i = 1; i <= 4; ++i) {
        calls << table + QStringLiteral(".borders(%1).linestyle=1").arg(i)
              << table + QStringLiteral(".borders(%1).weight=1").arg(i);
    }
    calls << table + QStringLiteral(".font.size=9") << table + QStringLiteral(".WrapText=true")
          << QStringLiteral("release");
    return calls;
}

QByteArray unzipped(const QString& archive, const QString& member)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), { QStringLiteral("-p"), archive, member });
    if (!unzip.waitForFinished(10000) || unzip.exitCode() != 0) {
        return {};
    }
    return unzip.readAllStandardOutput();
}

} // namespace

class TestSpreadsheetReport : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RecordingDialogs> m_dialogs;

private slots:
    void init() { m_dialogs = std::make_unique<RecordingDialogs>(); }

    void cleanup()
    {
        m_dialogs->verifyAllSeen();
        m_dialogs.reset();
    }

    void callsInTheirOrder_data()
    {
        QTest::addColumn<QList<QStringList>>("data");
        QTest::addColumn<QList<QStringList>>("expectedRows");
        const QStringList titles = { QStringLiteral("姓名"), QStringLiteral("入职"), QStringLiteral("生日"),
                                     QStringLiteral("部门"), QStringLiteral("选择"), QStringLiteral("年龄") };
        // No birthdays: one empty data row still gets its bordered row.
        QTest::newRow("empty list") << QList<QStringList> {} << QList<QStringList> { titles, QStringList(6) };
        QTest::newRow("two people") << QList<QStringList> { { QStringLiteral("  张三 "), QStringLiteral("2020-01-05"),
                                                              QStringLiteral("1990-03-14"), QStringLiteral("生产部\t"),
                                                              QStringLiteral("yes"), QStringLiteral("34") },
                                                            { QStringLiteral("李四"), QStringLiteral("2021-06-01"),
                                                              QStringLiteral("1988-03-15"), QString(),
                                                              QStringLiteral("no"), QStringLiteral("36") } }
                                    << QList<QStringList> { titles,
                                                            { QStringLiteral("张三"), QStringLiteral("2020-01-05"),
                                                              QStringLiteral("1990-03-14"), QStringLiteral("生产部"),
                                                              QStringLiteral("yes"), QStringLiteral("34") },
                                                            { QStringLiteral("李四"), QStringLiteral("2021-06-01"),
                                                              QStringLiteral("1988-03-15"), QString(),
                                                              QStringLiteral("no"), QStringLiteral("36") } };
    }

    void callsInTheirOrder()
    {
        QFETCH(QList<QStringList>, data);
        QFETCH(QList<QStringList>, expectedRows);
        RecordingSpreadsheet spreadsheet;
        const auto grid = birthdayGrid(data);
        ExportGridToExcel(&spreadsheet, *m_dialogs, Title, *grid, 9);
        QCOMPARE(spreadsheet.calls, expectedCalls(expectedRows));
        QCOMPARE(m_dialogs->takeBoxes().size(), 0);
    }

    void noApplication()
    {
        RecordingSpreadsheet spreadsheet;
        spreadsheet.startResult = false;
        const auto grid = birthdayGrid({});
        ExportGridToExcel(&spreadsheet, *m_dialogs, Title, *grid, 9);
        QCOMPARE(spreadsheet.calls, QStringList { QStringLiteral("start") });
        QCOMPARE(m_dialogs->takeTexts(), QStringList { NotFound });

        ExportGridToExcel(nullptr, *m_dialogs, Title, *grid, 9);
        QCOMPARE(m_dialogs->takeTexts(), QStringList { NotFound });

        spreadsheet.calls.clear();
        spreadsheet.startResult = true;
        spreadsheet.releaseResult = false; // nothing could show the workbook
        ExportGridToExcel(&spreadsheet, *m_dialogs, Title, *grid, 9);
        QCOMPARE(spreadsheet.calls.last(), QStringLiteral("release"));
        QCOMPARE(m_dialogs->takeTexts(), QStringList { NotFound });
    }

    void failingCallQuitsAndTells_data()
    {
        QTest::addColumn<QString>("failOn");
        QTest::newRow("workbooks") << QStringLiteral("workbooks.add");
        QTest::newRow("a cell") << QStringLiteral("cells(3,4)");
        QTest::newRow("page setup") << QStringLiteral("pagesetup.printtitlerows");
        QTest::newRow("release") << QStringLiteral("release");
    }

    void failingCallQuitsAndTells()
    {
        QFETCH(QString, failOn);
        RecordingSpreadsheet spreadsheet;
        spreadsheet.failOn = failOn;
        spreadsheet.failMessage = QStringLiteral("磁盘已满");
        const auto grid = birthdayGrid({});
        ExportGridToExcel(&spreadsheet, *m_dialogs, Title, *grid, 9);
        QVERIFY(spreadsheet.calls.at(spreadsheet.calls.size() - 2).startsWith(failOn));
        QCOMPARE(spreadsheet.calls.last(), QStringLiteral("quit"));
        const auto boxes = m_dialogs->takeBoxes();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.at(0).text, QStringLiteral("出现错误:磁盘已满"));
        QCOMPARE(boxes.at(0).icon, Dialogs::Icon::None);
    }

    void workbookCarriesEveryCall()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty()) {
            KELVORA_SKIP("unzip is not installed");
        }
        QTemporaryDir temp;
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        RecordingDesktop desktop;
        XlsxSpreadsheet spreadsheet(desktop);
        const auto grid
            = birthdayGrid({ { QStringLiteral(" 张三 "), QStringLiteral("2020-01-05"), QStringLiteral("1990-03-14"),
                               QStringLiteral("生产<部>&"), QStringLiteral("yes"), QStringLiteral("34") },
                             { QStringLiteral("李四"), QString(), QString(), QString(), QStringLiteral("no"),
                               QStringLiteral("36") } });
        ExportGridToExcel(&spreadsheet, *m_dialogs, Title, *grid, 9);
        qunsetenv("TMPDIR");
        QCOMPARE(m_dialogs->takeBoxes().size(), 0);
        QCOMPARE(desktop.opened.size(), 1);
        const QString file = desktop.opened.at(0).toLocalFile();
        QCOMPARE(QFileInfo(file).absolutePath(), QFileInfo(temp.path()).absoluteFilePath());
        QVERIFY(file.endsWith(QStringLiteral(".xlsx")));

        const QString sheet = QString::fromUtf8(unzipped(file, QStringLiteral("xl/worksheets/sheet1.xml")));
        QVERIFY2(!sheet.isEmpty(), "no sheet in the workbook");
        QVERIFY(sheet.contains(QStringLiteral("<mergeCell ref=\"A1:F1\"/>")));
        QVERIFY(sheet.contains(QStringLiteral("<row r=\"1\" ")));
        QVERIFY(sheet.contains(QStringLiteral("ht=\"28\"")));
        QCOMPARE(sheet.count(QStringLiteral("ht=\"18\"")), 3);
        QVERIFY2(sheet.contains(QStringLiteral("<pageMargins left=\"0.1984126984126984\" right=\"0.1984126984126984\" "
                                               "top=\"0.3968253968253969\" bottom=\"0.5158730158730159\" "
                                               "header=\"0.3968253968253969\" footer=\"0.2380952380952381\"/>")),
                 qPrintable(sheet.mid(sheet.indexOf(QStringLiteral("<pageMargins")))));
        QVERIFY(sheet.contains(QStringLiteral("orientation=\"portrait\"")));
        QVERIFY(sheet.contains(QStringLiteral("<oddFooter>&amp;L制表: &amp;R第&amp;P页/共&amp;N页</oddFooter>")));
        QVERIFY(!sheet.contains(QStringLiteral("<oddHeader>&amp;"))); // the header stays empty
        // The note row below the table (row 5) carries wrapped, centred blanks in columns A..M.
        QVERIFY(sheet.contains(QStringLiteral("<c r=\"M5\" s=\"")));

        const QString workbook = QString::fromUtf8(unzipped(file, QStringLiteral("xl/workbook.xml")));
        QVERIFY(workbook.contains(
            QStringLiteral("<definedName name=\"_xlnm.Print_Titles\" localSheetId=\"0\">Sheet1!$1:$1</definedName>")));

        const QString strings = QString::fromUtf8(unzipped(file, QStringLiteral("xl/sharedStrings.xml")));
        for (const QString& text :
             { Title, QStringLiteral("姓名"), QStringLiteral("年龄"), QStringLiteral("生产&lt;部&gt;&amp;") }) {
            QVERIFY2(strings.contains(QStringLiteral(">") + text + QStringLiteral("<")), qPrintable(text));
        }
        QVERIFY(!strings.contains(QStringLiteral(" 张三")));

        const QString styles = QString::fromUtf8(unzipped(file, QStringLiteral("xl/styles.xml")));
        QVERIFY(styles.contains(QStringLiteral("<b/><sz val=\"20\"/>")));
        QVERIFY(styles.contains(QStringLiteral("<name val=\"宋体\"/>")));
        QVERIFY(styles.contains(QStringLiteral("<left style=\"thin\">")));
        QVERIFY(styles.contains(QStringLiteral("<sz val=\"9\"/>")));
        QVERIFY(styles.contains(QStringLiteral("wrapText=\"1\"")));
        QVERIFY(styles.contains(QStringLiteral("horizontal=\"center\"")));
    }

    // openpyxl, which owes nothing to libxlsxwriter, reads every value back as the grid holds it.
    void workbookReadsBackInOpenpyxl()
    {
        if (!QFileInfo(QStringLiteral("/usr/bin/python3")).isExecutable()) {
            KELVORA_SKIP("/usr/bin/python3 is not installed");
        }
        QTemporaryDir temp;
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        RecordingDesktop desktop;
        XlsxSpreadsheet spreadsheet(desktop);
        // Chinese names, a character beyond the BMP, an emoji, markup, quotes, a line break and a
        // semicolon; a blank-padded name is trimmed as the spreadsheet's own trim does it.
        const QList<QStringList> rows
            = { { QStringLiteral(" 张三 "), QStringLiteral("2020-01-05"), QStringLiteral("1990-03-14"),
                  QStringLiteral("生产<部>&"), QStringLiteral("yes"), QStringLiteral("34") },
                { QStringLiteral("欧阳𪛖"), QStringLiteral("1999-01-01"), QStringLiteral("1975-12-31"),
                  QStringLiteral("😀 \"总部\"; 一科"), QStringLiteral("no"), QStringLiteral("50") },
                { QStringLiteral("李四"), QString(), QString(), QStringLiteral("第一行\n第二行"), QStringLiteral("no"),
                  QStringLiteral("36") } };
        ExportGridToExcel(&spreadsheet, *m_dialogs, Title, *birthdayGrid(rows), 9);
        qunsetenv("TMPDIR");
        QCOMPARE(m_dialogs->takeBoxes().size(), 0);
        QCOMPARE(desktop.opened.size(), 1);
        const QString file = desktop.opened.at(0).toLocalFile();

        QProcess reader;
        reader.start(QStringLiteral("/usr/bin/python3"),
                     { QStringLiteral(KELVORA_READERS), QStringLiteral("xlsx"), file });
        QVERIFY(reader.waitForFinished(60000));
        QVERIFY2(reader.exitCode() == 0, reader.readAllStandardError().constData());
        const QJsonObject result
            = QJsonDocument::fromJson(reader.readAllStandardOutput()).object().value(file).toObject();
        QVERIFY2(!result.contains(QStringLiteral("error")),
                 qPrintable(result.value(QStringLiteral("error")).toString()));
        QList<QStringList> read;
        for (const QJsonValue& row : result.value(QStringLiteral("rows")).toArray()) {
            QStringList cells;
            for (const QJsonValue& cell : row.toArray()) {
                cells.append(cell.toString());
            }
            while (!cells.isEmpty() && cells.last().isEmpty()) {
                cells.removeLast();
            }
            read.append(cells);
        }
        while (!read.isEmpty() && read.last().isEmpty()) {
            read.removeLast(); // the formatted, empty note row below the table
        }
        // The title, the grid's captions (the hidden age column too), then its rows.
        QList<QStringList> expected = { { Title },
                                        { QStringLiteral("姓名"), QStringLiteral("入职"), QStringLiteral("生日"),
                                          QStringLiteral("部门"), QStringLiteral("选择"), QStringLiteral("年龄") } };
        for (QStringList row : rows) {
            row.first() = row.first().trimmed();
            expected.append(row);
        }
        QCOMPARE(read, expected);
    }

    void workbookNobodyCanShowIsNotLeftBehind()
    {
        QTemporaryDir temp;
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        RecordingDesktop desktop;
        desktop.result = false;
        XlsxSpreadsheet spreadsheet(desktop);
        const auto grid = birthdayGrid({});
        ExportGridToExcel(&spreadsheet, *m_dialogs, Title, *grid, 9);
        qunsetenv("TMPDIR");
        QCOMPARE(m_dialogs->takeTexts(), QStringList { NotFound });
        QCOMPARE(desktop.opened.size(), 1);
        QVERIFY(!QFileInfo::exists(desktop.opened.at(0).toLocalFile()));
    }

    void refusedCallIsAnError()
    {
        RecordingDesktop desktop;
        XlsxSpreadsheet spreadsheet(desktop);
        QVERIFY(spreadsheet.start());
        QVERIFY_THROWS_EXCEPTION(RuntimeError, spreadsheet.merge(SheetRange::cells(1, 1, 1, 2))); // no workbook yet
        spreadsheet.addWorkbook();
        spreadsheet.activeSheet();
        spreadsheet.merge(SheetRange::cells(1, 1, 1, 3));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, spreadsheet.merge(SheetRange::cells(1, 2, 2, 2)));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, spreadsheet.setValue(SheetRange::cell(0, 1), QString()));
        QVERIFY_THROWS_EXCEPTION(
            RuntimeError,
            spreadsheet.setPageSetup(SpreadsheetAutomation::PageSetup::PrintTitleRows, QStringLiteral("$2:$1")));
        spreadsheet.quit();
    }
};

QTEST_MAIN(TestSpreadsheetReport)
#include "test_spreadsheetreport.moc"
