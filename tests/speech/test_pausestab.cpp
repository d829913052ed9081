#include "data/tdm.h"
#include "datafixture.h"
#include "recordingvoice.h"
#include "shell/station.h"
#include "shell/tf_speaker.h"
#include "shell/tfdelaytime.h"
#include "speech/pausestab.h"
#include "speech/tfaddbiaodian.h"
#include "ui_pausestab.h"
#include "ui_tfaddbiaodian.h"

#include <QHeaderView>
#include <QMenu>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTabWidget>
#include <QTest>

class TestPausesTab : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<StationFixture>(QDateTime(QDate(2024, 3, 5), QTime(8, 0)));
        m_voice = std::make_unique<RecordingVoice>();
        Services services;
        services.voice = m_voice.get();
        m_fixture->start(services);
        const QTabWidget* pages = m_fixture->station->settingsWindow()->pages();
        for (int i = 0; i < pages->count(); ++i) {
            if (pages->tabText(i) == QStringLiteral("停顿及延时设置")) {
                m_tab = qobject_cast<PausesTab*>(pages->widget(i));
            }
        }
        QVERIFY(m_tab);
    }

    void cleanup()
    {
        m_tab = nullptr;
        m_fixture.reset();
    }

    void startUpLoadsTheShippedSymbols()
    {
        const PauseTablePtr table = m_fixture->main()->pauseSymbols().current();
        QVERIFY(table->isPauseSymbol(U'，'));
        QVERIFY(table->pauseFor(U'。') > 0);
        QCOMPARE(m_fixture->main()->markdelay(), 800);
    }

    void gridShowsFourColumns()
    {
        const QTableView* grid = m_tab->form()->DBGridEh2;
        QCOMPARE(grid->toolTip(), QStringLiteral("点右键操作"));
        const QHeaderView* header = grid->horizontalHeader();
        const QStringList titles
            = { QStringLiteral("名称"), QStringLiteral("符号"), QStringLiteral("延时毫秒"), QStringLiteral("停顿") };
        const int widths[] = { 91, 30, 56, 33 };
        QStringList shown;
        for (int visual = 0; visual < header->count(); ++visual) {
            const int logical = header->logicalIndex(visual);
            if (!header->isSectionHidden(logical)) {
                QCOMPARE(header->sectionSize(logical), widths[shown.size()]);
                shown.append(grid->model()->headerData(logical, Qt::Horizontal).toString());
            }
        }
        QCOMPARE(shown, titles);

        // The symbol is read-only; "停顿" is a check box.
        const int descript = model()->fieldIndex(QStringLiteral("descript"));
        const int candelete = model()->fieldIndex(QStringLiteral("candelete"));
        QVERIFY(!(grid->model()->flags(grid->model()->index(0, descript)) & Qt::ItemIsEditable));
        QCOMPARE(grid->model()->data(grid->model()->index(0, candelete), Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QVERIFY(grid->model()->setData(grid->model()->index(0, candelete), Qt::Unchecked, Qt::CheckStateRole));
        QCOMPARE(model()->data(model()->index(0, candelete)).toInt(), 0);

        const QList<QAction*> actions = m_tab->contextMenu()->actions();
        QCOMPARE(actions.size(), 2);
        QCOMPARE(actions.at(0)->text(), QStringLiteral("&A.新增"));
        QCOMPARE(actions.at(1)->text(), QStringLiteral("&D.删除"));
    }

    void notesAreVerbatim()
    {
        QCOMPARE(
            m_tab->form()->Label_note->text(),
            QStringLiteral("注意：句中出现表格中的符号，便会停顿。可以设置停顿毫秒数。符号\".\"没有在表格中会读\"点\"，"
                           "在表格中则会停顿。可在表格中点右键新增或删除。"));
        QCOMPARE(m_tab->form()->Label_mark->text(), QStringLiteral("\"※\" 符号延时毫秒数  "));
        QCOMPARE(m_tab->form()->Label_marknote->text(),
                 QStringLiteral("注意：句中出现该符号，便会延迟。1毫秒=1/1000秒。 "));
        QCOMPARE(m_tab->form()->S_delay2->minimum(), 1);
        QCOMPARE(m_tab->form()->S_delay2->maximum(), 1000000);
        QCOMPARE(m_tab->form()->BitBtn4->toolTip(), QStringLiteral("保存"));
    }

    void showingLoadsDelay2()
    {
        m_fixture->folder.write(QStringLiteral("setinfo.ini"), "[System]\r\nDelay2=1500\r\n");
        m_fixture->station->settingsWindow()->show();
        QCOMPARE(m_tab->form()->S_delay2->value(), 1500);
        m_fixture->station->settingsWindow()->hide();
        m_fixture->folder.write(QStringLiteral("setinfo.ini"), "[System]\r\n");
        m_fixture->station->settingsWindow()->show();
        QCOMPARE(m_tab->form()->S_delay2->value(), 800);
    }

    void saveStoresDelayAndRepublishesTheSymbols()
    {
        const PauseTablePtr before = m_fixture->main()->pauseSymbols().current();
        const int row = rowOf(QStringLiteral("，"));
        QVERIFY(row >= 0);
        // A grid edit not yet posted counts at the save.
        QVERIFY(model()->setData(model()->index(row, model()->fieldIndex(QStringLiteral("delaytime"))), 1234));
        m_tab->form()->S_delay2->setValue(2500);
        m_tab->BitBtn4Click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("保存成功!") });
        QVERIFY(m_fixture->folder.read(QStringLiteral("setinfo.ini")).contains("Delay2=2500\r\n"));
        QCOMPARE(m_fixture->main()->markdelay(), 2500);
        const PauseTablePtr after = m_fixture->main()->pauseSymbols().current();
        QVERIFY(after != before);
        QCOMPARE(after->pauseFor(U'，'), 1234);
        QVERIFY(before->pauseFor(U'，') != 1234); // a reader's snapshot stays whole
        QSqlQuery check(m_fixture->station->dataModule()->database());
        QVERIFY(check.exec(QStringLiteral("select delaytime from delaytime where descript = '，'")) && check.next());
        QCOMPARE(check.value(0).toInt(), 1234);
    }

    void deleteAsksFirst()
    {
        const int rows = model()->rowCount();
        const int row = rowOf(QStringLiteral("、"));
        m_tab->form()->DBGridEh2->setCurrentIndex(m_tab->form()->DBGridEh2->model()->index(row, 1));
        m_fixture->dialogs.answerNextQuestion(false);
        m_tab->N2Click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("真的要删除这条记录吗?") });
        QCOMPARE(model()->rowCount(), rows);

        m_fixture->dialogs.answerNextQuestion(true);
        m_tab->N2Click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("真的要删除这条记录吗?") });
        QCOMPARE(model()->rowCount(), rows - 1);
        QCOMPARE(rowOf(QStringLiteral("、")), -1);
        QSqlQuery check(m_fixture->station->dataModule()->database());
        QVERIFY(check.exec(QStringLiteral("select count(*) from delaytime where descript = '、'")) && check.next());
        QCOMPARE(check.value(0).toInt(), 0);
    }

    void downOnTheLastRowAddsNothing()
    {
        QTableView* grid = m_tab->form()->DBGridEh2;
        const int rows = model()->rowCount();
        grid->setCurrentIndex(grid->model()->index(rows - 1, 1));
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(model()->rowCount(), rows);
        QCOMPARE(grid->currentIndex().row(), rows - 1);
    }

    void addWindowLooksAsFixed()
    {
        TFaddbiaodian* add = m_fixture->station->addSymbolWindow();
        QVERIFY(add);
        QCOMPARE(add->windowTitle(), QStringLiteral("新增延时符号"));
        QVERIFY(add->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(add->minimumSize(), add->maximumSize());
        QCOMPARE(add->form()->Label_note->text(), QStringLiteral("注意：不能添加单引号，否则会出错。"));
        QCOMPARE(add->form()->BitBtn1->text(), QStringLiteral("新增"));
        QCOMPARE(add->form()->SpinEdit1->value(), 0);
        m_tab->N1Click();
        QVERIFY(add->isVisible());
        add->hide();
    }

    void addRefusesBadSymbols_data()
    {
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << QString() << QStringLiteral("请输入标点符号!");
        QTest::newRow("mark") << QStringLiteral("※") << QStringLiteral("该符号为系统功能符号，不能添加!");
        QTest::newRow("mark inside") << QStringLiteral("a※b") << QStringLiteral("该符号为系统功能符号，不能添加!");
    }

    void addRefusesBadSymbols()
    {
        QFETCH(QString, symbol);
        QFETCH(QString, message);
        const int rows = model()->rowCount();
        TFaddbiaodian* add = m_fixture->station->addSymbolWindow();
        add->form()->Edit1->setText(QStringLiteral("名"));
        add->form()->Edit2->setText(symbol);
        add->BitBtn1Click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { message });
        QCOMPARE(model()->rowCount(), rows);
    }

    void addStoresTheRowAsWritten_data()
    {
        QTest::addColumn<QString>("symbol");
        QTest::newRow("single quote") << QStringLiteral("'");
        QTest::newRow("untrimmed") << QStringLiteral(" ~ ");
        QTest::newRow("several") << QStringLiteral("#@");
    }

    void addStoresTheRowAsWritten()
    {
        QFETCH(QString, symbol);
        const int rows = model()->rowCount();
        TFaddbiaodian* add = m_fixture->station->addSymbolWindow();
        add->show();
        add->form()->Edit1->setText(QStringLiteral("新符号"));
        add->form()->Edit2->setText(symbol);
        add->form()->SpinEdit1->setValue(450);
        add->BitBtn1Click();
        QVERIFY(add->isVisible()); // stays open for the next one
        QCOMPARE(model()->rowCount(), rows + 1);
        QSqlQuery check(m_fixture->station->dataModule()->database());
        QVERIFY(check.prepare(QStringLiteral("select name, delaytime, candelete from delaytime where descript = ?")));
        check.addBindValue(symbol);
        QVERIFY(check.exec() && check.next());
        QCOMPARE(check.value(0).toString(), QStringLiteral("新符号"));
        QCOMPARE(check.value(1).toInt(), 450);
        QCOMPARE(check.value(2).toInt(), 1);

        // It cuts only after the next save.
        const char32_t first = symbol.trimmed().toUcs4().first();
        QVERIFY(!m_fixture->main()->pauseSymbols().current()->isPauseSymbol(first));
        m_tab->BitBtn4Click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("保存成功!") });
        QCOMPARE(m_fixture->main()->pauseSymbols().current()->pauseFor(first), 450);
        add->hide();
    }

    void enterMovesToTheNextField()
    {
        TFaddbiaodian* add = m_fixture->station->addSymbolWindow();
        add->show();
        QVERIFY(QTest::qWaitForWindowActive(add));
        add->form()->Edit1->setFocus();
        QTest::keyClick(add->form()->Edit1, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), add->form()->Edit2);
        QTest::keyClick(add->form()->Edit2, Qt::Key_Enter);
        QCOMPARE(QApplication::focusWidget(), add->form()->SpinEdit1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), add->form()->BitBtn1);
        // Nothing was added on the way.
        QVERIFY(m_fixture->dialogs.takeTexts().isEmpty());
        add->hide();
    }

private:
    QSqlTableModel* model() const { return m_fixture->station->dataModule()->q_delaytime(); }

    int rowOf(const QString& symbol) const
    {
        for (int row = 0; row < model()->rowCount(); ++row) {
            if (model()->data(model()->index(row, model()->fieldIndex(QStringLiteral("descript")))).toString()
                == symbol) {
                return row;
            }
        }
        return -1;
    }

    std::unique_ptr<StationFixture> m_fixture;
    std::unique_ptr<RecordingVoice> m_voice;
    PausesTab* m_tab = nullptr;
};

QTEST_MAIN(TestPausesTab)
#include "test_pausestab.moc"
