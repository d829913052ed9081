#include "birthdays/exporttable.h"
#include "birthdays/exportwriters.h"
#include "birthdays/importsheet.h"
#include "birthdays/rostercolumns.h"
#include "birthdays/rosterfiltermodel.h"
#include "birthdays/rosterimport.h"
#include "common/runtimeerror.h"
#include "common/services.h"
#include "data/tdm.h"
#include "testdatabase.h"
#include "testfolder.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTest>

namespace {

using Rows = QList<QStringList>;

ImportSheet sheetOf(const Rows& rows)
{
    ImportSheet sheet;
    sheet.format = QStringLiteral("CSV");
    for (const QStringList& row : rows) {
        QList<SheetCell> cells;
        for (const QString& text : row) {
            cells.append(text.isEmpty() ? SheetCell() : SheetCell::fromText(text));
        }
        sheet.rows.append(cells);
    }
    return sheet;
}

int column(const QString& field)
{
    return RosterColumns::indexOf(field);
}

const QStringList Captions = { QStringLiteral("姓名"), QStringLiteral("生日"), QStringLiteral("入职"),
                               QStringLiteral("部门"), QStringLiteral("备注") };
const QDate Today(2024, 3, 5);

// The roster's people as texts, in the order of their ids: name | birthday | indate | dept | remark | reading.
QStringList people(QSqlDatabase db)
{
    QStringList result;
    QSqlQuery query(db);
    if (!query.exec(
            QStringLiteral("SELECT emp_name, birthday, indate, dept, remark1, pinyin FROM birthday ORDER BY id"))) {
        qWarning("%s", qPrintable(query.lastError().text()));
        return { QStringLiteral("query failed") };
    }
    while (query.next()) {
        QStringList fields;
        for (int i = 0; i < 6; ++i) {
            fields.append(query.value(i).toString());
        }
        result.append(fields.join(QLatin1Char('|')));
    }
    return result;
}

} // namespace

Q_DECLARE_METATYPE(SheetCell)
Q_DECLARE_METATYPE(RosterImport::DayOrder)

class TestRosterImport final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestFolder> m_folder;
    std::unique_ptr<TDM> m_data;

    QSqlDatabase db() const { return m_data->database(); }

    ImportPlan planOf(const Rows& rows, ImportPlan::Duplicates duplicates = ImportPlan::Duplicates::Skip)
    {
        const ImportSheet sheet = sheetOf(rows);
        return RosterImport::plan(sheet, RosterImport::guessMapping(sheet), RosterImport::rosterKeys(db()), Today,
                                  duplicates);
    }

private slots:
    void init()
    {
        m_folder = std::make_unique<TestFolder>();
        createTestDatabase(*m_folder);
        m_data = std::make_unique<TDM>(Services {});
        QVERIFY(m_data->openForWriting());
    }

    void cleanup()
    {
        m_data.reset();
        m_folder.reset();
    }

    void guessMapping_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<int>("headerRow");
        QTest::addColumn<QStringList>("fields"); // by sheet column: the field it feeds, empty when none
        QTest::newRow("the roster's own captions")
            << Rows { { "No", "姓名", "入职", "生日", "部门", "备注" } } << 0
            << QStringList { "", "emp_name", "indate", "birthday", "dept", "remark1" };
        QTest::newRow("other Chinese captions, a title above")
            << Rows { { "某公司员工生日表" }, {}, { "序号", "员工姓名", "出生日期", "入职日期", "所属部门", "说明" } }
            << 2 << QStringList { "", "emp_name", "birthday", "indate", "dept", "remark1" };
        QTest::newRow("English captions in any case and spacing")
            << Rows { { "Full Name", "Date of Birth", "JOIN_DATE", "Department", "Notes", "Phone" } } << 0
            << QStringList { "emp_name", "birthday", "indate", "dept", "remark1", "" };
        QTest::newRow("blanks, colons and brackets around captions")
            << Rows { { " 姓名：", "生日(公历)", "入职（日期）" } } << 0 << QStringList { "emp_name", "", "indate" };
        QTest::newRow("a name column alone")
            << Rows { { "x" }, { "姓名" }, { "张三" } } << 1 << QStringList { "emp_name" };
        QTest::newRow("the first of two name columns")
            << Rows { { "姓名", "name", "生日" } } << 0 << QStringList { "emp_name", "", "birthday" };
        QTest::newRow("no captions") << Rows { { "张三", "1990-03-14" } } << -1 << QStringList { "", "" };
    }

    void guessMapping()
    {
        QFETCH(Rows, rows);
        QFETCH(int, headerRow);
        QFETCH(QStringList, fields);
        const ImportMapping mapping = RosterImport::guessMapping(sheetOf(rows));
        QCOMPARE(mapping.headerRow, headerRow);
        QCOMPARE(mapping.columns.size(), RosterColumns::all().size());
        QStringList found(fields.size());
        for (int i = 0; i < mapping.columns.size(); ++i) {
            if (mapping.columns.at(i) >= 0) {
                found[mapping.columns.at(i)] = RosterColumns::at(i).field;
            }
        }
        QCOMPARE(found, fields);
    }

    void readDate_data()
    {
        QTest::addColumn<SheetCell>("cell");
        QTest::addColumn<RosterImport::DayOrder>("order");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("problem");
        using O = RosterImport::DayOrder;
        const auto text = [](const char* t) { return SheetCell::fromText(QString::fromUtf8(t)); };
        QTest::newRow("ISO") << text("1990-03-14") << O::Unknown << QDate(1990, 3, 14) << "";
        QTest::newRow("slashes, one digit") << text("1990/3/5") << O::Unknown << QDate(1990, 3, 5) << "";
        QTest::newRow("dots") << text("1990.03.05") << O::Unknown << QDate(1990, 3, 5) << "";
        QTest::newRow("Chinese") << text("1990年3月5日") << O::Unknown << QDate(1990, 3, 5) << "";
        QTest::newRow("Chinese without 日") << text("1990年3月5") << O::Unknown << QDate(1990, 3, 5) << "";
        QTest::newRow("full-width digits") << text("１９９０－０３－０５") << O::Unknown << QDate(1990, 3, 5) << "";
        QTest::newRow("with a time") << text("1990-03-05 00:00:00") << O::Unknown << QDate(1990, 3, 5) << "";
        QTest::newRow("ISO with T") << text("1990-03-05T08:30:00Z") << O::Unknown << QDate(1990, 3, 5) << "";
        QTest::newRow("digits") << text("19900305") << O::Unknown << QDate(1990, 3, 5) << "";
        QTest::newRow("day first by its day") << text("25/12/1990") << O::Unknown << QDate(1990, 12, 25) << "";
        QTest::newRow("month first by its day") << text("12/25/1990") << O::Unknown << QDate(1990, 12, 25) << "";
        QTest::newRow("day first by the column") << text("03/04/1990") << O::DayFirst << QDate(1990, 4, 3) << "";
        QTest::newRow("month first by the column") << text("03/04/1990") << O::MonthFirst << QDate(1990, 3, 4) << "";
        QTest::newRow("same day and month") << text("04/04/1990") << O::Unknown << QDate(1990, 4, 4) << "";
        QTest::newRow("undecided order") << text("03/04/1990") << O::Unknown << QDate() << "分不清月和日";
        QTest::newRow("mixed orders") << text("03/04/1990") << O::Mixed << QDate() << "分不清月和日";
        QTest::newRow("serial number") << SheetCell::fromNumber(32946) << O::Unknown << QDate(1990, 3, 14) << "";
        QTest::newRow("serial as text") << text("32946") << O::Unknown << QDate(1990, 3, 14) << "";
        QTest::newRow("digits as a number")
            << SheetCell::fromNumber(19900314) << O::Unknown << QDate(1990, 3, 14) << "";
        QTest::newRow("a date cell") << SheetCell::fromDate(QDate(2001, 2, 3)) << O::Unknown << QDate(2001, 2, 3) << "";
        QTest::newRow("30 February") << text("1990-02-30") << O::Unknown << QDate() << "不存在的日期 1990-02-30";
        QTest::newRow("29 February of a common year") << text("2023-02-29") << O::Unknown << QDate() << "不存在";
        QTest::newRow("29 February of a leap year") << text("2024-02-29") << O::Unknown << QDate(2024, 2, 29) << "";
        QTest::newRow("month 13") << text("1990-13-01") << O::Unknown << QDate() << "不存在";
        QTest::newRow("both parts above 12") << text("13/14/1990") << O::Unknown << QDate() << "不存在";
        QTest::newRow("before 1900") << text("1899-12-31") << O::Unknown << QDate() << "早于 1900";
        QTest::newRow("after 2999") << text("3000-01-01") << O::Unknown << QDate() << "晚于 2999";
        QTest::newRow("the 1900 leap day that never was")
            << SheetCell::fromNumber(60) << O::Unknown << QDate() << "不能当作日期";
        QTest::newRow("negative number") << SheetCell::fromNumber(-3) << O::Unknown << QDate() << "不能当作日期";
        QTest::newRow("words") << text("三月五日") << O::Unknown << QDate() << "无法识别";
        QTest::newRow("two-digit year") << text("90-03-05") << O::Unknown << QDate() << "无法识别";
        QTest::newRow("empty") << SheetCell() << O::Unknown << QDate() << "没有日期";
    }

    void readDate()
    {
        QFETCH(SheetCell, cell);
        QFETCH(RosterImport::DayOrder, order);
        QFETCH(QDate, date);
        QFETCH(QString, problem);
        const RosterImport::DateReading reading = RosterImport::readDate(cell, false, order);
        QCOMPARE(reading.date, date);
        QVERIFY2(problem.isEmpty() ? reading.problem.isEmpty() : reading.problem.contains(problem),
                 qPrintable(reading.problem));
    }

    void dayOrderOfAColumn_data()
    {
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<RosterImport::DayOrder>("order");
        using O = RosterImport::DayOrder;
        QTest::newRow("a day above 12 first") << QStringList { "03/04/1990", "25/12/1991" } << O::DayFirst;
        QTest::newRow("a day above 12 second") << QStringList { "03/04/1990", "12/25/1991" } << O::MonthFirst;
        QTest::newRow("both") << QStringList { "25/12/1991", "12/25/1991" } << O::Mixed;
        QTest::newRow("nothing tells") << QStringList { "03/04/1990", "1990-05-06" } << O::Unknown;
    }

    void dayOrderOfAColumn()
    {
        QFETCH(QStringList, values);
        QFETCH(RosterImport::DayOrder, order);
        Rows rows { { "生日" } };
        for (const QString& value : values) {
            rows.append({ value });
        }
        QCOMPARE(RosterImport::dayOrder(sheetOf(rows), 0, 1), order);
    }

    void rowsThatCannotBeTaken_data()
    {
        QTest::addColumn<QStringList>("row"); // 姓名, 生日, 入职, 部门, 备注
        QTest::addColumn<QString>("reason");
        QTest::newRow("no name") << QStringList { "", "1990-03-14", "2020-01-05" } << "没有姓名";
        QTest::newRow("blank name") << QStringList { " \u3000", "1990-03-14", "2020-01-05" } << "没有姓名";
        QTest::newRow("a 10,000-character name")
            << QStringList { QString(10000, QChar(0x5F20)), "1990-03-14", "2020-01-05" }
            << "姓名太长（10000 个字符，最多 100 个）";
        QTest::newRow("no birthday") << QStringList { "张三", "", "2020-01-05" } << "没有生日";
        QTest::newRow("impossible birthday")
            << QStringList { "张三", "1990-02-30", "2020-01-05" } << "生日是不存在的日期 1990-02-30";
        QTest::newRow("birthday in the future")
            << QStringList { "张三", "2090-01-01", "2020-01-05" } << "生日 2090-01-01 在今天之后";
        QTest::newRow("born tomorrow") << QStringList { "张三", "2024-03-06", "2024-03-06" } << "在今天之后";
        QTest::newRow("no joining date") << QStringList { "张三", "1990-03-14", "" } << "没有入职日期";
        QTest::newRow("joined before being born")
            << QStringList { "张三", "1990-03-14", "1980-01-01" } << "入职日期 1980-01-01 早于生日";
        QTest::newRow("an unreadable joining date")
            << QStringList { "张三", "1990-03-14", "soon" } << "入职日期是无法识别的日期“soon”";
        QTest::newRow("a department too long")
            << QStringList { "张三", "1990-03-14", "2020-01-05", QString(201, QLatin1Char('d')) } << "部门太长";
        QTest::newRow("two problems at once")
            << QStringList { "", "1990-02-30", "2020-01-05" } << "没有姓名；生日是不存在的日期";
    }

    void rowsThatCannotBeTaken()
    {
        QFETCH(QStringList, row);
        QFETCH(QString, reason);
        const ImportPlan plan = planOf({ Captions, row });
        QCOMPARE(plan.rows.size(), 1);
        QCOMPARE(plan.rows.at(0).action, ImportRow::Action::Refuse);
        QVERIFY2(plan.rows.at(0).reason.contains(reason), qPrintable(plan.rows.at(0).reason));
        QCOMPARE(plan.skipped, 1);
        QVERIFY(!plan.writes());
        QVERIFY(!plan.takesAnything());
        QVERIFY(plan.skippedLines().at(0).startsWith(QStringLiteral("第 2 行")));
    }

    void readingsAreChecked_data()
    {
        QTest::addColumn<QString>("reading");
        QTest::addColumn<QString>("stored"); // empty: refused
        QTest::newRow("tone numbers") << "zhang1 san1"
                                      << "zhang1 san1";
        QTest::newRow("tone marks, capitals") << "Zhāng Sān"
                                              << "zhang1 san1";
        QTest::newRow("one syllable short") << "zhang1"
                                            << "";
        QTest::newRow("no reading") << ""
                                    << "";
    }

    void readingsAreChecked()
    {
        QFETCH(QString, reading);
        QFETCH(QString, stored);
        const ImportPlan plan
            = planOf({ { "姓名", "读音", "生日", "入职" }, { "张三", reading, "1990-03-14", "2020-01-05" } });
        const ImportRow& row = plan.rows.at(0);
        const QVariant value = row.values.at(column(RosterColumns::Reading));
        if (!stored.isEmpty()) {
            QCOMPARE(row.action, ImportRow::Action::Add);
            QCOMPARE(value.toString(), stored);
        } else if (reading.isEmpty()) {
            QCOMPARE(row.action, ImportRow::Action::Add);
            QVERIFY(value.isNull());
        } else {
            QCOMPARE(row.action, ImportRow::Action::Refuse);
            QVERIFY2(row.reason.startsWith(QStringLiteral("读音")) && !row.reason.contains(QStringLiteral("。")),
                     qPrintable(row.reason));
        }
    }

    // The 农历 column: its usual yes and no words, anything else refused; a lunar birthday needs a date
    // of birth the Chinese calendar can be read for.
    void lunarColumn_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("birthday");
        QTest::addColumn<int>("stored"); // -1: refused
        QTest::addColumn<QString>("reason");
        QTest::newRow("是") << "是"
                            << "1990-03-14" << 1 << "";
        QTest::newRow("否") << "否"
                            << "1990-03-14" << 0 << "";
        QTest::newRow("1") << "1"
                           << "1990-03-14" << 1 << "";
        QTest::newRow("0") << "0"
                           << "1990-03-14" << 0 << "";
        QTest::newRow("yes") << " YES "
                             << "1990-03-14" << 1 << "";
        QTest::newRow("no") << "no"
                            << "1990-03-14" << 0 << "";
        QTest::newRow("empty: not lunar") << ""
                                          << "1990-03-14" << -2 << "";
        QTest::newRow("a word of its own") << "maybe"
                                           << "1990-03-14" << -1 << "农历一栏只能填";
        QTest::newRow("lunar, born before lunar 1901") << "是"
                                                       << "1901-02-18" << -1 << "1901";
        QTest::newRow("not lunar, born before lunar 1901") << "否"
                                                           << "1901-02-18" << 0 << "";
    }

    void lunarColumn()
    {
        QFETCH(QString, value);
        QFETCH(QString, birthday);
        QFETCH(int, stored);
        QFETCH(QString, reason);
        const ImportSheet sheet
            = sheetOf({ { "姓名", "生日", "入职", "农历" }, { "张三", birthday, "2020-01-05", value } });
        const ImportPlan plan = RosterImport::plan(sheet, RosterImport::guessMapping(sheet),
                                                   RosterImport::rosterKeys(db()), Today, ImportPlan::Duplicates::Skip);
        const ImportRow& row = plan.rows.at(0);
        if (stored == -1) {
            QCOMPARE(row.action, ImportRow::Action::Refuse);
            QVERIFY2(row.reason.contains(reason), qPrintable(row.reason));
            return;
        }
        QCOMPARE(row.action, ImportRow::Action::Add);
        RosterImport::apply(db(), sheet, RosterImport::guessMapping(sheet), Today, ImportPlan::Duplicates::Skip);
        QSqlQuery query(db());
        QVERIFY(query.exec(QStringLiteral("SELECT lunar FROM birthday")) && query.next());
        QCOMPARE(query.value(0).toInt(), qMax(stored, 0));
        QVERIFY(!query.value(0).isNull());
    }

    // An update with the box empty keeps what the roster holds; with a value it changes it.
    void lunarUpdate()
    {
        addEmployee(db(), QStringLiteral("张三"), QStringLiteral("1990-03-14"), QStringLiteral("2020-01-05"));
        const auto import = [this](const QString& value) {
            const ImportSheet sheet
                = sheetOf({ { "姓名", "生日", "入职", "农历" }, { "张三", "1990-03-14", "2020-01-05", value } });
            RosterImport::apply(db(), sheet, RosterImport::guessMapping(sheet), Today, ImportPlan::Duplicates::Update);
            QSqlQuery query(db());
            return query.exec(QStringLiteral("SELECT lunar FROM birthday")) && query.next() ? query.value(0).toInt()
                                                                                            : -1;
        };
        QCOMPARE(import(QStringLiteral("是")), 1);
        QCOMPARE(import(QString()), 1);
        QCOMPARE(import(QStringLiteral("否")), 0);
    }

    void bornToday()
    {
        const ImportPlan plan = planOf({ Captions, { "张三", "2024-03-05", "2024-03-05" } });
        QCOMPARE(plan.rows.at(0).action, ImportRow::Action::Add);
    }

    void duplicates_data()
    {
        QTest::addColumn<int>("duplicates");
        QTest::addColumn<QList<int>>("actions");
        QTest::addColumn<QString>("summary");
        using A = ImportRow::Action;
        QTest::newRow("skip") << int(ImportPlan::Duplicates::Skip)
                              << QList<int> { int(A::Skip), int(A::Add), int(A::Refuse), int(A::Skip) }
                              << "新增 1 人，更新 0 人，跳过 3 行。";
        QTest::newRow("update") << int(ImportPlan::Duplicates::Update)
                                << QList<int> { int(A::Update), int(A::Add), int(A::Refuse), int(A::Update) }
                                << "新增 1 人，更新 2 人，跳过 1 行。";
    }

    void duplicates()
    {
        QFETCH(int, duplicates);
        QFETCH(QList<int>, actions);
        QFETCH(QString, summary);
        const qint64 zhang
            = addEmployee(db(), QStringLiteral("张三"), QStringLiteral("1990-03-14"), QStringLiteral("2020-01-05"));
        addEmployee(db(), QStringLiteral("李四"), QStringLiteral("1985-01-01"), QStringLiteral("2020-01-05"));
        const ImportPlan plan = planOf({ Captions,
                                         { " 张三 ", "1990/3/14", "2021-01-01" }, // the same person, blanks aside
                                         { "李四", "1985-01-02", "2020-01-05" }, // another birthday: somebody else
                                         { "李四", "1985-01-02", "2020-01-05" }, // twice in the file
                                         { "李四", "1985-01-01", "2020-01-05" } },
                                       ImportPlan::Duplicates(duplicates));
        QList<int> found;
        for (const ImportRow& row : plan.rows) {
            found.append(int(row.action));
        }
        QCOMPARE(found, actions);
        QCOMPARE(plan.rows.at(0).existingId, zhang);
        QCOMPARE(plan.rows.at(2).reason, QStringLiteral("与第 3 行重复（姓名和生日相同）"));
        QCOMPARE(plan.summary(), summary);
        QVERIFY(plan.takesAnything());
    }

    void emptyRowsAndAnUnmappedColumn()
    {
        ImportSheet sheet = sheetOf({ { "姓名", "生日", "入职", "部门" },
                                      {},
                                      { "张三", "1990-03-14", "2020-01-05", "部" },
                                      { "", "", "" },
                                      { "李四", "1985-01-01", "2020-01-05", "x" } });
        ImportMapping mapping = RosterImport::guessMapping(sheet);
        mapping.columns[column(RosterColumns::Dept)] = -1;
        const ImportPlan plan = RosterImport::plan(sheet, mapping, {}, Today, ImportPlan::Duplicates::Skip);
        QCOMPARE(plan.rows.size(), 2);
        QCOMPARE(plan.rows.at(0).sheetRow, 2);
        QCOMPARE(plan.rows.at(1).sheetRow, 4);
        QVERIFY(plan.rows.at(0).values.at(column(RosterColumns::Dept)).isNull());
        QCOMPARE(plan.added, 2);

        // Without a column for a required value, no row can be taken.
        mapping.columns[column(RosterColumns::Indate)] = -1;
        const ImportPlan none = RosterImport::plan(sheet, mapping, {}, Today, ImportPlan::Duplicates::Skip);
        QCOMPARE(none.added, 0);
        QCOMPARE(none.rows.at(0).reason, QStringLiteral("没有入职日期"));
    }

    void applyWritesThePeople()
    {
        const qint64 zhang
            = addEmployee(db(), QStringLiteral("张三"), QStringLiteral("1990-03-14"), QStringLiteral("2020-01-05"),
                          QStringLiteral("旧部门"), QStringLiteral("旧备注"));
        const ImportSheet sheet = sheetOf({ Captions,
                                            { "张三", "1990-03-14", "2021-02-03", "新部门", "" },
                                            { "王五", "1985-12-01", "2019-02-28", "", "x;\"y\"" },
                                            { "", "1985-12-01", "2019-02-28" } });
        const ImportPlan written = RosterImport::apply(db(), sheet, RosterImport::guessMapping(sheet), Today,
                                                       ImportPlan::Duplicates::Update);
        QCOMPARE(written.summary(), QStringLiteral("新增 1 人，更新 1 人，跳过 1 行。"));
        // The update takes the file's values; an empty cell keeps what the roster held.
        QCOMPARE(people(db()),
                 (QStringList { QStringLiteral("张三|1990-03-14|2021-02-03|新部门|旧备注|"),
                                QStringLiteral("王五|1985-12-01|2019-02-28||x;\"y\"|") }));
        QSqlQuery id(db());
        QVERIFY(id.exec(QStringLiteral("SELECT id FROM birthday WHERE emp_name = '张三'")) && id.next());
        QCOMPARE(id.value(0).toLongLong(), zhang);
    }

    void applyWritesAllOrNothing()
    {
        addEmployee(db(), QStringLiteral("张三"), QStringLiteral("1990-03-14"), QStringLiteral("2020-01-05"));
        // The database refuses the third person: the two before it must not stay either.
        QSqlQuery trigger(db());
        QVERIFY(trigger.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON birthday WHEN NEW.emp_name = '坏' "
                                            "BEGIN SELECT RAISE(ABORT, 'refused by the database'); END")));
        const ImportSheet sheet = sheetOf({ Captions,
                                            { "甲", "1990-01-01", "2020-01-01" },
                                            { "乙", "1990-01-02", "2020-01-01" },
                                            { "坏", "1990-01-03", "2020-01-01" },
                                            { "丁", "1990-01-04", "2020-01-01" } });
        try {
            RosterImport::apply(db(), sheet, RosterImport::guessMapping(sheet), Today, ImportPlan::Duplicates::Skip);
            QFAIL("the import was written");
        } catch (const RuntimeError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("refused by the database")), qPrintable(error.message()));
        }
        QCOMPARE(people(db()), QStringList { QStringLiteral("张三|1990-03-14|2020-01-05|||") });
        // The connection is usable afterwards: no transaction was left open.
        QVERIFY(trigger.exec(QStringLiteral("DROP TRIGGER refuse")));
        RosterImport::apply(db(), sheet, RosterImport::guessMapping(sheet), Today, ImportPlan::Duplicates::Skip);
        QCOMPARE(people(db()).size(), 5);
    }

    void applyToARosterWithoutTheReadingColumn()
    {
        // A file made before the roster had the column: the readings have nowhere to go.
        QSqlQuery drop(db());
        QVERIFY(drop.exec(QStringLiteral("ALTER TABLE birthday DROP COLUMN pinyin")));
        const ImportSheet sheet
            = sheetOf({ { "姓名", "读音", "生日", "入职" }, { "张三", "zhang1 san1", "1990-03-14", "2020-01-05" } });
        const ImportPlan written = RosterImport::apply(db(), sheet, RosterImport::guessMapping(sheet), Today,
                                                       ImportPlan::Duplicates::Update);
        QCOMPARE(written.added, 1);
        QSqlQuery query(db());
        QVERIFY(query.exec(QStringLiteral("SELECT emp_name, birthday FROM birthday")) && query.next());
        QCOMPARE(query.value(0).toString(), QStringLiteral("张三"));
    }

    void applyPlansOnTheRosterAsItIs()
    {
        const ImportSheet sheet = sheetOf({ Captions, { "张三", "1990-03-14", "2020-01-05" } });
        const ImportMapping mapping = RosterImport::guessMapping(sheet);
        const ImportPlan preview
            = RosterImport::plan(sheet, mapping, RosterImport::rosterKeys(db()), Today, ImportPlan::Duplicates::Skip);
        QCOMPARE(preview.added, 1);
        // Somebody else adds the same person between the preview and the confirmation.
        addEmployee(db(), QStringLiteral("张三"), QStringLiteral("1990-03-14"), QStringLiteral("2020-01-05"));
        const ImportPlan written = RosterImport::apply(db(), sheet, mapping, Today, ImportPlan::Duplicates::Skip);
        QCOMPARE(written.added, 0);
        QCOMPARE(written.skipped, 1);
        QCOMPARE(people(db()).size(), 1);
    }

    void applyWaitsNoLongerThanTheLock()
    {
        // Another connection holds the write lock: the import says so and writes nothing.
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        other.setDatabaseName(m_folder->file(QStringLiteral("draft.dat")));
        QVERIFY(other.open());
        {
            QSqlQuery hold(other);
            QVERIFY(hold.exec(QStringLiteral("BEGIN IMMEDIATE")));
            const ImportSheet sheet = sheetOf({ Captions, { "张三", "1990-03-14", "2020-01-05" } });
            QVERIFY_THROWS_EXCEPTION(RuntimeError,
                                     RosterImport::apply(db(), sheet, RosterImport::guessMapping(sheet), Today,
                                                         ImportPlan::Duplicates::Skip));
            QVERIFY(hold.exec(QStringLiteral("ROLLBACK")));
        }
        other.close();
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
        QCOMPARE(people(db()).size(), 0);
    }

    void exportedRosterImportsBackUnchanged_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("xls") << int(ExportFormat::Xls) << "xls";
        QTest::newRow("xlsx") << int(ExportFormat::Xlsx) << "xlsx";
        QTest::newRow("csv") << int(ExportFormat::Csv) << "csv";
        QTest::newRow("csv-utf8") << int(ExportFormat::CsvUtf8) << "csv";
        QTest::newRow("txt") << int(ExportFormat::Txt) << "txt";
    }

    void exportedRosterImportsBackUnchanged()
    {
        QFETCH(int, format);
        QFETCH(QString, suffix);
        const QList<QStringList> roster = {
            { "张三", "1990-03-14", "2020-01-05", "生产部", "a;\"b\"", "zhang1 san1" },
            { " 李四 ", "1988-07-08", "2021-06-01", "财务部", "两行\r\n第二行", "" },
            { "Euro€", "2000-02-29", "2020-02-29", "", "", "" },
            { "𠀀字", "1975-12-31", "1999-01-01", "😀", "=1+1", "" },
            { "O'Brien, Pat", "1961-01-01", "1980-01-01", "\"quoted\"", "tab\there", "" },
        };
        for (const QStringList& person : roster) {
            const qint64 id = addEmployee(db(), person.at(0), person.at(1), person.at(2), person.at(3), person.at(4));
            QVERIFY(id > 0);
            if (!person.at(5).isEmpty()) {
                QSqlQuery reading(db());
                reading.prepare(QStringLiteral("UPDATE birthday SET pinyin = ? WHERE id = ?"));
                reading.addBindValue(person.at(5));
                reading.addBindValue(id);
                QVERIFY(reading.exec());
            }
        }
        QVERIFY(m_data->openReadOnly());
        RosterFilterModel shown;
        shown.setSourceModel(m_data->Q_birthday2());
        const ExportTable table = exportTableFromModel(shown, {});
        const QString path = m_folder->file(QStringLiteral("roster.") + suffix);
        const ExportAlterations altered = ExportWriters::write(path, ExportFormat(format), table);

        // What the file holds: the roster with the announced alterations.
        QList<QStringList> expected;
        for (const auto& row : table.rows) {
            QStringList texts;
            for (const auto& cell : row) {
                texts.append(cell.text);
            }
            expected.append(texts);
        }
        for (const ExportAlteration& a : altered) {
            QVERIFY(a.row >= 0);
            expected[a.row][a.column] = a.written;
        }

        // Into an empty roster.
        m_data.reset();
        const TestFolder empty;
        createTestDatabase(empty);
        m_data = std::make_unique<TDM>(Services {});
        QVERIFY(m_data->openForWriting());
        const ImportSheet sheet = ImportReaders::read(path);
        const ImportPlan written
            = RosterImport::apply(db(), sheet, RosterImport::guessMapping(sheet), Today, ImportPlan::Duplicates::Skip);
        QCOMPARE(written.added, roster.size());
        QStringList want;
        const QList<int> order = { RosterFilterModel::EmpName, RosterFilterModel::Birthday, RosterFilterModel::Indate,
                                   RosterFilterModel::Dept,    RosterFilterModel::Remark,   RosterFilterModel::Pinyin };
        for (const QStringList& row : expected) {
            QStringList fields;
            for (const int column : order) {
                fields.append(row.at(column));
            }
            want.append(fields.join(QLatin1Char('|')));
        }
        QCOMPARE(people(db()), want);
        if (ExportFormat(format) == ExportFormat::Xlsx || ExportFormat(format) == ExportFormat::CsvUtf8) {
            QVERIFY(altered.isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(TestRosterImport)
#include "test_rosterimport.moc"
