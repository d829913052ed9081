// The Chinese calendar through ICU, checked against published dates, and the days people celebrate.
#include "calendar/birthdayrules.h"
#include "calendar/chinesedate.h"

#include <QTest>

#include <future>

class TestChineseDate : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { BirthdayRules::setLeapDayRule(LeapDayRule::February28); }

    // 春节 and 中秋 as the calendars print them.
    void knownDays_data()
    {
        QTest::addColumn<QDate>("gregorian");
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<bool>("leap");
        QTest::addColumn<int>("day");
        const QList<QDate> springFestivals
            = { QDate(2024, 2, 10), QDate(2025, 1, 29), QDate(2026, 2, 17), QDate(2027, 2, 6),
                QDate(2028, 1, 26), QDate(2029, 2, 13), QDate(2030, 2, 3) };
        for (const QDate& day : springFestivals) {
            QTest::addRow("春节 %d", day.year()) << day << day.year() << 1 << false << 1;
        }
        const QList<QDate> midAutumns
            = { QDate(2024, 9, 17), QDate(2025, 10, 6), QDate(2026, 9, 25), QDate(2027, 9, 15),
                QDate(2028, 10, 3), QDate(2029, 9, 22), QDate(2030, 9, 12) };
        for (const QDate& day : midAutumns) {
            QTest::addRow("中秋 %d", day.year()) << day << day.year() << 8 << false << 15;
        }
        QTest::newRow("2025 闰六月初一") << QDate(2025, 7, 25) << 2025 << 6 << true << 1;
        QTest::newRow("2025 六月初一") << QDate(2025, 6, 25) << 2025 << 6 << false << 1;
        QTest::newRow("2025 七月初一") << QDate(2025, 8, 23) << 2025 << 7 << false << 1;
        QTest::newRow("2023 闰二月初一") << QDate(2023, 3, 22) << 2023 << 2 << true << 1;
        QTest::newRow("2023 三月初一") << QDate(2023, 4, 20) << 2023 << 3 << false << 1;
        QTest::newRow("除夕 before 2024") << QDate(2024, 2, 9) << 2023 << 12 << false << 30;
        // New moons within minutes of midnight, where ICU's own lunar theory starts the month a day
        // early or late.
        QTest::newRow("1954 春节, new moon 23:55") << QDate(1954, 2, 3) << 1954 << 1 << false << 1;
        QTest::newRow("1998 腊月, new moon 23:46") << QDate(1999, 1, 17) << 1998 << 12 << false << 1;
        QTest::newRow("2012 七月, new moon 23:54") << QDate(2012, 8, 17) << 2012 << 7 << false << 1;
        QTest::newRow("2018 十月, new moon 00:02") << QDate(2018, 11, 8) << 2018 << 10 << false << 1;
        QTest::newRow("the day before 2030 春节") << QDate(2030, 2, 2) << 2029 << 12 << false << 30;
        QTest::newRow("first supported day") << QDate(1901, 2, 19) << 1901 << 1 << false << 1;
        QTest::newRow("last supported day") << QDate(2100, 2, 8) << 2099 << 12 << false << 30;
    }

    void knownDays()
    {
        QFETCH(QDate, gregorian);
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(bool, leap);
        QFETCH(int, day);
        const std::optional<LunarDate> lunar = ChineseCalendar::fromGregorian(gregorian);
        QVERIFY(lunar);
        QCOMPARE(*lunar, (LunarDate { year, month, leap, day }));
        QCOMPARE(ChineseCalendar::toGregorian(year, month, leap, day), gregorian);
    }

    void leapMonths_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("leapMonth");
        QTest::newRow("2020") << 2020 << 4;
        QTest::newRow("2023") << 2023 << 2;
        QTest::newRow("2024 none") << 2024 << 0;
        QTest::newRow("2025") << 2025 << 6;
        QTest::newRow("2026 none") << 2026 << 0;
        QTest::newRow("2028") << 2028 << 5;
    }

    void leapMonths()
    {
        QFETCH(int, year);
        QFETCH(int, leapMonth);
        QCOMPARE(ChineseCalendar::leapMonthOf(year), leapMonth);
        // A month the year lacks is no month at all, not some other day.
        for (int month = 1; month <= 12; ++month) {
            QCOMPARE(ChineseCalendar::monthLength(year, month, true) > 0, month == leapMonth);
            QVERIFY(ChineseCalendar::monthLength(year, month, false) >= 29);
        }
        QVERIFY(!ChineseCalendar::toGregorian(year, leapMonth == 1 ? 2 : 1, true, 1).isValid());
    }

    // Every lunar year from 1901 to 2099: twelve months, or thirteen with one leap month, of 29 or 30
    // days, one after the other from 春节 to the next.
    void everyYearHangsTogether()
    {
        int leapYears = 0;
        for (int year = ChineseCalendar::FirstYear; year <= ChineseCalendar::LastYear; ++year) {
            QDate next = ChineseCalendar::toGregorian(year, 1, false, 1);
            QVERIFY2(next.isValid(), qPrintable(QString::number(year)));
            const int leap = ChineseCalendar::leapMonthOf(year);
            leapYears += leap > 0 ? 1 : 0;
            for (int month = 1; month <= 12; ++month) {
                for (const bool isLeap : { false, true }) {
                    if (isLeap && month != leap) {
                        continue;
                    }
                    const int length = ChineseCalendar::monthLength(year, month, isLeap);
                    QVERIFY2(length == 29 || length == 30, qPrintable(QStringLiteral("%1/%2").arg(year).arg(month)));
                    QCOMPARE(ChineseCalendar::toGregorian(year, month, isLeap, 1), next);
                    const LunarDate first = *ChineseCalendar::fromGregorian(next);
                    QCOMPARE(first, (LunarDate { year, month, isLeap, 1 }));
                    next = next.addDays(length);
                }
            }
            if (year < ChineseCalendar::LastYear) {
                QCOMPARE(ChineseCalendar::toGregorian(year + 1, 1, false, 1), next);
            }
        }
        // Seven leap months in nineteen years.
        QVERIFY2(leapYears >= 70 && leapYears <= 75, qPrintable(QString::number(leapYears)));
    }

    void outsideTheYears_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::newRow("day before lunar 1901") << QDate(1901, 2, 18);
        QTest::newRow("1900") << QDate(1900, 6, 1);
        QTest::newRow("lunar 2100") << QDate(2100, 2, 9);
        QTest::newRow("invalid") << QDate();
    }

    void outsideTheYears()
    {
        QFETCH(QDate, day);
        QVERIFY(!ChineseCalendar::fromGregorian(day));
        QVERIFY(!ChineseCalendar::supports(day));
        QVERIFY(!BirthdayRules::lunarProblem(day).isEmpty());
        QVERIFY(!BirthdayRules::celebrationBetween(day, true, QDate(2025, 1, 1), QDate(2025, 12, 31)).isValid());
    }

    void supportedSpan()
    {
        QCOMPARE(ChineseCalendar::firstSupportedDay(), QDate(1901, 2, 19));
        QCOMPARE(ChineseCalendar::lastSupportedDay(), QDate(2100, 2, 8));
        QVERIFY(BirthdayRules::lunarProblem(QDate(1901, 2, 19)).isEmpty());
        const QString problem = BirthdayRules::lunarProblem(QDate(1895, 5, 1));
        QVERIFY2(problem.contains(QStringLiteral("1901")) && problem.contains(QStringLiteral("1895-05-01")),
                 qPrintable(problem));
    }

    void names_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QString>("name");
        QTest::newRow("中秋") << QDate(2024, 9, 17) << "八月十五";
        QTest::newRow("春节") << QDate(2026, 2, 17) << "正月初一";
        QTest::newRow("初十") << QDate(2026, 2, 26) << "正月初十";
        QTest::newRow("二十") << QDate(1991, 1, 5) << "冬月二十";
        QTest::newRow("廿九") << QDate(2021, 3, 12) << "正月廿九";
        QTest::newRow("三十") << QDate(2024, 2, 9) << "腊月三十";
        QTest::newRow("闰月") << QDate(2025, 7, 27) << "闰六月初三";
    }

    void names()
    {
        QFETCH(QDate, day);
        QFETCH(QString, name);
        QCOMPARE(ChineseCalendar::fromGregorian(day)->monthDayName(), name);
    }

    // The day of the celebration in a span of days.
    void celebrations_data()
    {
        QTest::addColumn<QDate>("birth");
        QTest::addColumn<bool>("lunar");
        QTest::addColumn<QDate>("first");
        QTest::addColumn<QDate>("last");
        QTest::addColumn<QDate>("day");
        QTest::addColumn<int>("age");
        const QDate none;
        QTest::newRow("plain") << QDate(1990, 3, 5) << false << QDate(2024, 1, 1) << QDate(2024, 12, 31)
                               << QDate(2024, 3, 5) << 34;
        QTest::newRow("plain, across the year turn")
            << QDate(1990, 1, 2) << false << QDate(2024, 12, 30) << QDate(2025, 1, 5) << QDate(2025, 1, 2) << 35;
        QTest::newRow("29 Feb in a leap year")
            << QDate(2000, 2, 29) << false << QDate(2024, 2, 28) << QDate(2024, 3, 1) << QDate(2024, 2, 29) << 24;
        QTest::newRow("29 Feb in a common year")
            << QDate(2000, 2, 29) << false << QDate(2023, 2, 27) << QDate(2023, 3, 2) << QDate(2023, 2, 28) << 23;
        QTest::newRow("29 Feb, not on 1 March")
            << QDate(2000, 2, 29) << false << QDate(2023, 3, 1) << QDate(2023, 3, 31) << none << 0;
        QTest::newRow("中秋 born") << QDate(2000, 9, 12) << true << QDate(2026, 9, 1) << QDate(2026, 9, 30)
                                   << QDate(2026, 9, 25) << 26;
        QTest::newRow("中秋 born, not on the Gregorian day")
            << QDate(2000, 9, 12) << true << QDate(2026, 9, 12) << QDate(2026, 9, 12) << none << 0;
        // Born in the leap seventh month of 1987: greeted in the seventh.
        QTest::newRow("leap-month birth")
            << QDate(1987, 8, 24) << true << QDate(2025, 8, 1) << QDate(2025, 8, 31) << QDate(2025, 8, 23) << 38;
        // Born on 六月初一: in 2025 only the ordinary sixth month, never the leap one.
        QTest::newRow("sixth month, ordinary")
            << QDate(1990, 7, 22) << true << QDate(2025, 6, 1) << QDate(2025, 6, 30) << QDate(2025, 6, 25) << 35;
        QTest::newRow("sixth month, not the leap one")
            << QDate(1990, 7, 22) << true << QDate(2025, 7, 1) << QDate(2025, 8, 20) << none << 0;
        // Born on 正月三十; 正月 of 2021 has 29 days.
        QTest::newRow("day 30 in a 29-day month")
            << QDate(2019, 3, 6) << true << QDate(2021, 3, 1) << QDate(2021, 3, 31) << QDate(2021, 3, 12) << 2;
        QTest::newRow("day 30 in a 30-day month")
            << QDate(2019, 3, 6) << true << QDate(2025, 2, 1) << QDate(2025, 3, 31) << QDate(2025, 2, 27) << 6;
        // 冬月二十 falls twice in 2024: lunar 2023's on 1 January, lunar 2024's on 20 December.
        QTest::newRow("late winter, first of two")
            << QDate(1991, 1, 5) << true << QDate(2024, 1, 1) << QDate(2024, 12, 31) << QDate(2024, 1, 1) << 33;
        QTest::newRow("late winter, second of two")
            << QDate(1991, 1, 5) << true << QDate(2024, 1, 2) << QDate(2024, 12, 31) << QDate(2024, 12, 20) << 34;
        QTest::newRow("lunar years beyond 2099")
            << QDate(2000, 9, 12) << true << QDate(2100, 3, 1) << QDate(2100, 12, 31) << none << 0;
        QTest::newRow("span backwards") << QDate(1990, 3, 5) << false << QDate(2024, 3, 6) << QDate(2024, 3, 4) << none
                                        << 0;
    }

    void celebrations()
    {
        QFETCH(QDate, birth);
        QFETCH(bool, lunar);
        QFETCH(QDate, first);
        QFETCH(QDate, last);
        QFETCH(QDate, day);
        QFETCH(int, age);
        QCOMPARE(BirthdayRules::celebrationBetween(birth, lunar, first, last), day);
        if (day.isValid()) {
            QVERIFY(BirthdayRules::celebratesOn(birth, lunar, day));
            QVERIFY(!BirthdayRules::celebratesOn(birth, lunar, day.addDays(1)));
            QCOMPARE(BirthdayRules::ageOn(birth, lunar, day), age);
        }
    }

    void leapDayRule_data()
    {
        QTest::addColumn<bool>("march1");
        QTest::addColumn<QDate>("day");
        QTest::newRow("28 February") << false << QDate(2025, 2, 28);
        QTest::newRow("1 March") << true << QDate(2025, 3, 1);
    }

    void leapDayRule()
    {
        QFETCH(bool, march1);
        QFETCH(QDate, day);
        BirthdayRules::setLeapDayRule(march1 ? LeapDayRule::March1 : LeapDayRule::February28);
        QCOMPARE(BirthdayRules::celebrationBetween(QDate(1996, 2, 29), false, QDate(2025, 2, 1), QDate(2025, 3, 31)),
                 day);
        // A leap year keeps the day itself, whatever the rule.
        QCOMPARE(BirthdayRules::celebrationBetween(QDate(1996, 2, 29), false, QDate(2028, 2, 1), QDate(2028, 3, 31)),
                 QDate(2028, 2, 29));
        // Only people born on 29 February move.
        QCOMPARE(BirthdayRules::celebrationBetween(QDate(1996, 2, 28), false, QDate(2025, 2, 1), QDate(2025, 3, 31)),
                 QDate(2025, 2, 28));
        QCOMPARE(BirthdayRules::celebrationBetween(QDate(1996, 3, 1), false, QDate(2025, 2, 1), QDate(2025, 3, 31)),
                 QDate(2025, 3, 1));
    }

    void parseDay_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("day");
        QTest::newRow("date") << "2024-03-05" << QDate(2024, 3, 5);
        QTest::newRow("29 Feb of a common year") << "2023-02-29" << QDate();
        QTest::newRow("short") << "2024-3-5" << QDate();
        QTest::newRow("time after") << "2024-03-05 10:00" << QDate();
        QTest::newRow("letters") << "2024-0a-05" << QDate();
        QTest::newRow("empty") << "" << QDate();
    }

    void parseDay()
    {
        QFETCH(QString, text);
        QFETCH(QDate, day);
        QCOMPARE(BirthdayRules::parseDay(text), day);
    }

    // The stored queries may run on any thread's connection: each thread has its own ICU calendar.
    void threadsAgree()
    {
        const auto work = [] {
            int found = 0;
            for (int year = 2024; year <= 2030; ++year) {
                found += BirthdayRules::celebrationBetween(QDate(2000, 9, 12), true, QDate(year, 9, 1),
                                                           QDate(year, 10, 31))
                             .isValid();
            }
            return found;
        };
        std::future<int> a = std::async(std::launch::async, work);
        std::future<int> b = std::async(std::launch::async, work);
        QCOMPARE(work(), 7);
        QCOMPARE(a.get(), 7);
        QCOMPARE(b.get(), 7);
    }
};

QTEST_GUILESS_MAIN(TestChineseDate)
#include "test_chinesedate.moc"
