// The calendar in the running station: a day off keeps the loudspeakers silent, a working Sunday
// broadcasts, a change on the holiday tab or the content tab recomposes today's announcement.
#include "birthdays/contenttab.h"
#include "calendar/holidaytab.h"
#include "calendar/yearview.h"
#include "common/inifile.h"
#include "datafixture.h"
#include "recordingvoice.h"
#include "schedule/chime.h"
#include "schedule/schedulepanel.h"
#include "schedule/timeannouncements.h"
#include "shell/station.h"
#include "shell/tf_speaker.h"
#include "shell/tfdelaytime.h"
#include "speech/readingcontroller.h"
#include "testdatabase.h"
#include "ui_contenttab.h"
#include "ui_holidaytab.h"
#include "ui_tf_speaker.h"

#include <QSqlQuery>
#include <QTabWidget>
#include <QTest>

namespace {

const QDate Sunday(2024, 3, 3);
const QDate Monday(2024, 3, 4);

class CountingChime final : public ChimePlayer
{
public:
    void play() override { ++count; }
    int count = 0;
};

} // namespace

class TestCalendarStation : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_fixture = std::make_unique<StationFixture>(QDateTime(Monday, QTime(8, 59, 50))); }
    void cleanup() { m_fixture.reset(); }

    // The broadcast of a day as the station runs it from 08:59:50 to 09:00:10, and the 09:00 chime.
    void theDayDecides_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QString>("mark"); // kind of the day's mark; empty for none
        QTest::addColumn<bool>("telltimeOnDaysOff");
        QTest::addColumn<int>("broadcasts");
        QTest::addColumn<int>("chimes");
        QTest::newRow("an ordinary Monday") << Monday << "" << false << 1 << 1;
        QTest::newRow("a Monday off") << Monday << "休" << false << 0 << 0;
        QTest::newRow("a Monday off, chimes wanted") << Monday << "休" << true << 0 << 1;
        QTest::newRow("an unticked Sunday") << Sunday << "" << false << 0 << 1;
        QTest::newRow("a working Sunday") << Sunday << "班" << false << 1 << 1;
    }

    void theDayDecides()
    {
        QFETCH(QDate, day);
        QFETCH(QString, mark);
        QFETCH(bool, telltimeOnDaysOff);
        QFETCH(int, broadcasts);
        QFETCH(int, chimes);
        m_fixture->clock.set(QDateTime(day, QTime(8, 59, 50)));
        onDatabase(m_fixture->folder, [&](QSqlDatabase db) {
            QVERIFY(addEmployee(db, QStringLiteral("张三"), day.addYears(-30).toString(Qt::ISODate),
                                QStringLiteral("2010-01-01"))
                    > 0);
            if (!mark.isEmpty()) {
                QSqlQuery query(db);
                QVERIFY(query.exec(QStringLiteral("INSERT INTO holiday (day, kind, name) VALUES ('%1', '%2', '假日')")
                                       .arg(day.toString(Qt::ISODate), mark)));
            }
        });
        IniFile(m_fixture->folder.file(QStringLiteral("setinfo.ini")))
            .writeBool(QStringLiteral("Calendar"), QStringLiteral("TelltimeOnDaysOff"), telltimeOnDaysOff);
        RecordingVoice voice;
        Services services;
        services.voice = &voice;
        m_fixture->start(services);
        Tf_speaker* main = m_fixture->main();
        // The day's own announcement is composed whatever the day: the scheduler decides.
        QVERIFY(main->form()->Memo1->toPlainText().contains(QStringLiteral("张三")));
        int repeats = 0;
        connect(&main->readingController(), &ReadingController::repetitionStarted, this, [&] { ++repeats; });
        CountingChime chime;
        main->timeAnnouncements()->setChime(&chime);
        main->timeAnnouncements()->telltime()->stop();
        main->schedulePanel()->timer_autoplay()->stop();
        for (int tick = 0; tick < 200; ++tick) {
            main->schedulePanel()->timer_autoplayTimer();
            main->timeAnnouncements()->telltimeTimer();
            m_fixture->clock.advance(100);
        }
        QCOMPARE(repeats, broadcasts);
        QCOMPARE(chime.count, chimes);
        main->timeAnnouncements()->setChime(nullptr);
    }

    // Monday after Sunday: Sunday's person is greeted too; marking Monday off on the tab takes the
    // announcement back to Monday's own people, switching the catch-up off on the content tab too.
    void tabsRecomposeToday()
    {
        onDatabase(m_fixture->folder, [&](QSqlDatabase db) {
            QVERIFY(
                addEmployee(db, QStringLiteral("周日生"), QStringLiteral("1990-03-03"), QStringLiteral("2010-01-01"))
                > 0);
            QVERIFY(
                addEmployee(db, QStringLiteral("周一生"), QStringLiteral("1990-03-04"), QStringLiteral("2010-01-01"))
                > 0);
        });
        m_fixture->start();
        QPlainTextEdit* memo = m_fixture->form()->Memo1;
        QVERIFY2(memo->toPlainText().contains(QStringLiteral("前几天过生日的同事有：周日生，")),
                 qPrintable(memo->toPlainText()));
        QVERIFY(memo->toPlainText().contains(QStringLiteral("周一生生日，")));

        QTabWidget* pages = m_fixture->station->settingsWindow()->pages();
        QCOMPARE(pages->tabText(3), QStringLiteral("节假日"));
        auto* holidays = qobject_cast<HolidayTab*>(pages->widget(3));
        QVERIFY(holidays);
        holidays->FormShow();
        holidays->form()->yearView->setSelection(Monday, Monday);
        holidays->form()->btn_dayoff->click();
        QVERIFY2(!memo->toPlainText().contains(QStringLiteral("前几天")), qPrintable(memo->toPlainText()));
        QVERIFY(memo->toPlainText().contains(QStringLiteral("周一生生日，")));
        holidays->form()->btn_clear->click();
        QVERIFY(memo->toPlainText().contains(QStringLiteral("前几天")));

        auto* content = qobject_cast<ContentTab*>(pages->widget(0));
        QVERIFY(content);
        content->FormShow();
        QVERIFY(content->form()->chk_catchup->isChecked());
        QVERIFY(!content->form()->chk_anniversary->isChecked());
        QCOMPARE(content->form()->edt_years->text(), QStringLiteral("1,3,5,10,15,20,25,30"));
        content->form()->chk_catchup->setChecked(false);
        content->form()->BitBtn1->click();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList { QStringLiteral("保存成功!") });
        m_fixture->form()->SB_write->click(); // the grid still ticks Sunday's person: named in the age groups
        QVERIFY2(!memo->toPlainText().contains(QStringLiteral("前几天")), qPrintable(memo->toPlainText()));
        QVERIFY(memo->toPlainText().contains(QStringLiteral("周日生，周一生生日，")));
    }

    void contentTabRefusesBadGreetings_data()
    {
        QTest::addColumn<QString>("years");
        QTest::addColumn<QString>("catchUpText");
        QTest::addColumn<QString>("message");
        QTest::newRow("years not numbers") << "1,三,5"
                                           << "{姓名}"
                                           << "周年“三”";
        QTest::newRow("a year too many") << "1,101"
                                         << "{姓名}"
                                         << "1 到 100";
        QTest::newRow("catch-up without names") << "1,3"
                                                << "前几天有同事过生日。"
                                                << "{姓名}";
    }

    void contentTabRefusesBadGreetings()
    {
        QFETCH(QString, years);
        QFETCH(QString, catchUpText);
        QFETCH(QString, message);
        m_fixture->start();
        auto* content = qobject_cast<ContentTab*>(m_fixture->station->settingsWindow()->pages()->widget(0));
        content->FormShow();
        content->form()->edt_years->setText(years);
        content->form()->edt_catchup->setText(catchUpText);
        content->form()->BitBtn1->click();
        const QStringList boxes = m_fixture->dialogs.takeTexts();
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes.first().contains(message), qPrintable(boxes.first()));
        // Nothing was written.
        QVERIFY(!m_fixture->folder.read(QStringLiteral("setinfo.ini")).contains("CatchUp"));
    }

private:
    std::unique_ptr<StationFixture> m_fixture;
};

QTEST_MAIN(TestCalendarStation)
#include "test_calendarstation.moc"
