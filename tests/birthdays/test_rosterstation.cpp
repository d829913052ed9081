#include "birthdays/birthdaylist.h"
#include "birthdays/rosterfiltermodel.h"
#include "birthdays/tfbirthday.h"
#include "birthdays/tfselectmonth.h"
#include "common/inifile.h"
#include "data/tdm.h"
#include "datafixture.h"
#include "shell/station.h"
#include "shell/tf_speaker.h"
#include "testdatabase.h"
#include "ui_tf_speaker.h"
#include "ui_tfbirthday.h"
#include "ui_tfselectmonth.h"

#include <QMenu>
#include <QTest>
#include <QTimer>

// The roster editor and the month view inside the running station, on a real draft.dat.
class TestRosterStation : public QObject
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

    void windowsAreCreatedAtStartUp()
    {
        m_fixture->start();
        QVERIFY(m_fixture->station->rosterEditor());
        QVERIFY(m_fixture->station->monthView());
        QCOMPARE(m_fixture->station->monthView()->windowTitle(), QStringLiteral("查看月份生日"));
        QCOMPARE(m_fixture->station->rosterEditor()->parentWidget(), static_cast<QWidget*>(m_fixture->main()));
    }

    void addingInTheEditorRebuildsTheList()
    {
        m_fixture->start();
        QCOMPARE(mainUi()->SGrid1->rowCount(), 1);
        mainUi()->Memo1->setPlainText(QStringLiteral("旧的播报"));
        whileEditorOpen([this](Tfbirthday* editor) {
            editor->form()->edt_emp_name->setText(QStringLiteral(" 王一 "));
            editor->form()->Date1->setDate(QDate(2000, 3, 14));
            editor->form()->Date2->setDate(QDate(2020, 1, 1));
            editor->BitBtn1Click();
        });
        m_fixture->main()->sb_editClick();
        QCOMPARE(mainUi()->SGrid1->rowCount(), 1);
        // The list shows the name as stored, the announcement trims it.
        QCOMPARE(mainUi()->SGrid1->item(0, 0)->text(), QStringLiteral(" 王一 "));
        QCOMPARE(mainUi()->SGrid1->item(0, 4)->text(), QStringLiteral("yes"));
        QVERIFY(mainUi()->Memo1->toPlainText().startsWith(QStringLiteral("今天是：示例公司员工，王一")));
    }

    void browsingRebuildsAndIdlingDoesNot()
    {
        {
            TDM module(m_fixture->services());
            QVERIFY(module.DataModuleCreate());
            addEmployee(module, QStringLiteral("甲"), QStringLiteral("1990-01-01"), QStringLiteral("2010-01-01"));
            addEmployee(module, QStringLiteral("乙"), QStringLiteral("1990-02-01"), QStringLiteral("2011-01-01"));
        }
        m_fixture->start();
        // Someone born today arrives behind the list's back; only a rebuild shows them.
        addEmployee(m_fixture->station->dataModule()->database(), QStringLiteral("丙"), QStringLiteral("1990-03-14"),
                    QStringLiteral("2012-01-01"));

        whileEditorOpen([](Tfbirthday*) {});
        m_fixture->main()->sb_editClick();
        QVERIFY(!m_fixture->station->rosterEditor()->DataChanged());
        QVERIFY(!mainUi()->SGrid1->item(0, 0));

        whileEditorOpen([](Tfbirthday* editor) {
            editor->form()->DBGridEh1->setFocus();
            QTest::keyClick(editor->form()->DBGridEh1, Qt::Key_Down);
        });
        m_fixture->main()->sb_editClick();
        QVERIFY(m_fixture->station->rosterEditor()->DataChanged());
        QCOMPARE(mainUi()->SGrid1->item(0, 0)->text(), QStringLiteral("丙"));
    }

    void deletingRebuilds()
    {
        {
            TDM module(m_fixture->services());
            QVERIFY(module.DataModuleCreate());
            addEmployee(module, QStringLiteral("王一"), QStringLiteral("2000-03-14"), QStringLiteral("2010-01-01"));
        }
        m_fixture->start();
        QCOMPARE(mainUi()->SGrid1->item(0, 0)->text(), QStringLiteral("王一"));
        m_fixture->dialogs.answerNextQuestion(true);
        whileEditorOpen([](Tfbirthday* editor) { editor->N1Click(); });
        m_fixture->main()->sb_editClick();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("确信要删除该记录?") });
        QCOMPARE(mainUi()->SGrid1->rowCount(), 1);
        QVERIFY(!mainUi()->SGrid1->item(0, 0));
    }

    void greetingLineBreaksReachTheAnnouncement()
    {
        {
            IniFile ini(m_fixture->folder.file(QStringLiteral("setinfo.ini")));
            ini.writeString(QStringLiteral("Addread3"), QStringLiteral("addtext"), QStringLiteral("第一行\\n第二行，"));
            ini.writeBool(QStringLiteral("System"), QStringLiteral("Read_add3"), true);
            TDM module(m_fixture->services());
            QVERIFY(module.DataModuleCreate());
            addEmployee(module, QStringLiteral("王一"), QStringLiteral("1990-03-14"), QStringLiteral("2010-01-01"));
        }
        m_fixture->start();
        QVERIFY(mainUi()->Memo1->toPlainText().contains(QStringLiteral("王一生日，第一行\n第二行，")));
    }

    void monthViewText_data()
    {
        QTest::addColumn<int>("month");
        QTest::addColumn<QString>("text");
        QTest::newRow("1") << 1 << QStringLiteral("01");
        QTest::newRow("3") << 3 << QStringLiteral("03");
        QTest::newRow("12") << 12 << QStringLiteral("12");
    }

    void monthViewText()
    {
        QFETCH(int, month);
        QFETCH(QString, text);
        QCOMPARE(Tfselectmonth::monthText(month), text);
    }

    void monthViewListsSeveralMonths()
    {
        {
            TDM module(m_fixture->services());
            QVERIFY(module.DataModuleCreate());
            addEmployee(module, QStringLiteral("十二月"), QStringLiteral("1980-12-24"), QStringLiteral("2010-01-01"),
                        QStringLiteral("生产部"));
            addEmployee(module, QStringLiteral("今天"), QStringLiteral("1990-03-14"), QStringLiteral("2010-01-01"));
            addEmployee(module, QStringLiteral("三月"), QStringLiteral("1991-03-02"), QStringLiteral("2010-01-01"));
            addEmployee(module, QStringLiteral("新人"), QStringLiteral("1991-12-02"), QStringLiteral("2024-03-01"));
        }
        m_fixture->start();
        const QString composed = mainUi()->Memo1->toPlainText();
        Tfselectmonth* view = m_fixture->station->monthView();
        QStringList seen;
        QTimer::singleShot(0, view, [&] {
            // Opened in March; the query lists by day of the month.
            seen << QString::number(view->form()->Sedit1->value());
            view->form()->Sedit1->setValue(12);
            view->form()->Button1->click();
            seen << gridNames();
            view->form()->Sedit1->setValue(3);
            view->form()->Button1->click();
            seen << gridNames() << selections();
            view->form()->Sedit1->setValue(6);
            view->form()->Button1->click();
            seen << QString::number(mainUi()->SGrid1->rowCount()) << gridNames();
            seen << (view->isVisible() ? QStringLiteral("open") : QStringLiteral("closed"));
            view->reject();
        });
        // The grid's menu item "查看月份生日(&V)" opens it.
        m_fixture->main()->birthdayList()->popupMenu()->actions().at(1)->trigger();
        QCOMPARE(seen,
                 (QStringList { QStringLiteral("3"), QStringLiteral("十二月"), QStringLiteral("三月,今天"),
                                QStringLiteral("no,yes"), QStringLiteral("1"), QString(), QStringLiteral("open") }));
        QCOMPARE(mainUi()->Memo1->toPlainText(), composed);

        // Shown again in another month, it starts from that month.
        m_fixture->clock.set(QDateTime(QDate(2024, 12, 1), QTime(9, 0)));
        QTimer::singleShot(0, view, [&] {
            seen = { QString::number(view->form()->Sedit1->value()) };
            view->reject();
        });
        view->exec();
        QCOMPARE(seen, QStringList { QStringLiteral("12") });
    }

private:
    Ui::Tf_speaker* mainUi() { return m_fixture->form(); }

    void whileEditorOpen(const std::function<void(Tfbirthday*)>& steps)
    {
        Tfbirthday* editor = m_fixture->station->rosterEditor();
        QTimer::singleShot(0, editor, [editor, steps] {
            steps(editor);
            editor->reject();
        });
    }

    QString gridNames() const
    {
        QStringList names;
        for (int row = 0; row < m_fixture->form()->SGrid1->rowCount(); ++row) {
            const QTableWidgetItem* item = m_fixture->form()->SGrid1->item(row, 0);
            names << (item ? item->text() : QString());
        }
        return names.join(QLatin1Char(','));
    }

    QString selections() const
    {
        QStringList values;
        for (int row = 0; row < m_fixture->form()->SGrid1->rowCount(); ++row) {
            values << m_fixture->form()->SGrid1->item(row, 4)->text();
        }
        return values.join(QLatin1Char(','));
    }

    std::unique_ptr<StationFixture> m_fixture;
};

QTEST_MAIN(TestRosterStation)
#include "test_rosterstation.moc"
