#include "birthdays/contenttab.h"
#include "common/ansi.h"
#include "common/inifile.h"
#include "datafixture.h"
#include "renamewatch.h"
#include "shell/station.h"
#include "shell/tf_speaker.h"
#include "shell/tfdelaytime.h"
#include "testdatabase.h"
#include "ui_contenttab.h"
#include "ui_tf_speaker.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSqlDatabase>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

class TestContentTab : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<DataFixture>(QDateTime(QDate(2024, 3, 5), QTime(8, 0)), DataFixture::NoDatabase);
        m_user = std::make_unique<QLineEdit>();
        m_mainread = QStringLiteral("unchanged");
        m_tab = std::make_unique<ContentTab>([this](const QString& text) { m_mainread = text; }, m_user.get(),
                                             m_fixture->dialogs);
    }

    void cleanup()
    {
        m_tab.reset();
        m_user.reset();
        m_fixture.reset();
    }

    void defaultsWhenTheFileHasNone()
    {
        m_tab->FormShow();
        // The same fixed text as start-up composes with.
        QCOMPARE(
            ui()->mem_main->toPlainText(),
            QStringLiteral("在这里我们祝他生日快乐，感谢你们辛勤付出，公司将为你准备神秘小礼物一件，请赶快来领取吧！"));
        QCOMPARE(ui()->spe1->value(), 20);
        QCOMPARE(ui()->spe2->value(), 25);
        QCOMPARE(ui()->spe3->value(), 50);
        QCOMPARE(ui()->SpinEdit1->value(), 20);
        QCOMPARE(ui()->SpinEdit2->value(), 25);
        QVERIFY(!ui()->SpinEdit1->isEnabled());
        QVERIFY(!ui()->SpinEdit2->isEnabled());
        for (QCheckBox* box : { ui()->chk_readage1, ui()->chk_readage2, ui()->chk_readage3 }) {
            QVERIFY(!box->isChecked());
        }
        QVERIFY(ui()->Mem_add1->toPlainText().isEmpty());
        QCOMPARE(ui()->spe1->minimum(), 1);
        QCOMPARE(ui()->spe3->maximum(), 100);
        QVERIFY(!m_fixture->folder.exists(QStringLiteral("setinfo.ini")));
    }

    void bounds_data()
    {
        QTest::addColumn<int>("a1");
        QTest::addColumn<int>("a2");
        QTest::addColumn<int>("a3");
        QTest::addColumn<bool>("saved");
        QTest::newRow("20 20 50") << 20 << 20 << 50 << true;
        QTest::newRow("all equal") << 30 << 30 << 30 << true;
        QTest::newRow("30 25 50") << 30 << 25 << 50 << false;
        QTest::newRow("20 25 24") << 20 << 25 << 24 << false;
    }

    void bounds()
    {
        QFETCH(int, a1);
        QFETCH(int, a2);
        QFETCH(int, a3);
        QFETCH(bool, saved);
        const QByteArray before
            = "[Addread1]\r\nAgegroup=18\r\n[Addread2]\r\nAgegroup=28\r\n[Addread3]\r\nAgegroup=60\r\n";
        m_fixture->folder.write(QStringLiteral("setinfo.ini"), before);
        m_tab->FormShow();
        ui()->spe1->setValue(a1);
        ui()->spe2->setValue(a2);
        ui()->spe3->setValue(a3);
        ui()->chk_readage2->setChecked(true);
        RenameWatch watch(m_fixture->folder.path());
        m_tab->BitBtn1Click();
        const IniFile ini(IniFile::defaultPath());
        // Eleven keys in one rewrite, or nothing at all.
        QCOMPARE(watch.renames(QStringLiteral("setinfo.ini")), saved ? 1 : 0);
        if (saved) {
            QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("保存成功!") });
            QCOMPARE(ini.readInteger(QStringLiteral("Addread1"), QStringLiteral("Agegroup"), 0), a1);
            QCOMPARE(ini.readInteger(QStringLiteral("Addread2"), QStringLiteral("Agegroup"), 0), a2);
            QCOMPARE(ini.readInteger(QStringLiteral("Addread3"), QStringLiteral("Agegroup"), 0), a3);
            QVERIFY(ini.readBool(QStringLiteral("Addread2"), QStringLiteral("Readage"), false));
            QVERIFY(!ini.readBool(QStringLiteral("Addread1"), QStringLiteral("Readage"), true));
            QCOMPARE(m_mainread, ui()->mem_main->toPlainText());
        } else {
            QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("年龄段数字范围错误!") });
            QCOMPARE(m_fixture->folder.read(QStringLiteral("setinfo.ini")), before);
            QCOMPARE(m_mainread, QStringLiteral("unchanged"));
        }
    }

    void mirrorsFollowBeforeSaving()
    {
        m_tab->FormShow();
        ui()->spe1->setValue(33);
        QCOMPARE(ui()->SpinEdit1->value(), 33);
        ui()->spe2->setValue(44);
        QCOMPARE(ui()->SpinEdit2->value(), 44);
        ui()->spe3->setValue(45);
        QCOMPARE(ui()->SpinEdit2->value(), 44);
        QVERIFY(!m_fixture->folder.exists(QStringLiteral("setinfo.ini")));
    }

    void showingAgainDiscardsUnsavedEdits()
    {
        m_fixture->folder.write(
            QStringLiteral("setinfo.ini"),
            Ansi::encode(QStringLiteral("[System]\r\nMainread=存的文字\r\n[Addread1]\r\naddtext=祝福\r\n"
                                        "Agegroup=22\r\nReadage=1\r\n")));
        m_tab->FormShow();
        QCOMPARE(ui()->mem_main->toPlainText(), QStringLiteral("存的文字"));
        QCOMPARE(ui()->SpinEdit1->value(), 22);
        ui()->mem_main->setPlainText(QStringLiteral("没保存"));
        ui()->spe1->setValue(5);
        ui()->chk_readage1->setChecked(false);
        ui()->Mem_add1->setPlainText(QStringLiteral("也没保存"));
        m_tab->FormShow();
        QCOMPARE(ui()->mem_main->toPlainText(), QStringLiteral("存的文字"));
        QCOMPARE(ui()->spe1->value(), 22);
        QCOMPARE(ui()->SpinEdit1->value(), 22);
        QVERIFY(ui()->chk_readage1->isChecked());
        QCOMPARE(ui()->Mem_add1->toPlainText(), QStringLiteral("祝福"));
    }

    void mainreadBlanks_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("inMemory");
        QTest::newRow("blanks at both ends") << QStringLiteral("  祝你快乐！ ") << QStringLiteral("祝你快乐！");
        QTest::newRow("tabs and line breaks") << QStringLiteral("\t\n祝你快乐！\n\n") << QStringLiteral("祝你快乐！");
        QTest::newRow("inner blank kept") << QStringLiteral("祝你 快乐") << QStringLiteral("祝你 快乐");
        QTest::newRow("empty") << QString() << QString();
    }

    void mainreadBlanks()
    {
        QFETCH(QString, typed);
        QFETCH(QString, inMemory);
        m_tab->FormShow();
        ui()->mem_main->setPlainText(typed);
        m_tab->BitBtn1Click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("保存成功!") });
        QCOMPARE(m_mainread, inMemory);
        // The file holds the text as typed (its line breaks escaped).
        const QByteArray file = m_fixture->folder.read(QStringLiteral("setinfo.ini"));
        QString stored = typed;
        stored.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        QVERIFY2(file.contains(QByteArray("Mainread=" + Ansi::encode(stored) + "\r\n")), file.constData());
    }

    void lineBreaksComeBack()
    {
        m_tab->FormShow();
        const QString main = QStringLiteral("第一行\n第二行 C:\\temp");
        const QString greeting = QStringLiteral("祝福一\n\n祝福二，");
        ui()->mem_main->setPlainText(main);
        ui()->Mem_add3->setPlainText(greeting);
        m_tab->BitBtn1Click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("保存成功!") });
        QCOMPARE(m_mainread, main);
        const QByteArray file = m_fixture->folder.read(QStringLiteral("setinfo.ini"));
        QCOMPARE(file.count("\r\n"), file.count('\n'));
        QVERIFY(file.contains(Ansi::encode(QStringLiteral("addtext=祝福一\\n\\n祝福二，\r\n"))));
        ui()->mem_main->clear();
        ui()->Mem_add3->clear();
        m_tab->FormShow();
        QCOMPARE(ui()->mem_main->toPlainText(), main);
        QCOMPARE(ui()->Mem_add3->toPlainText(), greeting);
    }

    void longGreetingIsSavedAndTheUserTold()
    {
        m_tab->FormShow();
        const QString greeting = QString(10000, QChar(0x798F)); // 20,000 bytes
        ui()->Mem_add2->setPlainText(greeting);
        m_tab->BitBtn1Click();
        const QStringList texts = m_fixture->dialogs.takeTexts();
        QCOMPARE(texts.size(), 2);
        QVERIFY(texts.at(0).contains(QStringLiteral("第二年龄段祝福语")));
        QVERIFY(!texts.at(0).contains(QStringLiteral("第一年龄段")));
        QCOMPARE(texts.at(1), QStringLiteral("保存成功!"));
        QVERIFY(m_fixture->folder.read(QStringLiteral("setinfo.ini")).contains(Ansi::encode(greeting)));
        m_tab->FormShow();
        QCOMPARE(ui()->Mem_add2->toPlainText(), greeting.left(1023));
    }

    void organisationName()
    {
        m_tab->FormShow();
        ui()->edt_company->setText(QStringLiteral("示例公司"));
        m_tab->BitBtn1Click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("保存成功!") });
        QCOMPARE(m_user->text(), QStringLiteral("示例公司"));
        QCOMPARE(
            IniFile(IniFile::defaultPath()).readString(QStringLiteral("System"), QStringLiteral("Company"), QString()),
            QStringLiteral("示例公司"));
    }

    void stationShowsTheTabFirstAndLoadsOnShow()
    {
        createTestDatabase(m_fixture->folder);
        m_fixture->folder.write(QStringLiteral("setinfo.ini"),
                                Ansi::encode(QStringLiteral("[System]\r\nMainread=  \\n第一\\n第二 \r\nCompany=ACME\r\n"
                                                            "[Addread1]\r\nAgegroup=19\r\n")));
        Station station(m_fixture->services());
        QVERIFY(station.start());
        QCOMPARE(station.mainWindow()->MainreadText(), QStringLiteral("第一\n第二"));
        QCOMPARE(station.mainWindow()->form()->edt_user->text(), QStringLiteral("ACME"));
        TFdelaytime* settings = station.settingsWindow();
        QCOMPARE(settings->pages()->tabText(0), QStringLiteral("播报内容"));
        QCOMPARE(settings->pages()->widget(0), static_cast<QWidget*>(station.contentTab()));
        emit settings->aboutToShow();
        QCOMPARE(station.contentTab()->form()->spe1->value(), 19);
        QCOMPARE(station.contentTab()->form()->edt_company->text(), QStringLiteral("ACME"));
        station.contentTab()->form()->mem_main->setPlainText(QStringLiteral(" 新的固定文字 "));
        station.contentTab()->BitBtn1Click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("保存成功!") });
        QCOMPARE(station.mainWindow()->MainreadText(), QStringLiteral("新的固定文字"));
    }

    // Without Mainread in the file: saving the tab as it was shown changes no announcement.
    void savingTheShownDefaultKeepsTheAnnouncement()
    {
        createTestDatabase(m_fixture->folder);
        addToday(QStringLiteral("张伟"));
        Station station(m_fixture->services());
        QVERIFY(station.start());
        const QString composed = station.mainWindow()->form()->Memo1->toPlainText();
        QVERIFY2(composed.contains(QStringLiteral("张伟生日，在这里我们祝他生日快乐")), qPrintable(composed));

        emit station.settingsWindow()->aboutToShow();
        station.contentTab()->BitBtn1Click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("保存成功!") });
        station.mainWindow()->form()->SB_write->click();
        QCOMPARE(station.mainWindow()->form()->Memo1->toPlainText(), composed);
        QVERIFY(!composed.contains(QStringLiteral("的生日")));
    }

    // A text saved by an earlier version (with the old tab default's "的生日，") is the user's text: it
    // is shown and used as stored, never rewritten.
    void aStoredTextIsNeverRewritten()
    {
        createTestDatabase(m_fixture->folder);
        const QByteArray file = Ansi::encode(QStringLiteral("[System]\r\nMainread=的生日，在这里祝他快乐！\r\n"));
        m_fixture->folder.write(QStringLiteral("setinfo.ini"), file);
        Station station(m_fixture->services());
        QVERIFY(station.start());
        QCOMPARE(station.mainWindow()->MainreadText(), QStringLiteral("的生日，在这里祝他快乐！"));
        emit station.settingsWindow()->aboutToShow();
        QCOMPARE(station.contentTab()->form()->mem_main->toPlainText(), QStringLiteral("的生日，在这里祝他快乐！"));
        QVERIFY(m_fixture->folder.read(QStringLiteral("setinfo.ini"))
                    .contains(Ansi::encode(QStringLiteral("Mainread=的生日，在这里祝他快乐！\r\n"))));
    }

private:
    Ui::ContentTab* ui() { return m_tab->form(); }

    void addToday(const QString& name)
    {
        const QString connection = QStringLiteral("contenttab-seed");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(m_fixture->folder.file(QStringLiteral("draft.dat")));
            QVERIFY(db.open());
            QVERIFY(addEmployee(db, name, QStringLiteral("1990-03-05"), QStringLiteral("2010-01-01")) > 0);
            db.close();
        }
        QSqlDatabase::removeDatabase(connection);
    }

    std::unique_ptr<DataFixture> m_fixture;
    std::unique_ptr<QLineEdit> m_user;
    std::unique_ptr<ContentTab> m_tab;
    QString m_mainread;
};

QTEST_MAIN(TestContentTab)
#include "test_contenttab.moc"
