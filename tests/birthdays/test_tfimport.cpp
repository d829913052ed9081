#include "birthdays/rostercolumns.h"
#include "birthdays/rosterfiltermodel.h"
#include "birthdays/tfbirthday.h"
#include "birthdays/tfimport.h"
#include "common/inifile.h"
#include "data/tdm.h"
#include "datafixture.h"
#include "shell/station.h"
#include "shell/tf_speaker.h"
#include "testdatabase.h"
#include "ui_tf_speaker.h"
#include "ui_tfimport.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTest>
#include <QTimer>

namespace {

const QByteArray People = "姓名,生日,入职,部门,备注\n"
                          "张三,1990-03-14,2020-01-05,生产部,\"a;\"\"b\"\"\"\n"
                          ",1990-01-01,2000-01-01,,\n"
                          "王五,1990-02-30,2000-01-01,,\n"
                          "李四,1988/7/8,2021年6月1日,财务部,\n";

int rosterColumn(const QString& field)
{
    return RosterColumns::indexOf(field);
}

QStringList names(QSqlDatabase db)
{
    QStringList result;
    QSqlQuery query(db);
    query.exec(QStringLiteral("SELECT emp_name FROM birthday ORDER BY id"));
    while (query.next()) {
        result.append(query.value(0).toString());
    }
    return result;
}

} // namespace

// The import's preview window, and the import from the roster editor inside the station.
class TestTfimport final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<DataFixture> m_fixture;

    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        m_fixture->folder.write(name, bytes);
        return m_fixture->folder.file(name);
    }

    std::unique_ptr<Tfimport> preview(const QByteArray& bytes, const RosterKeys& roster = {})
    {
        const QString path = writeFile(QStringLiteral("people.csv"), bytes);
        return std::make_unique<Tfimport>(path, ImportReaders::read(path), roster, QDate(2024, 3, 14));
    }

    static QString problems(const Tfimport& window)
    {
        QStringList lines;
        const QAbstractItemModel* model = window.form()->grd_problems->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            lines.append(model->index(row, 0).data().toString() + QLatin1Char(' ')
                         + model->index(row, 2).data().toString());
        }
        return lines.join(QLatin1Char('|'));
    }

private slots:
    void init() { m_fixture = std::make_unique<DataFixture>(QDateTime(QDate(2024, 3, 14), QTime(8, 0))); }
    void cleanup() { m_fixture.reset(); }

    void previewShowsTheGuessAndTheRefusedRows()
    {
        const auto window = preview(People);
        const auto* ui = window->form();
        QCOMPARE(window->windowTitle(), QStringLiteral("导入员工生日资料"));
        QVERIFY2(ui->lbl_file->text().contains(QStringLiteral("people.csv（CSV，UTF-8 编码，逗号分隔，共 5 行）")),
                 qPrintable(ui->lbl_file->text()));
        QCOMPARE(ui->SpinHeader->value(), 1);
        QCOMPARE(window->mappingBox(rosterColumn(RosterColumns::Name))->currentText(), QStringLiteral("A 列：姓名"));
        QCOMPARE(window->mappingBox(rosterColumn(RosterColumns::Birthday))->currentData().toInt(), 1);
        QCOMPARE(window->mappingBox(rosterColumn(RosterColumns::Remark))->currentData().toInt(), 4);
        QVERIFY(!window->mappingBox(rosterColumn(RosterColumns::Id)));
        QCOMPARE(ui->grd_preview->rowCount(), 4);
        QCOMPARE(ui->grd_preview->columnCount(), 5);
        QCOMPARE(ui->grd_preview->horizontalHeaderItem(1)->text(), QStringLiteral("B 生日\n→ 生日"));
        QCOMPARE(ui->grd_preview->verticalHeaderItem(0)->text(), QStringLiteral("2"));
        QCOMPARE(ui->grd_preview->item(0, 4)->text(), QStringLiteral("a;\"b\""));
        QCOMPARE(problems(*window), QStringLiteral("3 没有姓名|4 生日是不存在的日期 1990-02-30"));
        QCOMPARE(ui->lbl_summary->text(), QStringLiteral("将新增 2 人，更新 0 人，跳过 2 行。"));
        QVERIFY(ui->btn_import->isEnabled());
        QVERIFY(ui->R_skip->isChecked());
    }

    void changingTheMappingJudgesAgain()
    {
        const auto window = preview(People);
        const auto* ui = window->form();
        QComboBox* birthday = window->mappingBox(rosterColumn(RosterColumns::Birthday));
        birthday->setCurrentIndex(0); // （不导入）
        QCOMPARE(birthday->currentText(), QStringLiteral("（不导入）"));
        QCOMPARE(window->plan().added, 0);
        QVERIFY(!ui->btn_import->isEnabled());
        QVERIFY(ui->lbl_summary->text().startsWith(QStringLiteral("没有可以写入名册的人员。")));
        QVERIFY(problems(*window).contains(QStringLiteral("5 没有生日")));
        QCOMPARE(ui->grd_preview->horizontalHeaderItem(1)->text(), QStringLiteral("B 生日"));

        // The joining dates taken as birthdays: everyone then joined before being born... or on the day.
        birthday->setCurrentIndex(birthday->findData(2));
        QCOMPARE(window->mapping().sheetColumn(rosterColumn(RosterColumns::Birthday)), 2);
        QCOMPARE(window->plan().added, 3);

        // Without a caption row the captions are a person with impossible dates.
        ui->SpinHeader->setValue(0);
        QCOMPARE(window->mapping().headerRow, -1);
        QCOMPARE(ui->grd_preview->rowCount(), 5);
        QCOMPARE(ui->grd_preview->horizontalHeaderItem(0)->text(), QStringLiteral("A\n→ 姓名"));
        QVERIFY(problems(*window).startsWith(QStringLiteral("1 入职日期是无法识别的日期“入职”；生日是")));
    }

    void peopleAlreadyThere()
    {
        RosterKeys roster;
        roster.insert(RosterImport::personKey(QStringLiteral("张三"), QStringLiteral("1990-03-14")), 7);
        const auto window = preview(People, roster);
        QCOMPARE(window->form()->lbl_summary->text(), QStringLiteral("将新增 1 人，更新 0 人，跳过 3 行。"));
        QVERIFY(problems(*window).startsWith(QStringLiteral("2 名册中已有此人")));
        window->form()->R_update->setChecked(true);
        QCOMPARE(window->duplicates(), ImportPlan::Duplicates::Update);
        QCOMPARE(window->form()->lbl_summary->text(), QStringLiteral("将新增 1 人，更新 1 人，跳过 2 行。"));
        QCOMPARE(window->plan().rows.at(0).existingId, 7);
    }

    void previewShowsTheFirstRowsOnly()
    {
        QByteArray many = "姓名\t生日\t入职\r\n";
        for (int i = 0; i < 1000; ++i) {
            many += QStringLiteral("人%1\t1990-01-01\t2020-01-01\r\n").arg(i).toUtf8();
        }
        const auto window = preview(many);
        QCOMPARE(window->form()->grd_preview->rowCount(), Tfimport::PreviewRows);
        QCOMPARE(window->plan().added, 1000);
        QVERIFY(window->form()->lbl_file->text().contains(QStringLiteral("制表符分隔")));
        QCOMPARE(window->form()->lbl_problems->text(), QStringLiteral("每一行都可以导入。"));
    }

    void importFromTheRosterEditor()
    {
        QSqlTableModel* roster = m_fixture->data().Q_birthday2();
        addEmployee(m_fixture->data(), QStringLiteral("张三"), QStringLiteral("1990-03-14"),
                    QStringLiteral("2019-01-01"));
        Tfbirthday editor(roster, m_fixture->services());
        auto* import = editor.findChild<QAction*>(QStringLiteral("Import1"));
        QVERIFY(import);
        m_fixture->dialogs.answerNextChooser(writeFile(QStringLiteral("people.csv"), People));
        QString shown;
        QTimer::singleShot(0, this, [&shown] {
            auto* window = qobject_cast<Tfimport*>(QApplication::activeModalWidget());
            QVERIFY(window);
            shown = window->form()->lbl_summary->text();
            window->form()->R_update->setChecked(true);
            window->form()->btn_import->click();
        });
        import->trigger();
        QCOMPARE(shown, QStringLiteral("将新增 1 人，更新 0 人，跳过 3 行。"));
        const auto boxes = m_fixture->dialogs.takeBoxes();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.at(0).icon, Dialogs::Icon::Information);
        QCOMPARE(boxes.at(0).text,
                 QStringLiteral("导入完成：新增 1 人，更新 1 人，跳过 2 行。\n"
                                "第 3 行：没有姓名\n"
                                "第 4 行（王五）：生日是不存在的日期 1990-02-30"));
        QVERIFY(editor.DataChanged());
        // The grid shows the roster as it now is.
        QCOMPARE(editor.shownRoster()->rowCount(), 2);
        QCOMPARE(names(m_fixture->data().database()), (QStringList { QStringLiteral("张三"), QStringLiteral("李四") }));
        QSqlQuery updated(m_fixture->data().database());
        QVERIFY(updated.exec(QStringLiteral("SELECT indate, dept FROM birthday WHERE emp_name = '张三'"))
                && updated.next());
        QCOMPARE(updated.value(0).toString(), QStringLiteral("2020-01-05"));
        QCOMPARE(updated.value(1).toString(), QStringLiteral("生产部"));
    }

    void nothingIsWrittenUnlessConfirmed_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("box"); // empty: the preview opens and is cancelled
        QTest::newRow("cancelled preview") << "people.csv" << People << "";
        QTest::newRow("empty file") << "empty.csv" << QByteArray() << "文件是空的";
        QTest::newRow("captions only") << "captions.csv" << QByteArray("姓名,生日,入职\r\n\r\n") << "只有标题行";
        QTest::newRow("unbalanced quotes") << "quotes.csv" << QByteArray("姓名,备注\n张三,\"open\n") << "引号";
        QTest::newRow("damaged workbook") << "bad.xlsx" << QByteArray("PK\x03\x04broken") << "损坏";
    }

    void nothingIsWrittenUnlessConfirmed()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, box);
        Tfbirthday editor(m_fixture->data().Q_birthday2(), m_fixture->services());
        m_fixture->dialogs.answerNextChooser(writeFile(name, bytes));
        bool previewed = false;
        if (box.isEmpty()) {
            QTimer::singleShot(0, this, [&previewed] {
                auto* window = qobject_cast<Tfimport*>(QApplication::activeModalWidget());
                QVERIFY(window);
                previewed = true;
                window->form()->btn_cancel->click();
            });
        }
        editor.Import1Click();
        const auto boxes = m_fixture->dialogs.takeBoxes();
        if (box.isEmpty()) {
            QVERIFY(previewed);
            QCOMPARE(boxes.size(), 0);
        } else {
            QCOMPARE(boxes.size(), 1);
            QCOMPARE(boxes.at(0).icon, Dialogs::Icon::Warning);
            QVERIFY2(boxes.at(0).text.contains(box) && boxes.at(0).text.contains(name), qPrintable(boxes.at(0).text));
        }
        QVERIFY(!editor.DataChanged());
        QCOMPARE(names(m_fixture->data().database()), QStringList());

        // A cancelled chooser asks nothing.
        m_fixture->dialogs.answerNextChooser(QString());
        editor.Import1Click();
        QCOMPARE(m_fixture->dialogs.takeBoxes().size(), 0);
    }
};

// The import inside the running station: the birthday list is rebuilt when the editor closes, and
// an import from another program is shown the next time the editor opens.
class TestImportStation final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<StationFixture>(QDateTime(QDate(2024, 3, 14), QTime(8, 0)));
        IniFile ini(m_fixture->folder.file(QStringLiteral("setinfo.ini")));
        ini.writeBool(QStringLiteral("System"), QStringLiteral("Next_month"), false);
        ini.writeString(QStringLiteral("System"), QStringLiteral("Company"), QStringLiteral("示例公司"));
    }
    void cleanup() { m_fixture.reset(); }

    void importRebuildsTheBirthdayList()
    {
        m_fixture->start();
        QVERIFY(!m_fixture->form()->SGrid1->item(0, 0));
        m_fixture->folder.write(QStringLiteral("today.csv"), "姓名,生日,入职\n寿星,1990-03-14,2010-01-01\n");
        m_fixture->dialogs.answerNextChooser(m_fixture->folder.file(QStringLiteral("today.csv")));
        Tfbirthday* editor = m_fixture->station->rosterEditor();
        QTimer::singleShot(0, editor, [editor] {
            QTimer::singleShot(0, editor, [] {
                auto* window = qobject_cast<Tfimport*>(QApplication::activeModalWidget());
                QVERIFY(window);
                window->form()->btn_import->click();
            });
            editor->Import1Click();
            editor->reject();
        });
        m_fixture->main()->sb_editClick();
        QCOMPARE(m_fixture->dialogs.takeBoxes().size(), 1);
        QCOMPARE(m_fixture->form()->SGrid1->item(0, 0)->text(), QStringLiteral("寿星"));
        QVERIFY(m_fixture->form()->Memo1->toPlainText().startsWith(QStringLiteral("今天是：示例公司员工，寿星")));
    }

    void editorShowsWhatAnotherProgramImported()
    {
        m_fixture->start();
        {
            // Another program (the command line's import) writes through its own connection.
            TDM other(m_fixture->services());
            QVERIFY(other.openForWriting());
            addEmployee(other.database(), QStringLiteral("外来"), QStringLiteral("1980-01-01"),
                        QStringLiteral("2000-01-01"));
        }
        Tfbirthday* editor = m_fixture->station->rosterEditor();
        int shown = -1;
        QTimer::singleShot(0, editor, [editor, &shown] {
            shown = editor->shownRoster()->rowCount();
            editor->reject();
        });
        m_fixture->main()->sb_editClick();
        QCOMPARE(shown, 1);
        QVERIFY(editor->DataChanged());
    }

private:
    std::unique_ptr<StationFixture> m_fixture;
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    TestTfimport preview;
    TestImportStation station;
    return QTest::qExec(&preview, argc, argv) | QTest::qExec(&station, argc, argv);
}

#include "test_tfimport.moc"
