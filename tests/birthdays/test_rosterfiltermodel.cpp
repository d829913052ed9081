#include "birthdays/rosterfiltermodel.h"
#include "common/modelrows.h"
#include "data/tdm.h"
#include "datafixture.h"

#include <QSignalSpy>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTest>

#include <memory>

// The roster as the grid shows it, sorted and filtered, on the real roster table.
class TestRosterFilterModel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<DataFixture>(QDateTime(QDate(2024, 3, 5), QTime(8, 0)));
        m_shown = std::make_unique<RosterFilterModel>();
    }

    void cleanup()
    {
        m_shown.reset();
        m_fixture.reset();
    }

    void sortByColumn_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("descending");
        QTest::addColumn<QStringList>("names");

        // Han by pinyin, then Latin (the Chinese collation's order), numbers by value, case aside; no
        // name last whichever way.
        QTest::newRow("name up") << int(RosterFilterModel::EmpName) << false
                                 << QStringList { "阿强", "白云", "陈明", "员工2",  "员工10", "张伟",
                                                  "赵三", "Anna", "bob",  "(null)", "" };
        QTest::newRow("name down") << int(RosterFilterModel::EmpName) << true
                                   << QStringList { "bob",  "Anna", "赵三", "张伟",   "员工10", "员工2",
                                                    "陈明", "白云", "阿强", "(null)", "" };
        // Equal birthdays keep the table's order in either direction; no birthday comes last.
        QTest::newRow("birthday up") << int(RosterFilterModel::Birthday) << false
                                     << QStringList { "员工10", "Anna", "赵三", "bob",  "(null)", "员工2",
                                                      "张伟",   "",     "阿强", "白云", "陈明" };
        QTest::newRow("birthday down") << int(RosterFilterModel::Birthday) << true
                                       << QStringList { "",     "员工2",  "张伟", "(null)", "bob", "Anna",
                                                        "赵三", "员工10", "阿强", "白云",   "陈明" };
        QTest::newRow("joined up") << int(RosterFilterModel::Indate) << false
                                   << QStringList { "员工2", "Anna", "员工10", "赵三",   "张伟", "阿强",
                                                    "白云",  "陈明", "bob",    "(null)", "" };
        QTest::newRow("department down") << int(RosterFilterModel::Dept) << true
                                         << QStringList { "员工2",  "员工10", "bob", "张伟", "赵三", "阿强",
                                                          "(null)", "Anna",   "",    "白云", "陈明" };
        QTest::newRow("lunar up") << int(RosterFilterModel::Lunar) << false
                                  << QStringList { "(null)", "员工2", "赵三", "张伟",   "白云", "陈明",
                                                   "bob",    "",      "Anna", "员工10", "阿强" };
    }

    void sortByColumn()
    {
        QFETCH(int, column);
        QFETCH(bool, descending);
        QFETCH(QStringList, names);
        addPeople();
        QSignalSpy layouts(m_shown.get(), &QAbstractItemModel::layoutChanged);
        QSignalSpy changed(m_shown.get(), &QAbstractItemModel::dataChanged);
        QSignalSpy moved(m_shown.get(), &QAbstractItemModel::rowsMoved);

        m_shown->sort(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);

        QCOMPARE(shownNames(), names);
        QCOMPARE(layouts.size(), 1);
        QCOMPARE(changed.size() + moved.size(), 0);
        QCOMPARE(m_shown->index(0, RosterFilterModel::No).data().toInt(), 1);
        QCOMPARE(m_shown->index(10, RosterFilterModel::No).data().toInt(), 11);
    }

    // The sort's values are the table's as it is now: a person added, renamed or removed since the last
    // sort is placed by the new value, never by a value remembered from before.
    void sortFollowsTheTable()
    {
        addPeople();
        m_shown->sort(RosterFilterModel::EmpName);
        QCOMPARE(shownNames().first(), QStringLiteral("阿强"));

        addPerson(QStringLiteral("艾米"), QStringLiteral("1990-01-01"), QStringLiteral("2020-01-01"), QString(), 0);
        roster()->select();
        fetchAllRows(*roster());
        QCOMPARE(shownNames().mid(0, 3), (QStringList { "阿强", "艾米", "白云" }));

        // Anna becomes 周一: after a change the rows stay put until the order is asked for again.
        const int anna = sourceRowOf(QStringLiteral("Anna"));
        QVERIFY(roster()->setData(roster()->index(anna, roster()->fieldIndex(QStringLiteral("emp_name"))),
                                  QStringLiteral("周一")));
        QCOMPARE(shownNames().at(8), QStringLiteral("周一"));
        m_shown->sort(RosterFilterModel::EmpName);
        QCOMPARE(shownNames().mid(7, 3), (QStringList { "赵三", "周一", "bob" }));

        QVERIFY(roster()->submitAll());
        fetchAllRows(*roster());
        QVERIFY(roster()->removeRows(sourceRowOf(QStringLiteral("阿强")), 1));
        roster()->select();
        fetchAllRows(*roster());
        m_shown->sort(RosterFilterModel::EmpName, Qt::DescendingOrder);
        QCOMPARE(
            shownNames(),
            (QStringList { "bob", "周一", "赵三", "张伟", "员工10", "员工2", "陈明", "白云", "艾米", "(null)", "" }));
    }

    // The kept order (after a deletion) is the order shown when it was kept, the column's sort
    // included, and stays through the table's next reading; then back to the table's order.
    void keptOrderSortsTheNumberColumn()
    {
        addPeople();
        m_shown->sort(RosterFilterModel::Birthday, Qt::DescendingOrder);
        const QStringList shown = shownNames();
        m_shown->keepShownOrder();
        QCOMPARE(m_shown->sortColumn(), int(RosterFilterModel::No));
        roster()->select();
        fetchAllRows(*roster());
        QCOMPARE(shownNames(), shown);
        m_shown->forgetShownOrder();
        QCOMPARE(shownNames(), tableNames());
    }

    // At scale a filter leaves exactly the matching rows, still in the sorted order, numbered from 1.
    void filterKeepsTheSortAtScale()
    {
        QSqlDatabase db = m_fixture->data().database();
        QSqlQuery(db).exec(QStringLiteral("BEGIN"));
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO birthday (emp_name, birthday, dept, indate) VALUES (?, ?, ?, ?)"));
        const int people = 20000;
        for (int i = 0; i < people; ++i) {
            insert.addBindValue(QStringLiteral("员工%1").arg(i));
            // Every 13th without a birthday.
            insert.addBindValue(i % 13 == 0 ? QVariant(QMetaType::fromType<QString>())
                                            : QVariant(QDate(1960, 1, 1).addDays(i * 7 % 15000).toString(Qt::ISODate)));
            insert.addBindValue(QStringLiteral("部门%1").arg(i % 10));
            insert.addBindValue(QStringLiteral("2000-01-01"));
            QVERIFY(insert.exec());
        }
        QSqlQuery(db).exec(QStringLiteral("COMMIT"));
        m_shown->setSourceModel(roster());
        roster()->select();
        fetchAllRows(*roster());
        QCOMPARE(m_shown->rowCount(), people);

        m_shown->sort(RosterFilterModel::Birthday, Qt::DescendingOrder);
        m_shown->setColumnFilter(RosterFilterModel::Dept, QStringLiteral("部门3"));
        QCOMPARE(m_shown->rowCount(), people / 10);
        QString previous = QStringLiteral("9999-12-31");
        int withoutBirthday = 0;
        for (int row = 0; row < m_shown->rowCount(); ++row) {
            QCOMPARE(m_shown->index(row, RosterFilterModel::No).data().toInt(), row + 1);
            QCOMPARE(m_shown->index(row, RosterFilterModel::Dept).data().toString(), QStringLiteral("部门3"));
            const QString birthday = m_shown->index(row, RosterFilterModel::Birthday).data().toString();
            if (birthday.isEmpty()) {
                ++withoutBirthday;
                continue;
            }
            QCOMPARE(withoutBirthday, 0); // none with a birthday after one without
            QVERIFY2(birthday <= previous, qPrintable(birthday + QStringLiteral(" after ") + previous));
            previous = birthday;
        }
        // i ends in 3 and i is a multiple of 13: i = 13 * (10k + 1), k >= 0.
        int expected = 0;
        for (int i = 0; i < people; ++i) {
            expected += i % 10 == 3 && i % 13 == 0 ? 1 : 0;
        }
        QCOMPARE(withoutBirthday, expected);

        m_shown->setColumnFilter(RosterFilterModel::Dept, QString());
        QCOMPARE(m_shown->rowCount(), people);
        QCOMPARE(m_shown->index(people - 1, RosterFilterModel::No).data().toInt(), people);
        QVERIFY(m_shown->index(people - 1, RosterFilterModel::Birthday).data().toString().isEmpty());
    }

private:
    QSqlTableModel* roster() { return m_fixture->data().Q_birthday2(); }

    void addPerson(const QVariant& name, const QVariant& birthday, const QVariant& indate, const QVariant& dept,
                   int lunar)
    {
        QSqlQuery insert(m_fixture->data().database());
        insert.prepare(
            QStringLiteral("INSERT INTO birthday (emp_name, birthday, indate, dept, lunar) VALUES (?, ?, ?, ?, ?)"));
        for (const QVariant& value : { name, birthday, indate, dept, QVariant(lunar) }) {
            insert.addBindValue(value);
        }
        QVERIFY(insert.exec());
    }

    // Eleven people; the table reads them by joining date, those without one first: (null), "", 员工2,
    // Anna, 员工10, 赵三, 张伟, 阿强, 白云, 陈明, bob. "(null)" has a name that is NULL.
    void addPeople()
    {
        const QVariant none(QMetaType::fromType<QString>());
        addPerson("张伟", "1990-05-01", "2012-03-01", "生产部", 0);
        addPerson("Anna", "1985-07-20", "2001-01-01", "财务部", 1);
        addPerson("员工2", "1990-05-01", "2000-06-30", "质检部", 0);
        addPerson("赵三", "1985-07-20", "2010-01-01", "技术部", 0);
        addPerson(none, "1988-01-01", none, "后勤", 0);
        addPerson("员工10", "1970-01-01", "2005-04-04", "销售部", 1);
        addPerson("bob", "1987-12-31", "2023-09-01", "销售部", 0);
        addPerson("", "2000-02-29", none, "", 1);
        addPerson("陈明", none, "2022-01-01", none, 0);
        addPerson("白云", none, "2021-01-01", none, 0);
        addPerson("阿强", none, "2020-01-01", "技术部", 1);
        roster()->select();
        fetchAllRows(*roster());
        m_shown->setSourceModel(roster());
        QCOMPARE(m_shown->rowCount(), 11);
    }

    QString nameAt(const QModelIndex& cell) const
    {
        return cell.data(Qt::EditRole).isNull() ? QStringLiteral("(null)") : cell.data(Qt::EditRole).toString();
    }

    QStringList shownNames() const
    {
        QStringList names;
        for (int row = 0; row < m_shown->rowCount(); ++row) {
            names << nameAt(m_shown->index(row, RosterFilterModel::EmpName));
        }
        return names;
    }

    QStringList tableNames()
    {
        QStringList names;
        const int column = roster()->fieldIndex(QStringLiteral("emp_name"));
        for (int row = 0; row < roster()->rowCount(); ++row) {
            names << nameAt(roster()->index(row, column));
        }
        return names;
    }

    int sourceRowOf(const QString& name) { return int(tableNames().indexOf(name)); }

    std::unique_ptr<DataFixture> m_fixture;
    std::unique_ptr<RosterFilterModel> m_shown;
};

QTEST_MAIN(TestRosterFilterModel)
#include "test_rosterfiltermodel.moc"
