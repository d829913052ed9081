#include "birthdays/birthdaylist.h"
#include "common/inifile.h"
#include "data/tdm.h"
#include "datafixture.h"
#include "shell/station.h"
#include "shell/tf_speaker.h"
#include "testdatabase.h"
#include "ui_tf_speaker.h"

#include <QTest>

// The birthday list in the running station, on a real draft.dat.
class TestBirthdayStation : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_fixture = std::make_unique<StationFixture>(QDateTime(QDate(2024, 3, 14), QTime(8, 0))); }

    void cleanup() { m_fixture.reset(); }

    void startUpFillsTheGridAndComposes()
    {
        {
            IniFile ini(m_fixture->folder.file(QStringLiteral("setinfo.ini")));
            ini.writeString(QStringLiteral("System"), QStringLiteral("Company"), QStringLiteral("示例公司"));
            ini.writeBool(QStringLiteral("Addread2"), QStringLiteral("Readage"), true);
            ini.writeString(QStringLiteral("Addread1"), QStringLiteral("addtext"),
                            QStringLiteral("大家多关注下他吧，"));
        }
        {
            TDM roster(m_fixture->services());
            QVERIFY(roster.DataModuleCreate());
            addEmployee(roster, QStringLiteral("王一"), QStringLiteral("2005-03-14"), QStringLiteral("2020-01-01"),
                        QStringLiteral("生产部"));
            addEmployee(roster, QStringLiteral("李二"), QStringLiteral("2001-03-14"), QStringLiteral("2020-01-01"),
                        QStringLiteral("财务部"));
            addEmployee(roster, QStringLiteral("赵三"), QStringLiteral("1990-03-15"), QStringLiteral("2020-01-01"));
            addEmployee(roster, QStringLiteral("新人"), QStringLiteral("1990-03-14"), QStringLiteral("2024-03-01"));
            addEmployee(roster, QStringLiteral("远日"), QStringLiteral("1990-03-20"), QStringLiteral("2020-01-01"));
            addEmployee(roster, QStringLiteral("钱五"), QStringLiteral("1980-04-02"), QStringLiteral("2020-01-01"));
        }
        m_fixture->start();
        const auto* ui = m_fixture->form();
        QCOMPARE(ui->edt_user->text(), QStringLiteral("示例公司"));
        // Days 03-13..03-15; the newcomer joined less than 90 days ago.
        QCOMPARE(ui->SGrid1->rowCount(), 3);
        QStringList rows;
        for (int row = 0; row < ui->SGrid1->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < 6; ++column) {
                cells.append(ui->SGrid1->item(row, column)->text());
            }
            rows.append(cells.join(QLatin1Char('|')));
        }
        QCOMPARE(rows,
                 (QStringList { QStringLiteral("王一|2020-01-01|2005-03-14|生产部|yes|19"),
                                QStringLiteral("李二|2020-01-01|2001-03-14|财务部|yes|23"),
                                QStringLiteral("赵三|2020-01-01|1990-03-15||no|34") }));
        QVERIFY(ui->SGrid1->isColumnHidden(5));
        QCOMPARE(ui->SGrid1->columnWidth(3), 105);
        QCOMPARE(ui->Memo1->toPlainText(),
                 QStringLiteral("今天是：示例公司员工，王一生日，大家多关注下他吧，，李二生日，在这里我们祝他生日快乐，"
                                "感谢你们辛勤付出，公司将为你准备神秘小礼物一件，请赶快来领取吧！下月将有：钱五， "
                                "等同事生日，公司将为他们送上祝福。"));

        // Ticking the group-2 box counts at once, saved or not; the grid's selection is used.
        ui->chk_read2->setChecked(true);
        m_fixture->main()->birthdayList()->SB_writeClick();
        QVERIFY(ui->Memo1->toPlainText().contains(QStringLiteral("李二23岁生日，在这里")));
    }

    void settingsOnlyEnableSave()
    {
        m_fixture->start();
        auto* ui = m_fixture->form();
        const QString before = ui->Memo1->toPlainText();
        m_fixture->main()->sb_saveClick();
        QVERIFY(!ui->sb_save->isEnabled());
        ui->SpinEdit4->setValue(3);
        QVERIFY(ui->sb_save->isEnabled());
        ui->sb_save->setEnabled(false);
        ui->chk_read3->setChecked(!ui->chk_read3->isChecked());
        QVERIFY(ui->sb_save->isEnabled());
        ui->sb_save->setEnabled(false);
        ui->SpinEdit3->setValue(7);
        QVERIFY(ui->sb_save->isEnabled());
        ui->sb_save->setEnabled(false);
        ui->chk_next->setChecked(!ui->chk_next->isChecked());
        QVERIFY(ui->sb_save->isEnabled());
        QCOMPARE(ui->SGrid1->rowCount(), 1);
        QCOMPARE(ui->Memo1->toPlainText(), before);
    }

private:
    std::unique_ptr<StationFixture> m_fixture;
};

QTEST_MAIN(TestBirthdayStation)
#include "test_birthdaystation.moc"
