#include "data/tdm.h"
#include "datafixture.h"
#include "schedule/telltimetab.h"
#include "ui_telltimetab.h"

#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTableView>
#include <QTest>

class TestTellTimeTab : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_fixture = std::make_unique<DataFixture>(QDateTime(QDate(2024, 3, 4), QTime(8, 0))); }

    void cleanup() { m_fixture.reset(); }

    void gridColumns()
    {
        TellTimeTab tab(m_fixture->data().Q_telltime(), m_fixture->dialogs);
        QTableView* grid = tab.form()->DBGridEh1;
        QHeaderView* header = grid->horizontalHeader();
        const struct
        {
            const char* field;
            QString caption;
            int width;
        } expected[] = { { "id", QStringLiteral("No"), 28 },
                         { "stime", QStringLiteral("时间"), 68 },
                         { "text", QStringLiteral("播放内容"), 250 },
                         { "isplay", QStringLiteral("是否播放"), 60 } };
        const int speaker = m_fixture->data().Q_telltime()->fieldIndex(QStringLiteral("speaker"));
        QVERIFY(grid->isColumnHidden(speaker));
        int visual = 0;
        for (const auto& column : expected) {
            const int logical = m_fixture->data().Q_telltime()->fieldIndex(QLatin1String(column.field));
            QCOMPARE(header->visualIndex(logical), visual++);
            QCOMPARE(grid->model()->headerData(logical, Qt::Horizontal).toString(), column.caption);
            QCOMPARE(grid->columnWidth(logical), column.width);
            const Qt::ItemFlags flags = grid->model()->index(0, logical).flags();
            QVERIFY(!(flags & Qt::ItemIsEditable));
            QCOMPARE(bool(flags & Qt::ItemIsUserCheckable), QByteArray(column.field) == "isplay");
        }
        QCOMPARE(tab.form()->BitBtn5->toolTip(), QStringLiteral("保存"));
    }

    void theListFollowsTheTableOnlyAfterSave()
    {
        TellTimeTab tab(m_fixture->data().Q_telltime(), m_fixture->dialogs);
        QSignalSpy filled(&tab, &TellTimeTab::telltimeFilled);
        QTableView* grid = tab.form()->DBGridEh1;
        const int rows = grid->model()->rowCount();
        QCOMPARE(tab.sgrid3().rowCount(), rows + 1);
        const int isplay = m_fixture->data().Q_telltime()->fieldIndex(QStringLiteral("isplay"));
        const QModelIndex first = grid->model()->index(0, isplay);
        QCOMPARE(tab.sgrid3().rows.at(0).stime, QStringLiteral("00:00:00"));
        QCOMPARE(tab.sgrid3().rows.at(0).isplay, QString());

        grid->setCurrentIndex(first);
        QVERIFY(grid->model()->setData(first, Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(first.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        // Stored in the table at once ...
        QSqlQuery query(m_fixture->data().database());
        QVERIFY(query.exec(QStringLiteral("SELECT isplay FROM telltime WHERE stime = '00:00:00'")) && query.next());
        QCOMPARE(query.value(0).toInt(), 1);
        // ... but the list changes only with the save.
        QCOMPARE(tab.sgrid3().rows.at(0).isplay, QString());
        QCOMPARE(grid->currentIndex().row(), 0);
        tab.form()->BitBtn5->click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList({ QStringLiteral("保存成功!") }));
        QCOMPARE(tab.sgrid3().rows.at(0).isplay, QStringLiteral("√"));
        QCOMPARE(filled.size(), 1);
    }

    void aPendingEditIsPostedBySave()
    {
        m_fixture->data().Q_telltime()->setEditStrategy(QSqlTableModel::OnManualSubmit);
        TellTimeTab tab(m_fixture->data().Q_telltime(), m_fixture->dialogs);
        QTableView* grid = tab.form()->DBGridEh1;
        const int isplay = m_fixture->data().Q_telltime()->fieldIndex(QStringLiteral("isplay"));
        QVERIFY(grid->model()->setData(grid->model()->index(1, isplay), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(m_fixture->data().Q_telltime()->isDirty());
        tab.BitBtn5Click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList({ QStringLiteral("保存成功!") }));
        QVERIFY(!m_fixture->data().Q_telltime()->isDirty());
        QSqlQuery query(m_fixture->data().database());
        QVERIFY(query.exec(QStringLiteral("SELECT isplay FROM telltime WHERE stime = '00:30:00'")) && query.next());
        QCOMPARE(query.value(0).toInt(), 1);
        QCOMPARE(tab.sgrid3().rows.at(1).isplay, QStringLiteral("√"));
    }

    void downOnTheLastRowAddsNothing()
    {
        TellTimeTab tab(m_fixture->data().Q_telltime(), m_fixture->dialogs);
        tab.show();
        QTableView* grid = tab.form()->DBGridEh1;
        const int rows = grid->model()->rowCount();
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(rows - 1, 1));
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(grid->model()->rowCount(), rows);
        QCOMPARE(m_fixture->data().Q_telltime()->rowCount(), rows);
        QCOMPARE(grid->currentIndex().row(), rows - 1);
        QVERIFY(!m_fixture->data().Q_telltime()->isDirty());
    }

    void anEmptyTableGivesAnEmptyList()
    {
        QSqlQuery query(m_fixture->data().database());
        QVERIFY(query.exec(QStringLiteral("DELETE FROM telltime")));
        QVERIFY(m_fixture->data().Q_telltime()->select());
        TellTimeTab tab(m_fixture->data().Q_telltime(), m_fixture->dialogs);
        QCOMPARE(tab.sgrid3().rowCount(), 2);
        QVERIFY(!tab.sgrid3().hasData());
        tab.BitBtn5Click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList({ QStringLiteral("保存成功!") }));
    }

    void aRefusedSaveIsReportedAndKeepsTheEdit()
    {
        m_fixture->data().Q_telltime()->setEditStrategy(QSqlTableModel::OnManualSubmit);
        TellTimeTab tab(m_fixture->data().Q_telltime(), m_fixture->dialogs);
        QTableView* grid = tab.form()->DBGridEh1;
        const int isplay = m_fixture->data().Q_telltime()->fieldIndex(QStringLiteral("isplay"));
        QVERIFY(grid->model()->setData(grid->model()->index(2, isplay), Qt::Checked, Qt::CheckStateRole));
        QSqlQuery query(m_fixture->data().database());
        QVERIFY(query.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON telltime BEGIN "
                                          "SELECT RAISE(ABORT, 'telltime is read-only'); END")));
        tab.form()->BitBtn5->click();
        const QStringList texts = m_fixture->dialogs.takeTexts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts.at(0).contains(QStringLiteral("read-only")), qPrintable(texts.at(0)));
        QVERIFY(m_fixture->data().Q_telltime()->isDirty()); // the change is still there to be saved again
        QCOMPARE(tab.sgrid3().rows.at(2).isplay, QString());
    }

private:
    std::unique_ptr<DataFixture> m_fixture;
};

QTEST_MAIN(TestTellTimeTab)
#include "test_telltimetab.moc"
