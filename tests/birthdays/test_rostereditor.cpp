#include "birthdays/datedelegate.h"
#include "birthdays/filterheader.h"
#include "birthdays/rosterfiltermodel.h"
#include "birthdays/tfbirthday.h"
#include "common/modelrows.h"
#include "data/tdm.h"
#include "datafixture.h"
#include "testdatabase.h"
#include "ui_tfbirthday.h"

#include <QDateEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTest>
#include <QTimer>

class TestRosterEditor : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_fixture = std::make_unique<DataFixture>(QDateTime(QDate(2024, 3, 5), QTime(8, 0))); }

    void cleanup()
    {
        m_editor.reset();
        m_fixture.reset();
    }

    void formAndColumns()
    {
        addEmployee(m_fixture->data(), QStringLiteral("王一"), QStringLiteral("1990-03-05"),
                    QStringLiteral("2020-01-02"));
        openEditor();
        QCOMPARE(m_editor->windowTitle(), QStringLiteral("员工生日资料"));
        QCOMPARE(ui()->BitBtn1->text(), QStringLiteral("&A. 新增"));
        QCOMPARE(ui()->DBGridEh1->toolTip(), QStringLiteral("点右键删除"));
        const QStringList titles
            = { QStringLiteral("No"),   QStringLiteral("姓名"), QStringLiteral("读音"), QStringLiteral("入职"),
                QStringLiteral("生日"), QStringLiteral("农历"), QStringLiteral("部门"), QStringLiteral("备注") };
        const int widths[] = { 36, 66, 96, 66, 66, 40, 84 };
        for (int column = 0; column < titles.size(); ++column) {
            QCOMPARE(grid()->model()->headerData(column, Qt::Horizontal).toString(), titles.at(column));
            if (column == RosterFilterModel::Indate || column == RosterFilterModel::Birthday) {
                QVERIFY(grid()->columnWidth(column) >= widths[column]);
                QVERIFY(grid()->columnWidth(column)
                        > grid()->fontMetrics().horizontalAdvance(QStringLiteral("2010-01-02")));
            } else if (column == RosterFilterModel::Pinyin) {
                QVERIFY(grid()->columnWidth(column) >= widths[column]);
                QVERIFY(grid()->columnWidth(column)
                        > grid()->fontMetrics().horizontalAdvance(QStringLiteral("shan4 xiong2 xin4")));
            } else if (column < RosterFilterModel::Remark) {
                QCOMPARE(grid()->columnWidth(column), widths[column]);
            }
        }
        QVERIFY(grid()->columnWidth(RosterFilterModel::Remark) >= 143);
        const QList<QAction*> actions = m_editor->popupMenu()->actions();
        QCOMPARE(actions.size(), 4);
        QCOMPARE(actions.at(0)->text(), QStringLiteral("删除"));
        QCOMPARE(actions.at(1)->text(), QStringLiteral("导出到Excel"));
        QCOMPARE(actions.at(2)->text(), QStringLiteral("导入…"));
        QCOMPARE(actions.at(3)->text(), QStringLiteral("试听姓名"));
        QCOMPARE(ui()->Date1->date(), QDate(2024, 3, 5));
        // The grid's form, whatever the locale's short date.
        QCOMPARE(ui()->Date1->displayFormat(), QStringLiteral("yyyy-MM-dd"));
        QCOMPARE(ui()->Date2->displayFormat(), QStringLiteral("yyyy-MM-dd"));
        QCOMPARE(ui()->Date1->text(), QStringLiteral("2024-03-05"));
    }

    void addStoresAsTyped_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << QStringLiteral("王一");
        QTest::newRow("blanks around") << QStringLiteral("  李二 ");
        QTest::newRow("quotes") << QStringLiteral("O'Neil \"Jack\"");
        QTest::newRow("500 characters") << QString(500, QChar(0x5F20));
        QTest::newRow("outside GBK") << QStringLiteral("😀𠀀");
    }

    void addStoresAsTyped()
    {
        QFETCH(QString, name);
        openEditor();
        ui()->edt_emp_name->setText(name);
        ui()->Date1->setDate(QDate(1990, 3, 5));
        ui()->Date2->setDate(QDate(2020, 1, 2));
        ui()->edt_dept->setText(QStringLiteral("生产部"));
        ui()->edt_remark->setText(QStringLiteral("备注'"));
        QVERIFY(!m_editor->DataChanged());
        m_editor->BitBtn1Click();

        QSqlQuery query(m_fixture->data().database());
        QVERIFY(query.exec(QStringLiteral("select emp_name, birthday, indate, dept, remark1 from birthday")));
        QVERIFY(query.next());
        QCOMPARE(query.value(0).toString(), name);
        QCOMPARE(query.value(1).toString(), QStringLiteral("1990-03-05"));
        QCOMPARE(query.value(2).toString(), QStringLiteral("2020-01-02"));
        QCOMPARE(query.value(3).toString(), QStringLiteral("生产部"));
        QCOMPARE(query.value(4).toString(), QStringLiteral("备注'"));
        QVERIFY(!query.next());

        QVERIFY(m_editor->DataChanged());
        QCOMPARE(shown()->rowCount(), 1);
        QCOMPARE(shown()->index(0, RosterFilterModel::No).data().toInt(), 1);
        QCOMPARE(shown()->index(0, RosterFilterModel::EmpName).data().toString(), name);
        QCOMPARE(shown()->index(0, RosterFilterModel::Birthday).data().toString(), QStringLiteral("1990-03-05"));
        // The entry fields keep their contents for the next, similar record.
        QCOMPARE(ui()->edt_emp_name->text(), name);
        QCOMPARE(ui()->edt_dept->text(), QStringLiteral("生产部"));
        QVERIFY(ui()->edt_emp_name->hasFocus());
    }

    // The entry panel's 农历 box: stored with the person; refused (with the reason, nothing stored) for a
    // date of birth the Chinese calendar cannot be read for.
    void lunarBirthdayFromTheEntryPanel_data()
    {
        QTest::addColumn<QDate>("birthday");
        QTest::addColumn<bool>("stored");
        QTest::newRow("中秋 2000") << QDate(2000, 9, 12) << true;
        QTest::newRow("first supported day") << QDate(1901, 2, 19) << true;
        QTest::newRow("before lunar 1901") << QDate(1900, 6, 1) << false;
    }

    void lunarBirthdayFromTheEntryPanel()
    {
        QFETCH(QDate, birthday);
        QFETCH(bool, stored);
        openEditor();
        ui()->edt_emp_name->setText(QStringLiteral("孙七"));
        ui()->Date1->setDate(birthday);
        ui()->Date2->setDate(QDate(2020, 1, 1));
        ui()->chk_lunar->setChecked(true);
        m_editor->BitBtn1Click();
        if (stored) {
            QCOMPARE(storedRows(QStringLiteral("lunar")), QStringList { QStringLiteral("孙七|1") });
            QCOMPARE(shown()->index(0, RosterFilterModel::Lunar).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        } else {
            const QStringList boxes = m_fixture->dialogs.takeTexts();
            QCOMPARE(boxes.size(), 1);
            QVERIFY2(boxes.first().contains(QStringLiteral("1901")), qPrintable(boxes.first()));
            QVERIFY(storedRows().isEmpty());
            QVERIFY(ui()->Date1->hasFocus());
        }
    }

    // The grid's box: ticked in place; a lunar birthday the calendar cannot read, or a date of birth
    // moved out of its years while ticked, is refused and the row keeps what it held.
    void lunarBoxInTheGrid()
    {
        addEmployee(m_fixture->data(), QStringLiteral("甲"), QStringLiteral("1990-03-05"),
                    QStringLiteral("2020-01-02"));
        addEmployee(m_fixture->data(), QStringLiteral("乙"), QStringLiteral("1895-03-05"),
                    QStringLiteral("2020-01-02"));
        openEditor();
        const QModelIndex first = shown()->index(0, RosterFilterModel::Lunar);
        QVERIFY(shown()->flags(first) & Qt::ItemIsUserCheckable);
        QVERIFY(!(shown()->flags(first) & Qt::ItemIsEditable));
        QVERIFY(shown()->setData(first, Qt::Checked, Qt::CheckStateRole));
        QVERIFY(shown()->submit());
        QCOMPARE(storedRows(QStringLiteral("lunar")), (QStringList { QStringLiteral("甲|1"), QStringLiteral("乙|0") }));
        QCOMPARE(shown()->index(0, RosterFilterModel::Lunar).data(Qt::DisplayRole), QVariant());

        QVERIFY(!shown()->setData(shown()->index(1, RosterFilterModel::Lunar), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(!shown()->setData(shown()->index(0, RosterFilterModel::Birthday), QStringLiteral("1899-01-01")));
        const QStringList boxes = m_fixture->dialogs.takeTexts();
        QCOMPARE(boxes.size(), 2);
        QVERIFY2(boxes.at(0).contains(QStringLiteral("1895-03-05")), qPrintable(boxes.at(0)));
        QCOMPARE(
            storedRows(),
            (QStringList { QStringLiteral("甲|1990-03-05|2020-01-02"), QStringLiteral("乙|1895-03-05|2020-01-02") }));
        // The filter finds the ticked ones by 是.
        shown()->setColumnFilter(RosterFilterModel::Lunar, QStringLiteral("是"));
        QCOMPARE(shown()->rowCount(), 1);
    }

    void oddDatesAreStored_data()
    {
        QTest::addColumn<QDate>("birthday");
        QTest::addColumn<QDate>("indate");
        QTest::newRow("29 February") << QDate(1992, 2, 29) << QDate(2010, 1, 1);
        QTest::newRow("joined in the future") << QDate(1990, 1, 1) << QDate(2030, 6, 1);
        QTest::newRow("born after joining") << QDate(2025, 1, 1) << QDate(2020, 1, 1);
    }

    void oddDatesAreStored()
    {
        QFETCH(QDate, birthday);
        QFETCH(QDate, indate);
        openEditor();
        ui()->edt_emp_name->setText(QStringLiteral("赵三"));
        ui()->Date1->setDate(birthday);
        ui()->Date2->setDate(indate);
        m_editor->BitBtn1Click();
        QCOMPARE(storedRows(),
                 QStringList { QStringLiteral("赵三|") + birthday.toString(Qt::ISODate) + QLatin1Char('|')
                               + indate.toString(Qt::ISODate) });
    }

    void blankNameIsRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << QString();
        QTest::newRow("blanks") << QStringLiteral("   ");
        QTest::newRow("full-width blank") << QStringLiteral("\u3000");
    }

    void blankNameIsRefused()
    {
        QFETCH(QString, name);
        openEditor();
        ui()->edt_emp_name->setText(name);
        ui()->edt_dept->setFocus();
        m_editor->BitBtn1Click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("请输入姓名、生日、入职日期等资料!") });
        QVERIFY(ui()->edt_emp_name->hasFocus());
        QVERIFY(storedRows().isEmpty());
        QVERIFY(!m_editor->DataChanged());
    }

    void enterMovesOnInTabOrder()
    {
        openEditor();
        ui()->edt_emp_name->setFocus();
        const QList<QWidget*> order = { ui()->Date1,      ui()->Date2,      ui()->chk_lunar, ui()->edt_dept,
                                        ui()->edt_remark, ui()->edt_pinyin, ui()->BitBtn1 };
        for (QWidget* next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void editInPlacePostsAndMarks()
    {
        addThree();
        openEditor();
        QVERIFY(shown()->setData(shown()->index(1, RosterFilterModel::EmpName), QStringLiteral("李二改")));
        QVERIFY(shown()->setData(shown()->index(1, RosterFilterModel::Dept), QStringLiteral("新部门")));
        m_editor->postPendingEdit();
        QVERIFY(m_editor->DataChanged());
        QCOMPARE(
            storedRows(QStringLiteral("dept")),
            (QStringList { QStringLiteral("王一|财务部"), QStringLiteral("李二改|新部门"), QStringLiteral("赵三|") }));
    }

    void dateColumnsEditWithDateEditors()
    {
        addThree();
        openEditor();
        for (const int column : { int(RosterFilterModel::Indate), int(RosterFilterModel::Birthday) }) {
            const QModelIndex cell = shown()->index(0, column);
            grid()->setCurrentIndex(cell);
            grid()->edit(cell);
            auto* editor = qobject_cast<QDateEdit*>(grid()->indexWidget(cell));
            QVERIFY(editor);
            QCOMPARE(editor->displayFormat(), QStringLiteral("yyyy-MM-dd"));
            // The whole date shows beside the calendar button, not cut off by the column.
            const auto* field = editor->findChild<const QLineEdit*>();
            QTRY_VERIFY(field && field->isVisible());
            QVERIFY2(field->width() - 5 >= field->fontMetrics().horizontalAdvance(field->text()),
                     qPrintable(field->text()));
            // Typed digits fill the sections 9999-99-99; only a real date comes out.
            editor->setSelectedSection(QDateTimeEdit::YearSection);
            QTest::keyClicks(editor, QStringLiteral("19880229"));
            QCOMPARE(editor->date(), QDate(1988, 2, 29));
            m_editor->postPendingEdit();
            QCOMPARE(shown()->index(0, column).data().toString(), QStringLiteral("1988-02-29"));
        }
        QCOMPARE(storedRows().first(), QStringLiteral("王一|1988-02-29|1988-02-29"));
    }

    void untouchedDateEditorWritesNothing()
    {
        addEmployee(m_fixture->data(), QStringLiteral("无生日"), QString(), QStringLiteral("2020-01-01"));
        openEditor();
        const QModelIndex cell = shown()->index(0, RosterFilterModel::Birthday);
        grid()->setCurrentIndex(cell);
        grid()->edit(cell);
        QVERIFY(grid()->indexWidget(cell));
        m_editor->postPendingEdit();
        QCOMPARE(storedRows(), QStringList { QStringLiteral("无生日||2020-01-01") });
    }

    void refusedEditLosesNothingElse()
    {
        addThree();
        openEditor();
        QSignalSpy refused(shown(), &RosterFilterModel::editRefused);
        // Not a real date: the table's check refuses it when the row is posted.
        QVERIFY(shown()->setData(shown()->index(1, RosterFilterModel::Birthday), QStringLiteral("1990-02-30")));
        m_editor->postPendingEdit();
        QCOMPARE(refused.size(), 1);
        const QList<RecordingDialogs::Box> boxes = m_fixture->dialogs.takeBoxes();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.first().icon, Dialogs::Icon::Critical);
        QVERIFY(!boxes.first().text.isEmpty());
        QCOMPARE(shown()->rowCount(), 3);
        QCOMPARE(shown()->index(1, RosterFilterModel::Birthday).data().toString(), QStringLiteral("1985-07-20"));
        QCOMPARE(storedRows(), threeRows());
        // The grid goes on working after the refusal.
        QVERIFY(shown()->setData(shown()->index(2, RosterFilterModel::EmpName), QStringLiteral("赵三三")));
        m_editor->postPendingEdit();
        QCOMPARE(storedRows().last(), QStringLiteral("赵三三|2000-03-06|2023-09-01"));
    }

    void deleteAsksFirst()
    {
        addThree();
        openEditor();
        grid()->setCurrentIndex(shown()->index(1, RosterFilterModel::EmpName));
        m_editor->postPendingEdit();

        setUnchanged();
        m_fixture->dialogs.answerNextQuestion(false);
        m_editor->N1Click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("确信要删除该记录?") });
        QCOMPARE(storedRows(), threeRows());
        QVERIFY(!m_editor->DataChanged());

        m_fixture->dialogs.answerNextQuestion(true);
        m_editor->N1Click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("确信要删除该记录?") });
        QCOMPARE(storedRows(), (QStringList { threeRows().at(0), threeRows().at(2) }));
        QVERIFY(m_editor->DataChanged());
        QCOMPARE(shown()->rowCount(), 2);
        QCOMPARE(shown()->index(1, RosterFilterModel::No).data().toInt(), 2);
    }

    // People added this run stand at the end of the list; a deletion keeps every other row where it is
    // shown, and the cursor lands on the person after the deleted one.
    void deleteKeepsTheShownOrder()
    {
        addThree();
        openEditor();
        for (const auto& [name, joined] : { std::pair { QStringLiteral("钱五"), QDate(2001, 1, 1) },
                                            std::pair { QStringLiteral("孙六"), QDate(2005, 1, 1) } }) {
            ui()->edt_emp_name->setText(name);
            ui()->Date1->setDate(QDate(1980, 6, 1));
            ui()->Date2->setDate(joined);
            m_editor->BitBtn1Click();
        }
        const QStringList before = { QStringLiteral("王一"), QStringLiteral("李二"), QStringLiteral("赵三"),
                                     QStringLiteral("钱五"), QStringLiteral("孙六") };
        QCOMPARE(shownNames(), before);

        grid()->setCurrentIndex(shown()->index(2, RosterFilterModel::EmpName));
        m_fixture->dialogs.answerNextQuestion(true);
        m_editor->N1Click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("确信要删除该记录?") });
        QCOMPARE(shownNames(),
                 (QStringList { QStringLiteral("王一"), QStringLiteral("李二"), QStringLiteral("钱五"),
                                QStringLiteral("孙六") }));
        QCOMPARE(grid()->currentIndex().data().toString(), QStringLiteral("钱五"));
        QCOMPARE(shown()->index(2, RosterFilterModel::No).data().toInt(), 3);

        // A second deletion, and an addition after it, keep to it as well.
        m_fixture->dialogs.answerNextQuestion(true);
        m_editor->N1Click();
        m_fixture->dialogs.takeTexts();
        QCOMPARE(grid()->currentIndex().data().toString(), QStringLiteral("孙六"));
        ui()->edt_emp_name->setText(QStringLiteral("周七"));
        ui()->Date2->setDate(QDate(2000, 1, 1));
        m_editor->BitBtn1Click();
        QCOMPARE(shownNames(),
                 (QStringList { QStringLiteral("王一"), QStringLiteral("李二"), QStringLiteral("孙六"),
                                QStringLiteral("周七") }));
        QCOMPARE(grid()->currentIndex().data().toString(), QStringLiteral("周七"));

        // Read again (an import, a change by another program): the table's own order.
        m_editor->reloadRoster();
        QCOMPARE(shownNames(),
                 (QStringList { QStringLiteral("周七"), QStringLiteral("孙六"), QStringLiteral("王一"),
                                QStringLiteral("李二") }));
    }

    void deleteOnEmptyListAsksNothing()
    {
        openEditor();
        m_editor->N1Click();
        QVERIFY(m_fixture->dialogs.takeTexts().isEmpty());
    }

    void movingThroughTheGridMarksAChange()
    {
        addThree();
        bool changedWhileOpen = true;
        // Opening and closing without touching anything changes nothing.
        QTimer::singleShot(0, this, [this, &changedWhileOpen] {
            changedWhileOpen = m_editor->DataChanged();
            m_editor->reject();
        });
        QVERIFY(!editor()->editRoster());
        QVERIFY(!changedWhileOpen);

        QTimer::singleShot(0, this, [this] {
            grid()->setFocus();
            QTest::keyClick(grid(), Qt::Key_Down);
            m_editor->reject();
        });
        QVERIFY(m_editor->editRoster());
        QCOMPARE(grid()->currentIndex().row(), 1);
        QCOMPARE(storedRows(), threeRows());
    }

    void downOnLastRowAddsNothing()
    {
        addThree();
        openEditor();
        grid()->setFocus();
        grid()->setCurrentIndex(shown()->index(2, RosterFilterModel::EmpName));
        QTest::keyClick(grid(), Qt::Key_Down);
        QCOMPARE(grid()->currentIndex().row(), 2);
        QCOMPARE(shown()->rowCount(), 3);
        QCOMPARE(m_fixture->data().Q_birthday2()->rowCount(), 3);
        m_editor->postPendingEdit();
        QCOMPARE(storedRows(), threeRows());
    }

    void filterRowNarrowsTheShownRows()
    {
        addThree();
        addEmployee(m_fixture->data(), QStringLiteral("Anna"), QStringLiteral("1991-01-01"),
                    QStringLiteral("2019-01-01"), QStringLiteral("IT"));
        openEditor();
        FilterHeader* header = m_editor->filterHeader();
        QVERIFY(!header->filterField(RosterFilterModel::No)->isEnabled());
        header->filterField(RosterFilterModel::Dept)->setText(QStringLiteral("it"));
        QCOMPARE(shown()->rowCount(), 1);
        QCOMPARE(shown()->index(0, RosterFilterModel::EmpName).data().toString(), QStringLiteral("Anna"));
        QCOMPARE(shown()->index(0, RosterFilterModel::No).data().toInt(), 1);

        header->filterField(RosterFilterModel::Dept)->clear();
        header->filterField(RosterFilterModel::Birthday)->setText(QStringLiteral("-03-"));
        QCOMPARE(shown()->rowCount(), 2);
        QCOMPARE(shown()->index(1, RosterFilterModel::EmpName).data().toString(), QStringLiteral("赵三"));
        QCOMPARE(shown()->index(1, RosterFilterModel::No).data().toInt(), 2);
        // The filter only hides rows: the roster keeps them all.
        QCOMPARE(m_fixture->data().Q_birthday2()->rowCount(), 4);
        // The fields sit under the titles.
        QVERIFY(header->filterField(RosterFilterModel::Birthday)->geometry().top() >= header->sectionSize(0) / 2);
    }

    // At scale: a filter change is one layout change (no row by row removals, no renumbering storm),
    // shows exactly the matching rows numbered from 1, and the grid stays on its record when it is
    // still shown.
    void filterAtScale()
    {
        QSqlDatabase db = m_fixture->data().database();
        QSqlQuery(db).exec(QStringLiteral("BEGIN"));
        QSqlQuery insert(db);
        insert.prepare(
            QStringLiteral("INSERT INTO birthday (emp_name, birthday, dept, remark1, indate) VALUES (?, ?, ?, '', ?)"));
        const int people = 20000;
        for (int i = 0; i < people; ++i) {
            insert.addBindValue(QStringLiteral("员工%1").arg(i));
            insert.addBindValue(QDate(1970 + i % 35, 1, 1).addDays(i % 365).toString(Qt::ISODate));
            insert.addBindValue(QStringLiteral("部门%1").arg(i % 40));
            insert.addBindValue(QDate(2000, 1, 1).addDays(i).toString(Qt::ISODate));
            QVERIFY(insert.exec());
        }
        QSqlQuery(db).exec(QStringLiteral("COMMIT"));
        m_editor.reset();
        m_fixture->data().Q_birthday2()->select();
        fetchAllRows(*m_fixture->data().Q_birthday2());
        openEditor();
        QCOMPARE(shown()->rowCount(), people);
        grid()->setCurrentIndex(shown()->index(people - 1, RosterFilterModel::EmpName)); // 员工19999, 部门39

        QSignalSpy layouts(shown(), &QAbstractItemModel::layoutChanged);
        QSignalSpy removed(shown(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy inserted(shown(), &QAbstractItemModel::rowsInserted);
        QSignalSpy changed(shown(), &QAbstractItemModel::dataChanged);
        FilterHeader* header = m_editor->filterHeader();
        header->filterField(RosterFilterModel::Dept)->setText(QStringLiteral("部门3"));
        header->filterField(RosterFilterModel::Dept)->setText(QStringLiteral("部门39"));
        QCOMPARE(layouts.size(), 2);
        QCOMPARE(removed.size() + inserted.size() + changed.size(), 0);
        QCOMPARE(shown()->rowCount(), people / 40);
        for (int row = 0; row < shown()->rowCount(); row += 97) {
            QCOMPARE(shown()->index(row, RosterFilterModel::No).data().toInt(), row + 1);
            QCOMPARE(shown()->index(row, RosterFilterModel::Dept).data().toString(), QStringLiteral("部门39"));
        }
        QCOMPARE(grid()->currentIndex().siblingAtColumn(RosterFilterModel::EmpName).data().toString(),
                 QStringLiteral("员工19999"));
        QCOMPARE(grid()->currentIndex().row(), people / 40 - 1);
        // Two filters at once, then none.
        header->filterField(RosterFilterModel::EmpName)->setText(QStringLiteral("员工1999"));
        QCOMPARE(shown()->rowCount(), 2); // of 员工1999 and 员工19990..19999, two are in 部门39
        header->filterField(RosterFilterModel::EmpName)->clear();
        header->filterField(RosterFilterModel::Dept)->clear();
        QCOMPARE(shown()->rowCount(), people);
        QCOMPARE(shown()->index(people - 1, RosterFilterModel::No).data().toInt(), people);
    }

    void exportHandsOverTheGrid()
    {
        openEditor();
        QSignalSpy requested(m_editor.get(), &Tfbirthday::exportRequested);
        m_editor->Excel1Click();
        QCOMPARE(requested.size(), 1);
        QCOMPARE(requested.first().first().value<QAbstractItemView*>(), static_cast<QAbstractItemView*>(grid()));
    }

private:
    Tfbirthday* editor()
    {
        if (!m_editor) {
            m_editor = std::make_unique<Tfbirthday>(m_fixture->data().Q_birthday2(), m_fixture->services());
        }
        return m_editor.get();
    }

    void openEditor()
    {
        editor()->show();
        m_editor->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_editor.get()));
        setUnchanged();
    }

    void setUnchanged()
    {
        // editRoster() clears the flag as the editor opens; shown without exec() the tests clear it so.
        QTimer::singleShot(0, m_editor.get(), [this] { m_editor->reject(); });
        const bool wasVisible = m_editor->isVisible();
        m_editor->editRoster();
        if (wasVisible) {
            m_editor->show();
            m_editor->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(m_editor.get()));
        }
        // editRoster() reported what happened while it was open; from here on nothing has.
        QVERIFY(!m_editor->DataChanged());
    }

    void addThree()
    {
        addEmployee(m_fixture->data(), QStringLiteral("王一"), QStringLiteral("1990-03-05"),
                    QStringLiteral("2010-01-02"), QStringLiteral("财务部"));
        addEmployee(m_fixture->data(), QStringLiteral("李二"), QStringLiteral("1985-07-20"),
                    QStringLiteral("2015-05-05"), QStringLiteral("生产部"));
        addEmployee(m_fixture->data(), QStringLiteral("赵三"), QStringLiteral("2000-03-06"),
                    QStringLiteral("2023-09-01"));
    }

    static QStringList threeRows()
    {
        return { QStringLiteral("王一|1990-03-05|2010-01-02"), QStringLiteral("李二|1985-07-20|2015-05-05"),
                 QStringLiteral("赵三|2000-03-06|2023-09-01") };
    }

    QStringList storedRows(const QString& column = QString())
    {
        QSqlQuery query(m_fixture->data().database());
        const QString columns
            = column.isEmpty() ? QStringLiteral("emp_name, birthday, indate") : QStringLiteral("emp_name, ") + column;
        if (!query.exec(QStringLiteral("select ") + columns + QStringLiteral(" from birthday order by id"))) {
            return { QStringLiteral("query failed") };
        }
        QStringList rows;
        while (query.next()) {
            QStringList values;
            for (int i = 0; i < query.record().count(); ++i) {
                values << query.value(i).toString();
            }
            rows << values.join(QLatin1Char('|'));
        }
        return rows;
    }

    QStringList shownNames()
    {
        QStringList names;
        for (int row = 0; row < shown()->rowCount(); ++row) {
            names << shown()->index(row, RosterFilterModel::EmpName).data().toString();
        }
        return names;
    }

    Ui::Tfbirthday* ui() { return m_editor->form(); }
    QTableView* grid() { return m_editor->form()->DBGridEh1; }
    RosterFilterModel* shown() { return m_editor->shownRoster(); }

    std::unique_ptr<DataFixture> m_fixture;
    std::unique_ptr<Tfbirthday> m_editor;
};

QTEST_MAIN(TestRosterEditor)
#include "test_rostereditor.moc"
