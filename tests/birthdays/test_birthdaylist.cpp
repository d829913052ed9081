#include "birthdays/birthdaylist.h"
#include "common/eventlog.h"
#include "common/inifile.h"
#include "common/runtimeerror.h"
#include "datafixture.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSqlField>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

const QString Mainread = QStringLiteral("在这里我们祝他生日快乐。");

// A result row with the columns of the stored queries; a null QVariant is a missing value.
QSqlRecord person(const QVariant& name, const QVariant& birthday, const QVariant& age,
                  const QVariant& indate = QStringLiteral("2020-05-06"),
                  const QVariant& dept = QStringLiteral("生产部"))
{
    QSqlRecord record;
    const std::pair<const char*, QVariant> values[]
        = { { "emp_name", name }, { "indate", indate }, { "birthday", birthday }, { "dept", dept }, { "age", age } };
    for (const auto& [column, value] : values) {
        QSqlField field(QString::fromLatin1(column), value.isNull() ? QMetaType(QMetaType::QString) : value.metaType());
        field.setValue(value);
        record.append(field);
    }
    return record;
}

// A row of the calendar's stored queries: the person's id, lunar box and day of the celebration too.
QSqlRecord celebrating(qint64 id, const QString& name, const QString& birthday, int age, const QDate& day,
                       bool lunar = false)
{
    QSqlRecord record = person(name, birthday, age);
    const std::pair<const char*, QVariant> values[]
        = { { "id", id }, { "lunar", lunar ? 1 : 0 }, { "celebrated", day.toString(Qt::ISODate) } };
    for (const auto& [column, value] : values) {
        QSqlField field(QString::fromLatin1(column), value.metaType());
        field.setValue(value);
        record.append(field);
    }
    return record;
}

} // namespace

class TestBirthdayList : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fixture = std::make_unique<DataFixture>(QDateTime(QDate(2024, 3, 14), QTime(9, 0)), DataFixture::NoDatabase);
        m_window = std::make_unique<QWidget>();
        m_widgets.SGrid1 = new QTableWidget(1, 6, m_window.get());
        m_widgets.SGrid1->setColumnHidden(5, true);
        m_widgets.SGrid1->resize(400, 300);
        m_widgets.SB_write = new QToolButton(m_window.get());
        m_widgets.SpinEdit3 = new QSpinBox(m_window.get());
        m_widgets.SpinEdit3->setRange(0, 100000);
        m_widgets.SpinEdit3->setValue(90);
        m_widgets.SpinEdit4 = new QSpinBox(m_window.get());
        m_widgets.SpinEdit4->setRange(0, 3);
        m_widgets.SpinEdit4->setValue(1);
        m_widgets.chk_read1 = new QCheckBox(m_window.get());
        m_widgets.chk_read2 = new QCheckBox(m_window.get());
        m_widgets.chk_read3 = new QCheckBox(m_window.get());
        m_widgets.chk_next = new QCheckBox(m_window.get());
        m_widgets.edt_user = new QLineEdit(QStringLiteral("示例公司"), m_window.get());
        m_widgets.Memo1 = new QPlainTextEdit(QStringLiteral("昨天的语句"), m_window.get());
        m_dayCalls.clear();
        m_monthCalls.clear();
        m_dayResult.clear();
        m_monthResult.clear();
        BirthdayQueries queries;
        queries.monthDay = [this](const QString& tokens, const QString& threshold) {
            m_dayCalls.append(tokens + QLatin1Char('|') + threshold);
            return m_dayResult;
        };
        queries.month = [this](const QString& month, const QString& threshold) {
            m_monthCalls.append(month + QLatin1Char('|') + threshold);
            return m_monthResult;
        };
        m_list = std::make_unique<BirthdayList>(
            m_widgets, queries, [] { return Mainread; }, m_fixture->services());
    }

    void cleanup()
    {
        m_list.reset();
        m_window.reset();
        m_fixture.reset();
    }

    void fillShowsResultInOrder()
    {
        m_list->FillBirthdayGrid(
            { person(QStringLiteral(" 王一 "), QStringLiteral("2000-03-14"), 24, QDate(2021, 1, 2)),
              person(QStringLiteral("李二"), QStringLiteral("1990-03-15"), qlonglong(34),
                     QStringLiteral("2019-07-08 00:00:00"), QVariant()) });
        QCOMPARE(rowTexts(0),
                 (QStringList { QStringLiteral(" 王一 "), QStringLiteral("2021-01-02"), QStringLiteral("2000-03-14"),
                                QStringLiteral("生产部"), QStringLiteral("yes"), QStringLiteral("24") }));
        QCOMPARE(rowTexts(1),
                 (QStringList { QStringLiteral("李二"), QStringLiteral("2019-07-08"), QStringLiteral("1990-03-15"),
                                QString(), QStringLiteral("no"), QStringLiteral("34") }));
        QCOMPARE(grid()->rowCount(), 2);
    }

    void emptyResultLeavesOneBlankRow()
    {
        m_list->FillBirthdayGrid({ person(QStringLiteral("王一"), QStringLiteral("2000-03-14"), 24) });
        m_list->FillBirthdayGrid({});
        QCOMPARE(grid()->rowCount(), 1);
        QCOMPARE(rowTexts(0), QStringList(6, QString()));
    }

    void badBirthdaysAreShownUnselected_data()
    {
        QTest::addColumn<QVariant>("birthday");
        QTest::newRow("missing") << QVariant();
        QTest::newRow("short") << QVariant(QStringLiteral("03-14"));
        QTest::newRow("not a date") << QVariant(QStringLiteral("xxxx-03-14"));
    }

    void badBirthdaysAreShownUnselected()
    {
        QFETCH(QVariant, birthday);
        m_dayResult = { person(QStringLiteral("王一"), birthday, QVariant()),
                        person(QStringLiteral("李二"), QStringLiteral("1990-03-14"), 34) };
        m_widgets.chk_next->setChecked(false);
        m_list->RefreshBirthdays();
        QCOMPARE(grid()->item(0, 0)->text(), QStringLiteral("王一"));
        QCOMPARE(grid()->item(0, 3)->text(), QStringLiteral("生产部"));
        QCOMPARE(grid()->item(0, 4)->text(), QStringLiteral("no"));
        QCOMPARE(memo(), QStringLiteral("今天是：示例公司员工，李二生日，") + Mainread);
    }

    void refreshAsksForTheDayWindow_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<int>("days");
        QTest::addColumn<QString>("call");
        QTest::newRow("turn of the year") << QDate(2024, 12, 31) << 1 << QStringLiteral("12-30 12-31 01-01|75");
        QTest::newRow("today only") << QDate(2024, 3, 14) << 0 << QStringLiteral("03-14|75");
        QTest::newRow("leap day") << QDate(2024, 3, 1) << 1 << QStringLiteral("02-29 03-01 03-02|75");
    }

    void refreshAsksForTheDayWindow()
    {
        QFETCH(QDate, today);
        QFETCH(int, days);
        QFETCH(QString, call);
        m_fixture->clock.set(QDateTime(today, QTime(8, 0)));
        m_widgets.SpinEdit3->setValue(75);
        m_widgets.SpinEdit4->setValue(days);
        m_list->RefreshBirthdays();
        QCOMPARE(m_dayCalls, QStringList { call });
        // Nothing found: nothing composed, next month not even asked.
        QVERIFY(m_monthCalls.isEmpty());
        QCOMPARE(memo(), QStringLiteral("昨天的语句"));
        QCOMPARE(grid()->rowCount(), 1);
    }

    void refreshComposesTodaysPeople()
    {
        m_fixture->clock.set(QDateTime(QDate(2024, 12, 31), QTime(8, 0)));
        m_widgets.chk_next->setChecked(true);
        m_dayResult = { person(QStringLiteral("王一"), QStringLiteral("2000-12-30"), 24),
                        person(QStringLiteral(" 李二 "), QStringLiteral("1990-12-31"), 34),
                        person(QStringLiteral("赵三"), QStringLiteral("2004-12-31"), 20) };
        m_monthResult = { person(QStringLiteral("钱五"), QStringLiteral("1990-01-02"), 35) };
        m_list->RefreshBirthdays();
        QCOMPARE(m_monthCalls, QStringList { QStringLiteral("01|90") });
        QCOMPARE(memo(),
                 QStringLiteral("今天是：示例公司员工，赵三生日，，李二生日，") + Mainread
                     + QStringLiteral("下月将有：钱五， 等同事生日，公司将为他们送上祝福。"));
        QCOMPARE(selection(), (QStringList { QStringLiteral("no"), QStringLiteral("yes"), QStringLiteral("yes") }));
    }

    void refreshWithNobodyToday_data()
    {
        QTest::addColumn<bool>("nextMonth");
        QTest::addColumn<QString>("expected");
        QTest::newRow("next month on: emptied") << true << QString();
        QTest::newRow("next month off: kept") << false << QStringLiteral("昨天的语句");
    }

    void refreshWithNobodyToday()
    {
        QFETCH(bool, nextMonth);
        QFETCH(QString, expected);
        m_widgets.chk_next->setChecked(nextMonth);
        m_dayResult = { person(QStringLiteral("王一"), QStringLiteral("2000-03-15"), 24) };
        m_monthResult = { person(QStringLiteral("钱五"), QStringLiteral("1990-04-02"), 35) };
        m_list->RefreshBirthdays();
        QCOMPARE(memo(), expected);
    }

    void failedNextMonthQueryLeavesEditor()
    {
        m_widgets.chk_next->setChecked(true);
        m_dayResult = { person(QStringLiteral("王一"), QStringLiteral("2000-03-14"), 24) };
        BirthdayQueries failing;
        failing.monthDay = [this](const QString&, const QString&) { return m_dayResult; };
        failing.month = [](const QString&, const QString&) -> QList<QSqlRecord> {
            throw RuntimeError(QStringLiteral("no such table: qry"));
        };
        BirthdayList list(
            m_widgets, failing, [] { return Mainread; }, m_fixture->services());
        QVERIFY_THROWS_EXCEPTION(RuntimeError, list.RefreshBirthdays());
        QCOMPARE(memo(), QStringLiteral("昨天的语句"));
        QCOMPARE(grid()->item(0, 0)->text(), QStringLiteral("王一"));
    }

    void manualWithNothingSelected_data()
    {
        QTest::addColumn<bool>("nextMonth");
        QTest::addColumn<QString>("expected");
        QTest::newRow("next month on: emptied") << true << QString();
        QTest::newRow("next month off: kept") << false << QStringLiteral("昨天的语句");
    }

    void manualWithNothingSelected()
    {
        QFETCH(bool, nextMonth);
        QFETCH(QString, expected);
        m_widgets.chk_next->setChecked(nextMonth);
        m_monthResult = { person(QStringLiteral("钱五"), QStringLiteral("1990-04-02"), 35) };
        m_list->FillBirthdayGrid({ person(QStringLiteral("王一"), QStringLiteral("2000-03-15"), 24) });
        m_widgets.SB_write->click();
        QCOMPARE(memo(), expected);
        QCOMPARE(m_monthCalls.size(), nextMonth ? 1 : 0);
    }

    void manualUsesTheBoxesAsTheyStand()
    {
        IniFile(m_fixture->folder.file(QStringLiteral("setinfo.ini")))
            .writeBool(QStringLiteral("Addread2"), QStringLiteral("Readage"), true);
        m_widgets.chk_next->setChecked(false);
        m_widgets.chk_read2->setChecked(true);
        m_list->FillBirthdayGrid({ person(QStringLiteral("王一"), QStringLiteral("2000-03-15"), 24),
                                   person(QStringLiteral("李二"), QStringLiteral("2000-03-14"), 23) });
        grid()->item(0, 4)->setText(QStringLiteral("yes"));
        grid()->item(1, 4)->setText(QStringLiteral("Yes")); // only the exact text counts
        grid()->item(0, 5)->setText(QStringLiteral(" 24 "));
        m_list->SB_writeClick();
        QCOMPARE(memo(), QStringLiteral("今天是：示例公司员工，王一24岁生日，") + Mainread);
    }

    void manualSkipsAgesThatAreNoNumber()
    {
        m_widgets.chk_next->setChecked(false);
        m_list->FillBirthdayGrid(
            { person(QStringLiteral("王一"), QVariant(), QVariant()),
              person(QStringLiteral("李二"), QStringLiteral("2000-03-14"), 23),
              person(QStringLiteral("赵三"), QStringLiteral("2000-03-14"), QStringLiteral("abc")) });
        grid()->item(0, 4)->setText(QStringLiteral("yes"));
        m_list->SB_writeClick();
        QCOMPARE(memo(), QStringLiteral("今天是：示例公司员工，李二生日，") + Mainread);
        QCOMPARE(m_fixture->dialogs.takeTexts(),
                 QStringList { QStringLiteral("以下人员没有有效的年龄，未列入播报语句：王一、赵三") });
    }

    // The blank row of an empty month has no box: a press does nothing, and composing names nobody.
    void theBlankRowCannotBeTicked()
    {
        m_list->FillBirthdayGrid({});
        m_widgets.chk_next->setChecked(false);
        click(0, 4);
        QCOMPARE(grid()->rowCount(), 1);
        QCOMPARE(rowTexts(0), QStringList(6, QString()));
        m_list->SB_writeClick();
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList());
        QCOMPARE(memo(), QStringLiteral("昨天的语句"));
    }

    // People older than every age group are not announced, but never vanish silently: the log names
    // them always, a notice only when the user composes with the button.
    void peopleAboveEveryAgeGroupAreNamed()
    {
        QTemporaryDir logFolder;
        EventLog::open(logFolder.filePath(QStringLiteral("kelvora.log")), false, &m_fixture->clock);
        m_widgets.chk_next->setChecked(false);
        m_dayResult = { person(QStringLiteral("王一"), QStringLiteral("1970-03-14"), 54),
                        person(QStringLiteral("李二"), QStringLiteral("2000-03-14"), 24),
                        person(QStringLiteral("赵三"), QStringLiteral("1960-03-14"), 64) };
        m_list->RefreshBirthdays(); // at start-up: nobody is there to read a notice
        QCOMPARE(m_fixture->dialogs.takeTexts(), QStringList());
        QCOMPARE(memo(), QStringLiteral("今天是：示例公司员工，李二生日，") + Mainread);

        m_list->SB_writeClick();
        QCOMPARE(
            m_fixture->dialogs.takeTexts(),
            QStringList { QStringLiteral("以下人员的年龄超出所有年龄段，未列入播报语句：王一（54岁）、赵三（64岁）") });
        EventLog::close();
        QFile log(logFolder.filePath(QStringLiteral("kelvora.log")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(log.readAll());
        QCOMPARE(text.count(QStringLiteral("left out of the announcement, older than every age group: "
                                           "王一（54岁）、赵三（64岁）")),
                 2);
    }

    void leftPressOnBoxToggles()
    {
        m_list->FillBirthdayGrid({ person(QStringLiteral("王一"), QStringLiteral("2000-03-14"), 24),
                                   person(QStringLiteral("李二"), QStringLiteral("2000-03-15"), 23) });
        click(1, 4);
        QCOMPARE(selection(), (QStringList { QStringLiteral("yes"), QStringLiteral("yes") }));
        QCOMPARE(grid()->currentColumn(), 0);
        QCOMPARE(grid()->currentRow(), 1);
        click(1, 4);
        QCOMPARE(selection(), (QStringList { QStringLiteral("yes"), QStringLiteral("no") }));
        click(0, 4);
        QCOMPARE(selection(), (QStringList { QStringLiteral("no"), QStringLiteral("no") }));
        click(0, 2); // other columns never toggle
        QCOMPARE(selection(), (QStringList { QStringLiteral("no"), QStringLiteral("no") }));
        QCOMPARE(grid()->currentColumn(), 0);
    }

    void doubleClickTogglesOnce()
    {
        m_list->FillBirthdayGrid({ person(QStringLiteral("王一"), QStringLiteral("2000-03-15"), 24) });
        const QPoint at = cellCentre(0, 4);
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(selection(), QStringList { QStringLiteral("yes") });
    }

    void rightPressNeverToggles()
    {
        m_list->FillBirthdayGrid({ person(QStringLiteral("王一"), QStringLiteral("2000-03-14"), 24) });
        grid()->setCurrentCell(0, 0);
        QTest::mousePress(grid()->viewport(), Qt::RightButton, {}, cellCentre(0, 4));
        QTest::mouseRelease(grid()->viewport(), Qt::RightButton, {}, cellCentre(0, 4));
        QCOMPARE(selection(), QStringList { QStringLiteral("yes") });
        QCOMPARE(grid()->currentColumn(), 0);
    }

    void keysMoveBetweenRowsOnly()
    {
        m_list->FillBirthdayGrid({ person(QStringLiteral("王一"), QStringLiteral("2000-03-14"), 24),
                                   person(QStringLiteral("李二"), QStringLiteral("2000-03-15"), 23) });
        grid()->setCurrentCell(0, 0);
        QTest::keyClick(grid(), Qt::Key_Right);
        QTRY_COMPARE(grid()->currentColumn(), 0);
        QTest::keyClick(grid(), Qt::Key_Down);
        QTRY_COMPARE(grid()->currentRow(), 1);
        QCOMPARE(grid()->currentColumn(), 0);
        QCOMPARE(selection(), (QStringList { QStringLiteral("yes"), QStringLiteral("no") }));
    }

    void selectedRowsAreSkyBlue()
    {
        m_list->FillBirthdayGrid({ person(QStringLiteral("王一"), QStringLiteral("2000-03-14"), 24),
                                   person(QStringLiteral("李二"), QStringLiteral("2000-03-15"), 23) });
        grid()->setCurrentCell(-1, -1);
        const int widths[] = { 56, 62, 62, 105, 30 };
        for (int column = 0; column < 5; ++column) {
            grid()->setColumnWidth(column, widths[column]);
        }
        m_window->resize(500, 300);
        grid()->setGeometry(0, 0, 450, 250);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        const QImage image = grid()->viewport()->grab().toImage();
        const QColor skyBlue(166, 202, 240);
        const QRect yesCell = grid()->visualRect(grid()->model()->index(0, 3));
        const QRect noCell = grid()->visualRect(grid()->model()->index(1, 3));
        QCOMPARE(image.pixelColor(yesCell.right() - 3, yesCell.bottom() - 2), skyBlue);
        QVERIFY(image.pixelColor(noCell.right() - 3, noCell.bottom() - 2) != skyBlue);
        // The box column is drawn on the window colour, ticked for the yes row only.
        const QRect yesBox = grid()->visualRect(grid()->model()->index(0, 4));
        const QRect noBox = grid()->visualRect(grid()->model()->index(1, 4));
        QCOMPARE(image.pixelColor(yesBox.left() + 1, yesBox.top() + 1), grid()->palette().color(QPalette::Base));
        QVERIFY(image.copy(yesBox) != image.copy(noBox));
    }

    void previousDaysLeaveTheEditor()
    {
        m_fixture->clock.set(QDateTime(QDate(2025, 1, 5), QTime(10, 0)));
        m_dayResult = { person(QStringLiteral("王一"), QStringLiteral("2000-01-05"), 25),
                        person(QStringLiteral("李二"), QStringLiteral("2000-12-26"), 24) };
        m_list->popupMenu()->actions().at(0)->trigger();
        QCOMPARE(
            m_dayCalls,
            QStringList { QStringLiteral("12-26 12-27 12-28 12-29 12-30 12-31 01-01 01-02 01-03 01-04 01-05|90") });
        QCOMPARE(selection(), (QStringList { QStringLiteral("yes"), QStringLiteral("no") }));
        QCOMPARE(memo(), QStringLiteral("昨天的语句"));
        QVERIFY(m_monthCalls.isEmpty());
    }

    void popupMenuItems()
    {
        const QList<QAction*> actions = m_list->popupMenu()->actions();
        QCOMPARE(actions.size(), 3);
        QCOMPARE(actions.at(0)->text(), QStringLiteral("显示前10天(&P)"));
        QCOMPARE(actions.at(1)->text(), QStringLiteral("查看月份生日(&V)"));
        QCOMPARE(actions.at(2)->text(), QStringLiteral("导出生日资料(&O)"));
        QCOMPARE(grid()->toolTip(), QStringLiteral("在表格中选择所需播报人员，点生成语句，即可生成最新的播报语句。"));
        QSignalSpy month(m_list.get(), &BirthdayList::monthViewRequested);
        QSignalSpy report(m_list.get(), &BirthdayList::exportRequested);
        actions.at(1)->trigger();
        actions.at(2)->trigger();
        QCOMPARE(month.size(), 1);
        QCOMPARE(report.size(), 1);
        QCOMPARE(m_list->popupMenu()->objectName(), QStringLiteral("PopupMenu4"));
    }

    // Monday after an unticked Sunday: Sunday's person is listed ticked, marked as caught up, and
    // greeted in the catch-up sentence; the day window's other days are not.
    void catchUpOnTheNextBroadcastDay()
    {
        const QDate monday(2024, 3, 18);
        m_fixture->clock.set(QDateTime(monday, QTime(8, 0)));
        const QSqlRecord sunday
            = celebrating(2, QStringLiteral("周日生"), QStringLiteral("1990-03-17"), 34, monday.addDays(-1));
        m_dayResult = { sunday, celebrating(1, QStringLiteral("王一"), QStringLiteral("1990-03-18"), 34, monday),
                        celebrating(3, QStringLiteral("周二生"), QStringLiteral("1990-03-19"), 34, monday.addDays(1)) };
        m_list->setCalendar([] {
            DayCalendar calendar;
            calendar.days = BroadcastDays({ false, true, true, true, true, true, true }, DayMarks());
            return calendar;
        });
        m_widgets.chk_next->setChecked(false);
        m_list->RefreshBirthdays();
        // The window, then the catch-up day.
        QCOMPARE(m_dayCalls, (QStringList { QStringLiteral("03-17 03-18 03-19|90"), QStringLiteral("03-17|90") }));
        QCOMPARE(grid()->rowCount(), 3);
        QCOMPARE(rowTexts(0).at(0), QStringLiteral("周日生"));
        QCOMPARE(rowTexts(0).at(4), QStringLiteral("yes"));
        QVERIFY(grid()->item(0, 0)->data(BirthdayList::CatchUpRole).toBool());
        QVERIFY2(grid()->item(0, 0)->toolTip().contains(QStringLiteral("3月17日")),
                 qPrintable(grid()->item(0, 0)->toolTip()));
        QCOMPARE(rowTexts(1).at(4), QStringLiteral("yes"));
        QCOMPARE(rowTexts(2).at(4), QStringLiteral("no"));
        QCOMPARE(memo(),
                 QStringLiteral("今天是：示例公司员工，王一生日，前几天过生日的同事有：周日生，我们也祝他们生日快乐！")
                     + Mainread);

        // Composed by hand with only the caught-up person ticked: the sentence alone.
        click(1, BirthdayList::SelectColumn);
        m_widgets.SB_write->click();
        QCOMPARE(memo(),
                 QStringLiteral("今天是：示例公司员工，前几天过生日的同事有：周日生，我们也祝他们生日快乐！")
                     + Mainread);
    }

    // A day without a broadcast catches up nobody; switched off, nobody is caught up.
    void noCatchUp_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<bool>("catchUp");
        QTest::newRow("on the Sunday itself") << QDate(2024, 3, 17) << true;
        QTest::newRow("switched off") << QDate(2024, 3, 18) << false;
    }

    void noCatchUp()
    {
        QFETCH(QDate, today);
        QFETCH(bool, catchUp);
        m_fixture->clock.set(QDateTime(today, QTime(8, 0)));
        m_list->setCalendar([catchUp] {
            DayCalendar calendar;
            calendar.days = BroadcastDays({ false, true, true, true, true, true, true }, DayMarks());
            calendar.settings.catchUp = catchUp;
            return calendar;
        });
        m_list->RefreshBirthdays();
        QCOMPARE(m_dayCalls.size(), 1);
    }

    // A lunar birthday shows its lunar month and day beside the date.
    void lunarDayBesideTheDate()
    {
        m_fixture->clock.set(QDateTime(QDate(2026, 9, 25), QTime(8, 0)));
        m_list->FillBirthdayGrid(
            { celebrating(1, QStringLiteral("孙七"), QStringLiteral("2000-09-12"), 26, QDate(2026, 9, 25), true),
              celebrating(2, QStringLiteral("李四"), QStringLiteral("2000-09-25"), 26, QDate(2026, 9, 25)) });
        QCOMPARE(rowTexts(0).at(2), QStringLiteral("2000-09-12 八月十五"));
        QCOMPARE(rowTexts(0).at(4), QStringLiteral("yes"));
        QCOMPARE(rowTexts(1).at(2), QStringLiteral("2000-09-25"));
    }

private:
    QTableWidget* grid() const { return m_widgets.SGrid1; }
    QString memo() const { return m_widgets.Memo1->toPlainText(); }

    QStringList rowTexts(int row) const
    {
        QStringList texts;
        for (int column = 0; column < 6; ++column) {
            const QTableWidgetItem* item = grid()->item(row, column);
            texts.append(item ? item->text() : QString());
        }
        return texts;
    }

    QStringList selection() const
    {
        QStringList texts;
        for (int row = 0; row < grid()->rowCount(); ++row) {
            texts.append(grid()->item(row, 4)->text());
        }
        return texts;
    }

    QPoint cellCentre(int row, int column) const
    {
        return grid()->visualRect(grid()->model()->index(row, column)).center();
    }

    void click(int row, int column) const
    {
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cellCentre(row, column));
    }

    std::unique_ptr<DataFixture> m_fixture;
    std::unique_ptr<QWidget> m_window;
    BirthdayWidgets m_widgets;
    std::unique_ptr<BirthdayList> m_list;
    QList<QSqlRecord> m_dayResult;
    QList<QSqlRecord> m_monthResult;
    QStringList m_dayCalls;
    QStringList m_monthCalls;
};

QTEST_MAIN(TestBirthdayList)
#include "test_birthdaylist.moc"
