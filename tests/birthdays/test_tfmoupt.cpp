#include "birthdays/exportview.h"
#include "birthdays/rosterfiltermodel.h"
#include "birthdays/tfbirthday.h"
#include "birthdays/tfmoupt.h"
#include "ciskip.h"
#include "common/helpers.h"
#include "common/services.h"
#include "data/tdm.h"
#include "datafixture.h"
#include "fakeclock.h"
#include "fulldisk.h"
#include "recordingdialogs.h"
#include "shell/station.h"
#include "testdatabase.h"
#include "testfolder.h"
#include "ui_tfmoupt.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QStringDecoder>
#include <QTableView>
#include <QTest>
#include <QTimer>

class TestTfmoupt : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<RecordingDialogs> m_dialogs;
    std::unique_ptr<TDM> m_data;
    qint64 m_first = 0;
    qint64 m_second = 0;
    std::unique_ptr<QSortFilterProxyModel> m_proxy;
    std::unique_ptr<QTableView> m_grid;

    static QString gb(const QByteArray& bytes)
    {
        QStringDecoder decoder("GB18030");
        return decoder.decode(bytes);
    }

    // Chooses the option, confirms the save dialog with the path, presses OK.
    void exportWith(int option, const QString& path)
    {
        Tfmoupt window(*m_dialogs);
        window.setExportGrid(m_grid.get());
        QRadioButton* options[] = { window.form()->R1, window.form()->R2, window.form()->R3, window.form()->R4,
                                    window.form()->R5, window.form()->R6, window.form()->R7 };
        options[option]->setChecked(true);
        m_dialogs->answerNextChooser(path);
        QTest::mouseClick(window.form()->btnOUt, Qt::LeftButton);
        QCOMPARE(window.result(), int(QDialog::Accepted));
    }

private slots:
    void init()
    {
        m_folder = std::make_unique<TestFolder>();
        m_dialogs = std::make_unique<RecordingDialogs>();
        // The roster as the program keeps it: the shipped schema, through the data module.
        createTestDatabase(*m_folder);
        m_data = std::make_unique<TDM>(Services { nullptr, m_dialogs.get() });
        QVERIFY(m_data->DataModuleCreate());
        m_first = addEmployee(*m_data, QStringLiteral("张三"), QStringLiteral("1990-03-14"),
                              QStringLiteral("2020-01-05"), QStringLiteral("生产部"), QStringLiteral("a;\"b\""));
        m_second = addEmployee(*m_data, QStringLiteral("李四"), QStringLiteral("1988-07-08"),
                               QStringLiteral("2021-06-01"), QStringLiteral("财务部"));
        QVERIFY(m_first > 0 && m_second > 0);
        QSqlTableModel* model = m_data->Q_birthday2();
        const QList<std::pair<const char*, const char*>> titles
            = { { "id", "No" },         { "emp_name", "姓名" }, { "indate", "入职" },
                { "birthday", "生日" }, { "dept", "部门" },     { "remark1", "备注" } };
        for (const auto& [field, title] : titles) {
            model->setHeaderData(model->fieldIndex(QLatin1String(field)), Qt::Horizontal, QString::fromUtf8(title));
        }
        m_proxy = std::make_unique<QSortFilterProxyModel>();
        m_proxy->setSourceModel(model);
        m_grid = std::make_unique<QTableView>();
        m_grid->setObjectName(QStringLiteral("DBGridEh1"));
        m_grid->setModel(m_proxy.get());
        // The roster grid's column order: No, 姓名, 入职, 生日, 部门, 备注.
        QHeaderView* header = m_grid->horizontalHeader();
        for (int i = 0; i < titles.size(); ++i) {
            const int logical = model->fieldIndex(QLatin1String(titles.at(i).first));
            header->moveSection(header->visualIndex(logical), i);
        }
    }

    void cleanup()
    {
        m_grid.reset();
        m_proxy.reset();
        m_data.reset();
        m_dialogs->verifyAllSeen();
        m_dialogs.reset();
        m_folder.reset();
    }

    void form()
    {
        Tfmoupt window(*m_dialogs);
        QCOMPARE(window.windowTitle(), QStringLiteral("选择"));
        QCOMPARE(window.font().family(), QStringLiteral("宋体"));
        QCOMPARE(window.font().pixelSize(), 13);
        const auto* ui = window.form();
        QCOMPARE(ui->RadioGroup1->title(), QStringLiteral("选择输出数据类别"));
        QCOMPARE(ui->R1->text(), QStringLiteral("保存为EXCEL文件"));
        QCOMPARE(ui->R2->text(), QStringLiteral("保存为TXT文本文件"));
        QCOMPARE(ui->R3->text(), QStringLiteral("保存为CSV带分隔符文本文件"));
        QCOMPARE(ui->R4->text(), QStringLiteral("保存为HTML超文本文件"));
        QCOMPARE(ui->R5->text(), QStringLiteral("保存为RTF文件"));
        QCOMPARE(ui->R6->text(), QStringLiteral("保存为XLSX工作簿文件"));
        QCOMPARE(ui->R7->text(), QStringLiteral("保存为UTF-8编码的CSV文件（逗号分隔）"));
        QVERIFY(ui->R1->isChecked());
        QCOMPARE(ui->btnOUt->text(), QStringLiteral("确定"));
        QCOMPARE(ui->btncancel->text(), QStringLiteral("取消"));
    }

    void eachFormatWithItsChooser_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("proposed");
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("R1") << 0 << "XLS" << QStringLiteral("导出数据.xls") << QByteArray::fromHex("0908080000001000");
        QTest::newRow("R2") << 1 << "txt" << QStringLiteral("导出数据.txt") << QByteArray("No\t");
        QTest::newRow("R3") << 2 << "csv" << QStringLiteral("导出数据.csv") << QByteArray("\"No\";");
        QTest::newRow("R4") << 3 << "html" << QStringLiteral("导出数据.html") << QByteArray("<!DOCTYPE HTML");
        QTest::newRow("R5") << 4 << "rtf" << QStringLiteral("导出数据.rtf") << QByteArray("{\\rtf1");
        QTest::newRow("R6") << 5 << "xlsx" << QStringLiteral("导出数据.xlsx") << QByteArray("PK\x03\x04");
        QTest::newRow("R7") << 6 << "csv" << QStringLiteral("导出数据.csv") << QByteArray("\xEF\xBB\xBF\"No\",");
    }

    void eachFormatWithItsChooser()
    {
        QFETCH(int, option);
        QFETCH(QString, suffix);
        QFETCH(QString, proposed);
        QFETCH(QByteArray, start);
        // An existing file is replaced without a question.
        m_folder->write(QStringLiteral("out.") + suffix, QByteArray(100000, 'x'));
        const QString path = m_folder->file(QStringLiteral("out.") + suffix);
        exportWith(option, path);
        const QStringList chooser = m_dialogs->lastChooser();
        // The chooser starts in the user's documents folder, never in the working folder.
        QCOMPARE(chooser.at(1), documentsdir() + proposed);
        QVERIFY(chooser.at(2).startsWith(QStringLiteral("*.") + suffix + QStringLiteral(" ("), Qt::CaseInsensitive));
        QVERIFY(chooser.at(2).contains(QStringLiteral("*.") + suffix));
        QCOMPARE(chooser.at(3), suffix);
        const auto boxes = m_dialogs->takeBoxes();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.at(0).icon, Dialogs::Icon::None);
        QCOMPARE(boxes.at(0).caption, QStringLiteral("恭喜"));
        QCOMPARE(boxes.at(0).text, QStringLiteral("成功输出数据到") + path + QStringLiteral("!"));
        const QByteArray bytes = m_folder->read(QStringLiteral("out.") + suffix);
        QVERIFY(bytes.startsWith(start));
        QVERIFY(bytes.size() < 100000);
    }

    void alteredValuesReplaceTheSuccessBox_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("notice"); // empty: the success box
        QTest::newRow("xls") << 0 << "“姓名”：写成“?字”";
        QTest::newRow("txt") << 1 << "“姓名”：写成“?字”";
        QTest::newRow("csv") << 2 << "“姓名”：写成“?字”";
        QTest::newRow("html") << 3 << "";
        QTest::newRow("xlsx") << 5 << "";
    }

    void alteredValuesReplaceTheSuccessBox()
    {
        QFETCH(int, option);
        QFETCH(QString, notice);
        QVERIFY(addEmployee(*m_data, QStringLiteral("𠀀字"), QStringLiteral("1991-01-01"), QStringLiteral("2010-01-01"))
                > 0);
        const QString path = m_folder->file(QStringLiteral("out.file"));
        exportWith(option, path);
        const auto boxes = m_dialogs->takeBoxes();
        QCOMPARE(boxes.size(), 1);
        if (notice.isEmpty()) {
            QCOMPARE(boxes.at(0).caption, QStringLiteral("恭喜"));
            return;
        }
        QCOMPARE(boxes.at(0).icon, Dialogs::Icon::Warning);
        QVERIFY(boxes.at(0).caption != QStringLiteral("恭喜"));
        QVERIFY2(boxes.at(0).text.contains(notice) && boxes.at(0).text.contains(path), qPrintable(boxes.at(0).text));
        QVERIFY(QFileInfo::exists(path));
    }

    void shownColumnsAndEveryFilteredRow()
    {
        QHeaderView* header = m_grid->horizontalHeader();
        m_grid->setColumnHidden(m_data->Q_birthday2()->fieldIndex(QStringLiteral("remark1")), true);
        m_grid->setColumnHidden(m_data->Q_birthday2()->fieldIndex(QStringLiteral("pinyin")), true);
        m_grid->setColumnHidden(m_data->Q_birthday2()->fieldIndex(QStringLiteral("lunar")), true);
        header->moveSection(header->visualIndex(m_data->Q_birthday2()->fieldIndex(QStringLiteral("emp_name"))), 0);
        m_proxy->setFilterKeyColumn(m_data->Q_birthday2()->fieldIndex(QStringLiteral("dept")));
        m_proxy->setFilterFixedString(QStringLiteral("部"));
        m_grid->selectRow(1); // a selection does not narrow the export
        const QString path = m_folder->file(QStringLiteral("x.csv"));
        exportWith(2, path);
        m_dialogs->takeBoxes();
        const QString joined = QStringLiteral("2020-01-05"); // whatever the locale
        const QStringList csv = gb(m_folder->read(QStringLiteral("x.csv"))).split(QStringLiteral("\r\n"));
        QCOMPARE(csv.size(), 3);
        QCOMPARE(csv.at(0), QStringLiteral("\"姓名\";\"No\";\"入职\";\"生日\";\"部门\""));
        QCOMPARE(csv.at(1),
                 QStringLiteral("\"张三\";\"%1\";\"%2\";\"1990-03-14\";\"生产部\"").arg(m_first).arg(joined));

        m_proxy->setFilterFixedString(QStringLiteral("财务"));
        exportWith(1, path);
        m_dialogs->takeBoxes();
        const QStringList lines = gb(m_folder->read(QStringLiteral("x.csv"))).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(1),
                 QStringLiteral("李四\t%1\t%2\t1988-07-08\t财务部").arg(m_second).arg(QStringLiteral("2021-06-01")));
    }

    void rosterGridExportsStoredValues()
    {
        // The roster editor's own proxy: rearranged columns, running numbers in "No", its filter row.
        RosterFilterModel roster;
        roster.setSourceModel(m_data->Q_birthday2());
        QTableView grid;
        grid.setObjectName(QStringLiteral("DBGridEh1"));
        grid.setModel(&roster);
        roster.setColumnFilter(RosterFilterModel::Dept, QStringLiteral("财务"));
        const QString path = m_folder->file(QStringLiteral("roster.csv"));
        Tfmoupt window(*m_dialogs);
        window.setExportGrid(&grid);
        window.form()->R3->setChecked(true);
        m_dialogs->answerNextChooser(path);
        window.btnOUtClick();
        m_dialogs->takeBoxes();
        const QStringList lines = gb(m_folder->read(QStringLiteral("roster.csv"))).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0), QStringLiteral("\"No\";\"姓名\";\"读音\";\"入职\";\"生日\";\"农历\";\"部门\";\"备注\""));
        QCOMPARE(lines.at(1),
                 QStringLiteral("\"%1\";\"李四\";\"\";\"%2\";\"1988-07-08\";\"否\";\"财务部\";\"\"")
                     .arg(m_second)
                     .arg(QStringLiteral("2021-06-01")));
        const QByteArray xls = ExportWriters::xls(exportTableOf(grid));
        // The stored id goes into an RK record of row 1, column 0.
        QVERIFY(xls.contains(QByteArray(QByteArray::fromHex("7e020a00010000000000") + char(m_second * 4 + 2))));
    }

    void rosterEditorMenuOpensTheWindow()
    {
        m_grid.reset();
        m_proxy.reset();
        m_data.reset();
        FakeClock clock(2024, 3, 5, 8, 0, 0);
        Station station(fakeServices(clock, *m_dialogs));
        QVERIFY(station.start());
        Tfbirthday* roster = station.rosterEditor();
        auto* Excel1 = roster->findChild<QAction*>(QStringLiteral("Excel1"));
        QVERIFY(Excel1);
        const QString path = m_folder->file(QStringLiteral("导出数据.txt"));
        m_dialogs->answerNextChooser(path);
        bool seen = false;
        QTimer::singleShot(0, this, [&seen] {
            auto* window = qobject_cast<Tfmoupt*>(QApplication::activeModalWidget());
            QVERIFY(window);
            seen = true;
            window->form()->R2->setChecked(true);
            window->form()->btnOUt->click();
        });
        Excel1->trigger();
        QVERIFY(seen);
        QCOMPARE(m_dialogs->takeBoxes().size(), 1);
        QCOMPARE(gb(m_folder->read(QStringLiteral("导出数据.txt"))).split(QStringLiteral("\r\n")).size(), 3);
    }

    void cancelWritesNothing()
    {
        exportWith(0, QString());
        QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files), QStringList { QStringLiteral("draft.dat") });
        QCOMPARE(m_dialogs->takeBoxes().size(), 0);
    }

    void cancelButtonWritesNothing()
    {
        Tfmoupt window(*m_dialogs);
        window.setExportGrid(m_grid.get());
        QTest::mouseClick(window.form()->btncancel, Qt::LeftButton);
        QCOMPARE(window.result(), int(QDialog::Rejected));
    }

    void failureShowsTheFileAndNoSuccess()
    {
        const QString path = m_folder->file(QStringLiteral("nowhere/导出数据.html"));
        exportWith(3, path);
        const auto boxes = m_dialogs->takeBoxes();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.at(0).icon, Dialogs::Icon::Critical);
        QVERIFY(boxes.at(0).text.contains(path));
        QVERIFY(!QFileInfo::exists(path));
    }

    // Replacing an export on a full disk: the old file keeps every byte, the error names the file and
    // no success box is shown. Each format, as each is written differently.
    void aFullDiskKeepsTheOldExport_data()
    {
        QTest::addColumn<int>("option");
        QTest::newRow("XLS") << 0;
        QTest::newRow("TXT") << 1;
        QTest::newRow("CSV") << 2;
        QTest::newRow("HTML") << 3;
        QTest::newRow("RTF") << 4;
    }

    void aFullDiskKeepsTheOldExport()
    {
        QFETCH(int, option);
        FullDisk disk;
        if (!disk.available()) {
            KELVORA_SKIP("a tmpfs cannot be mounted here (not root?)");
        }
        const QString path = disk.file(QStringLiteral("导出数据.out"));
        exportWith(option, path);
        QCOMPARE(m_dialogs->takeBoxes().size(), 1); // the success box of the first export
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        QVERIFY(before.size() > 0);
        QCOMPARE(int(QFile::permissions(path) & (QFileDevice::ReadGroup | QFileDevice::ReadOther)), 0);
        disk.fill();
        exportWith(option, path);
        const auto boxes = m_dialogs->takeBoxes();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.at(0).icon, Dialogs::Icon::Critical);
        QVERIFY2(boxes.at(0).text.contains(QStringLiteral("无法写入文件 ") + path), qPrintable(boxes.at(0).text));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }
};

QTEST_MAIN(TestTfmoupt)
#include "test_tfmoupt.moc"
