// The tab 节假日: marking days, importing a holiday calendar after its preview, the two settings.
#include "calendar/calendarsettings.h"
#include "calendar/holidaytab.h"
#include "calendar/yearview.h"
#include "common/inifile.h"
#include "data/tdm.h"
#include "datafixture.h"
#include "ui_holidaytab.h"

#include <QSqlQuery>
#include <QTest>

namespace {

QStringList stored(const QSqlDatabase& db)
{
    QStringList rows;
    QSqlQuery query(db);
    query.exec(QStringLiteral("SELECT day, kind, name FROM holiday ORDER BY day"));
    while (query.next()) {
        rows << QStringLiteral("%1 %2 %3")
                    .arg(query.value(0).toString(), query.value(1).toString(), query.value(2).toString());
    }
    return rows;
}

const QByteArray GuoQing = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n"
                           "BEGIN:VEVENT\r\nUID:a\r\nDTSTART;VALUE=DATE:20261001\r\nDTEND;VALUE=DATE:20261004\r\n"
                           "SUMMARY:国庆节 休\r\nEND:VEVENT\r\n"
                           "BEGIN:VEVENT\r\nUID:b\r\nDTSTART;VALUE=DATE:20261011\r\nSUMMARY:国庆补班\r\nEND:VEVENT\r\n"
                           "BEGIN:VEVENT\r\nUID:c\r\nSUMMARY:假期\r\nEND:VEVENT\r\n"
                           "END:VCALENDAR\r\n";

} // namespace

class TestHolidayTab : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<DataFixture>(QDateTime(QDate(2026, 9, 1), QTime(9, 0)));
        m_changes = 0;
        m_tab = std::make_unique<HolidayTab>(
            m_fixture->data().database(), [this] { ++m_changes; }, m_fixture->clock, m_fixture->dialogs);
        m_tab->FormShow();
    }
    void cleanup()
    {
        m_tab.reset();
        m_fixture.reset();
    }

    void showsTheCurrentYear()
    {
        QCOMPARE(m_tab->form()->spe_year->value(), 2026);
        QCOMPARE(m_tab->form()->yearView->year(), 2026);
        QCOMPARE(m_tab->form()->grid_days->rowCount(), 0);
        QVERIFY(!m_tab->form()->btn_dayoff->isEnabled());
    }

    void markAndClearAWeek()
    {
        Ui::HolidayTab* ui = m_tab->form();
        ui->yearView->setSelection(QDate(2026, 10, 1), QDate(2026, 10, 7));
        QCOMPARE(ui->lbl_selection->text(), QStringLiteral("2026-10-01 至 2026-10-07（7 天）"));
        ui->edt_name->setText(QStringLiteral("国庆节"));
        ui->btn_dayoff->click();
        QCOMPARE(stored(m_fixture->data().database()).size(), 7);
        QCOMPARE(stored(m_fixture->data().database()).first(), QStringLiteral("2026-10-01 休 国庆节"));
        QCOMPARE(ui->grid_days->rowCount(), 7);
        QCOMPARE(m_changes, 1);

        // A working Sunday, then a mark changed to the other kind.
        ui->yearView->setSelection(QDate(2026, 10, 11), QDate(2026, 10, 11));
        ui->edt_name->setText(QStringLiteral("国庆补班"));
        ui->btn_workday->click();
        ui->yearView->setSelection(QDate(2026, 10, 7), QDate(2026, 10, 7));
        ui->btn_workday->click();
        QCOMPARE(stored(m_fixture->data().database()).at(6), QStringLiteral("2026-10-07 班 国庆补班"));

        ui->yearView->setSelection(QDate(2026, 10, 5), QDate(2026, 10, 11));
        ui->btn_clear->click();
        QCOMPARE(stored(m_fixture->data().database()),
                 (QStringList { "2026-10-01 休 国庆节", "2026-10-02 休 国庆节", "2026-10-03 休 国庆节",
                                "2026-10-04 休 国庆节" }));
        QCOMPARE(m_changes, 4);
    }

    void clickAndShiftClickSelectDays()
    {
        YearView* view = m_tab->form()->yearView;
        view->resize(view->sizeHint());
        const QDate first(2026, 2, 15);
        const QDate last(2026, 2, 23);
        QCOMPARE(view->dayAt(view->dayRect(first).center()), first);
        QTest::mouseClick(view, Qt::LeftButton, {}, view->dayRect(first).center());
        QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, view->dayRect(last).center());
        QCOMPARE(view->selectedDays().size(), 9);
        QCOMPARE(view->selectionFirst(), first);
        QCOMPARE(view->selectionLast(), last);
        // Between the months there is no day.
        QVERIFY(!view->dayAt(QPoint(view->width() - 1, view->height() - 1)).isValid());
    }

    void importAfterItsPreview()
    {
        m_fixture->folder.write(QStringLiteral("guoqing.ics"), GuoQing);
        m_fixture->dialogs.answerNextChooser(m_fixture->folder.file(QStringLiteral("guoqing.ics")));
        m_tab->form()->btn_import->click();
        QVERIFY(m_tab->pendingImport());
        QCOMPARE(m_tab->pendingImport()->added(), 4);
        QVERIFY(m_tab->form()->box_preview->isEnabled());
        QCOMPARE(m_tab->form()->grid_preview->rowCount(), 4);
        QCOMPARE(m_tab->form()->grid_preview->item(0, 2)->text(), QStringLiteral("休 国庆节"));
        QCOMPARE(m_tab->form()->grid_preview->item(3, 2)->text(), QStringLiteral("班 国庆补班"));
        QCOMPARE(m_tab->form()->grid_preview->item(3, 3)->text(), QStringLiteral("（无）"));
        const QString preview = m_tab->form()->lbl_preview->text();
        QVERIFY2(preview.contains(QStringLiteral("新增 4 天")) && preview.contains(QStringLiteral("没有开始日期")),
                 qPrintable(preview));
        // Nothing is written before the user saves.
        QVERIFY(stored(m_fixture->data().database()).isEmpty());
        QCOMPARE(m_changes, 0);

        m_tab->form()->btn_applyImport->click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { "导入完成：新增 4 天，更改 0 天，未变 0 天。" });
        QCOMPARE(stored(m_fixture->data().database()),
                 (QStringList { "2026-10-01 休 国庆节", "2026-10-02 休 国庆节", "2026-10-03 休 国庆节",
                                "2026-10-11 班 国庆补班" }));
        QVERIFY(!m_tab->pendingImport());
        QVERIFY(!m_tab->form()->box_preview->isEnabled());
        QCOMPARE(m_changes, 1);

        // The same file again changes nothing and says so.
        m_tab->previewImport(m_fixture->folder.file(QStringLiteral("guoqing.ics")));
        QVERIFY(!m_tab->pendingImport());
        QVERIFY(m_fixture->dialogs.takeTexts().first().contains(QStringLiteral("已全部标好")));
    }

    void cancelledImportWritesNothing()
    {
        m_fixture->folder.write(QStringLiteral("guoqing.ics"), GuoQing);
        m_tab->previewImport(m_fixture->folder.file(QStringLiteral("guoqing.ics")));
        QVERIFY(m_tab->pendingImport());
        m_tab->form()->btn_cancelImport->click();
        QVERIFY(!m_tab->pendingImport());
        QVERIFY(stored(m_fixture->data().database()).isEmpty());
        QCOMPARE(m_changes, 0);
    }

    void badFilesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("not iCalendar") << QByteArray("姓名,生日\n张三,1990-01-01\n") << "不是 iCalendar";
        QTest::newRow("both kinds on one day") << QByteArray(
            "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20261001\r\nSUMMARY:休\r\nEND:VEVENT\r\n"
            "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20261001\r\nSUMMARY:班\r\nEND:VEVENT\r\n"
            "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20261002\r\nSUMMARY:休\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")
                                               << "2026-10-01";
        QTest::newRow("nothing marked") << QByteArray(
            "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART;VALUE=DATE:20260215\r\nSUMMARY:元宵\r\nEND:VEVENT\r\n"
            "END:VCALENDAR\r\n") << "没有标为休、假或班";
    }

    void badFilesAreRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        m_fixture->folder.write(QStringLiteral("bad.ics"), bytes);
        m_tab->previewImport(m_fixture->folder.file(QStringLiteral("bad.ics")));
        const QStringList boxes = m_fixture->dialogs.takeTexts();
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes.first().contains(message), qPrintable(boxes.first()));
        QVERIFY(!m_tab->pendingImport());
        QVERIFY(stored(m_fixture->data().database()).isEmpty());
    }

    void saveTheSettings()
    {
        Ui::HolidayTab* ui = m_tab->form();
        QVERIFY(ui->rad_feb28->isChecked());
        QVERIFY(!ui->chk_telltime->isChecked());
        ui->rad_mar1->setChecked(true);
        ui->chk_telltime->setChecked(true);
        ui->btn_save->click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { "保存成功!" });
        QCOMPARE(m_changes, 1);
        const IniFile ini(IniFile::defaultPath());
        QCOMPARE(ini.readString(QStringLiteral("Calendar"), QStringLiteral("LeapDay"), QString()),
                 QStringLiteral("03-01"));
        QVERIFY(ini.readBool(QStringLiteral("Calendar"), QStringLiteral("TelltimeOnDaysOff"), false));
        // The tab saves only its own keys.
        QVERIFY(!ini.hasKey(QStringLiteral("Calendar"), QStringLiteral("CatchUp")));
        // Shown again, it shows the file.
        ui->rad_feb28->setChecked(true);
        m_tab->FormShow();
        QVERIFY(ui->rad_mar1->isChecked());
    }

private:
    std::unique_ptr<DataFixture> m_fixture;
    std::unique_ptr<HolidayTab> m_tab;
    int m_changes = 0;
};

QTEST_MAIN(TestHolidayTab)
#include "test_holidaytab.moc"
