#include "birthdays/daywindow.h"

#include <QTest>

class TestDayWindow : public QObject
{
    Q_OBJECT

private slots:
    void tokens_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<int>("days");
        QTest::addColumn<QString>("expected");
        QTest::newRow("today only") << QDate(2024, 3, 14) << 0 << QStringLiteral("03-14");
        QTest::newRow("seven days") << QDate(2024, 3, 14) << 3
                                    << QStringLiteral("03-11 03-12 03-13 03-14 03-15 03-16 03-17");
        QTest::newRow("leap day in window") << QDate(2024, 3, 1) << 1 << QStringLiteral("02-29 03-01 03-02");
        QTest::newRow("no leap day in 2023") << QDate(2023, 3, 1) << 1 << QStringLiteral("02-28 03-01 03-02");
        QTest::newRow("leap day itself") << QDate(2024, 2, 29) << 0 << QStringLiteral("02-29");
        QTest::newRow("turn of the year") << QDate(2024, 12, 31) << 1 << QStringLiteral("12-30 12-31 01-01");
        QTest::newRow("new year's day") << QDate(2025, 1, 1) << 2 << QStringLiteral("12-30 12-31 01-01 01-02 01-03");
        QTest::newRow("month end") << QDate(2024, 4, 30) << 1 << QStringLiteral("04-29 04-30 05-01");
        QTest::newRow("four days refused") << QDate(2024, 3, 14) << 4 << QString();
        QTest::newRow("negative refused") << QDate(2024, 3, 14) << -1 << QString();
    }

    void tokens()
    {
        QFETCH(QDate, today);
        QFETCH(int, days);
        QFETCH(QString, expected);
        QCOMPARE(DayWindow::tokens(today, days), expected);
    }

    void previousDays_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("expected");
        QTest::newRow("5 January") << QDate(
            2025, 1, 5) << QStringLiteral("12-26 12-27 12-28 12-29 12-30 12-31 01-01 01-02 01-03 01-04 01-05");
        QTest::newRow("across 29 February") << QDate(2024, 3, 2)
                                            << QStringLiteral("02-21 02-22 02-23 02-24 02-25 02-26 02-27 02-28 02-29 "
                                                              "03-01 03-02");
    }

    void previousDays()
    {
        QFETCH(QDate, today);
        QFETCH(QString, expected);
        QCOMPARE(DayWindow::previousDays(today), expected);
        QCOMPARE(DayWindow::previousDays(today).split(QLatin1Char(' ')).size(), 11);
    }

    void birthdayOn_data()
    {
        QTest::addColumn<QString>("birthday");
        QTest::addColumn<QDate>("day");
        QTest::addColumn<bool>("expected");
        QTest::newRow("same day") << QStringLiteral("1990-03-14") << QDate(2024, 3, 14) << true;
        QTest::newRow("other day") << QStringLiteral("1990-03-15") << QDate(2024, 3, 14) << false;
        QTest::newRow("other month") << QStringLiteral("1990-04-14") << QDate(2024, 3, 14) << false;
        QTest::newRow("leap born, leap year") << QStringLiteral("2000-02-29") << QDate(2024, 2, 29) << true;
        QTest::newRow("leap born, 1 March") << QStringLiteral("2000-02-29") << QDate(2023, 3, 1) << false;
        QTest::newRow("missing") << QString() << QDate(2024, 3, 14) << false;
        QTest::newRow("short") << QStringLiteral("03-14") << QDate(2024, 3, 14) << false;
        QTest::newRow("nine characters") << QStringLiteral("990-03-14") << QDate(2024, 3, 14) << false;
        QTest::newRow("not a date") << QStringLiteral("abcd-03-14") << QDate(2024, 3, 14) << false;
        QTest::newRow("impossible date") << QStringLiteral("1990-02-30") << QDate(2024, 3, 14) << false;
        QTest::newRow("time appended") << QStringLiteral("1990-03-14 00:00:00") << QDate(2024, 3, 14) << true;
    }

    void birthdayOn()
    {
        QFETCH(QString, birthday);
        QFETCH(QDate, day);
        QFETCH(bool, expected);
        QCOMPARE(DayWindow::isBirthdayOn(birthday, day), expected);
    }
};

QTEST_GUILESS_MAIN(TestDayWindow)
#include "test_daywindow.moc"
