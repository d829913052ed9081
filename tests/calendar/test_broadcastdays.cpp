// Which days broadcast, and whose birthdays the next broadcast day catches up.
#include "calendar/broadcastdays.h"

#include <QTest>

namespace {

// Monday to Saturday ticked, Sunday not: the window's initial boxes.
const std::array<bool, 7> MondayToSaturday = { false, true, true, true, true, true, true };

DayMarks marksOf(const QList<DayMark>& list)
{
    DayMarks marks;
    for (const DayMark& mark : list) {
        marks.set(mark);
    }
    return marks;
}

DayMark off(const QDate& day, const QString& name = QStringLiteral("春节"))
{
    return { day, DayMark::Kind::DayOff, name };
}

DayMark working(const QDate& day, const QString& name = QStringLiteral("春节调休"))
{
    return { day, DayMark::Kind::WorkingDay, name };
}

// 春节 2026: 15 to 23 February off (Sunday 15th to Monday 23rd), Saturday 14th and Saturday 28th worked.
DayMarks springFestival2026()
{
    QList<DayMark> marks;
    for (QDate day(2026, 2, 15); day <= QDate(2026, 2, 23); day = day.addDays(1)) {
        marks.append(off(day));
    }
    marks.append(working(QDate(2026, 2, 14)));
    marks.append(working(QDate(2026, 2, 28)));
    return marksOf(marks);
}

QList<QDate> daysFrom(const QDate& first, const QDate& last)
{
    QList<QDate> days;
    for (QDate day = first; day <= last; day = day.addDays(1)) {
        days.append(day);
    }
    return days;
}

} // namespace

class TestBroadcastDays : public QObject
{
    Q_OBJECT

private slots:
    void decision_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<bool>("broadcast");
        QTest::addColumn<int>("reason");
        QTest::addColumn<QString>("text");
        using R = BroadcastDays::Reason;
        QTest::newRow("a ticked Monday") << QDate(2026, 2, 9) << true << int(R::Weekday) << "星期一播报";
        QTest::newRow("an unticked Sunday") << QDate(2026, 2, 8) << false << int(R::WeekdayOff) << "星期日不播报";
        QTest::newRow("a day off on a ticked weekday")
            << QDate(2026, 2, 17) << false << int(R::DayOff) << "休息日 春节";
        QTest::newRow("a day off on a Sunday") << QDate(2026, 2, 15) << false << int(R::DayOff) << "休息日 春节";
        QTest::newRow("a working Saturday")
            << QDate(2026, 2, 14) << true << int(R::WorkingDay) << "调休上班日 春节调休";
    }

    void decision()
    {
        QFETCH(QDate, day);
        QFETCH(bool, broadcast);
        QFETCH(int, reason);
        QFETCH(QString, text);
        const BroadcastDays days(MondayToSaturday, springFestival2026());
        QCOMPARE(days.isBroadcastDay(day), broadcast);
        QCOMPARE(int(days.reason(day)), reason);
        QCOMPARE(days.reasonText(day), text);
    }

    void workingSunday()
    {
        // A 班 Sunday broadcasts although its box is not ticked; without the mark it does not.
        const QDate sunday(2026, 10, 11);
        QVERIFY(!BroadcastDays(MondayToSaturday, {}).isBroadcastDay(sunday));
        QVERIFY(BroadcastDays(MondayToSaturday, marksOf({ working(sunday, QStringLiteral("国庆补班")) }))
                    .isBroadcastDay(sunday));
    }

    void catchUp_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QList<QDate>>("caughtUp");
        QTest::addColumn<QDate>("previous");
        // Monday catches up Sunday; Tuesday nothing (Monday broadcast).
        QTest::newRow("after a Sunday") << QDate(2026, 3, 2) << QList<QDate> { QDate(2026, 3, 1) }
                                        << QDate(2026, 2, 28);
        QTest::newRow("an ordinary Tuesday") << QDate(2026, 3, 3) << QList<QDate> {} << QDate(2026, 3, 2);
        // The long 春节 week: Tuesday 24th catches up everything since Saturday 14th (worked).
        QTest::newRow("after 春节") << QDate(2026, 2, 24) << daysFrom(QDate(2026, 2, 15), QDate(2026, 2, 23))
                                    << QDate(2026, 2, 14);
        // A day without a broadcast catches up nobody: its own people wait for the next one.
        QTest::newRow("inside 春节") << QDate(2026, 2, 18) << QList<QDate> {} << QDate(2026, 2, 14);
        QTest::newRow("the working Saturday") << QDate(2026, 2, 14) << QList<QDate> {} << QDate(2026, 2, 13);
        // The year turn: 1 January off, 3 January a Sunday.
        QTest::newRow("year turn") << QDate(2027, 1, 2) << QList<QDate> { QDate(2027, 1, 1) } << QDate(2026, 12, 31);
        QTest::newRow("first Monday") << QDate(2027, 1, 4) << QList<QDate> { QDate(2027, 1, 3) } << QDate(2027, 1, 2);
    }

    void catchUp()
    {
        QFETCH(QDate, day);
        QFETCH(QList<QDate>, caughtUp);
        QFETCH(QDate, previous);
        DayMarks marks = springFestival2026();
        marks.set(off(QDate(2027, 1, 1), QStringLiteral("元旦")));
        const BroadcastDays days(MondayToSaturday, marks);
        QCOMPARE(days.catchUpDays(day), caughtUp);
        QCOMPARE(days.previousBroadcastDay(day), previous);
        if (!caughtUp.isEmpty()) {
            // Every day caught up leads to this one as its next broadcast day.
            for (const QDate& missed : caughtUp) {
                QCOMPARE(days.nextBroadcastDay(missed), day);
            }
        }
    }

    void nothingTickedCatchesUpAMonthAtMost()
    {
        // Only one working day in sight: it catches up the month before it, no more.
        const QDate working(2026, 5, 9);
        const BroadcastDays days({}, marksOf({ { working, DayMark::Kind::WorkingDay, QStringLiteral("劳动节补班") } }));
        const QList<QDate> caughtUp = days.catchUpDays(working);
        QCOMPARE(caughtUp.size(), BroadcastDays::CatchUpLimitDays);
        QCOMPARE(caughtUp.first(), working.addDays(-BroadcastDays::CatchUpLimitDays));
        QCOMPARE(caughtUp.last(), working.addDays(-1));
        QVERIFY(!days.previousBroadcastDay(working).isValid());
        QVERIFY(!days.nextBroadcastDay(working).isValid());
    }

    void marksBetween()
    {
        const DayMarks marks = springFestival2026();
        QCOMPARE(marks.size(), 11);
        const QList<DayMark> week = marks.between(QDate(2026, 2, 14), QDate(2026, 2, 16));
        QCOMPARE(week.size(), 3);
        QCOMPARE(week.first().kind, DayMark::Kind::WorkingDay);
        QCOMPARE(week.last().day, QDate(2026, 2, 16));
        QVERIFY(!marks.find(QDate(2026, 2, 24)));
        QCOMPARE(DayMark::kindFromText(QStringLiteral("休")), DayMark::Kind::DayOff);
        QCOMPARE(DayMark::kindFromText(QStringLiteral("班")), DayMark::Kind::WorkingDay);
        QVERIFY(!DayMark::kindFromText(QStringLiteral("假")));
    }
};

QTEST_GUILESS_MAIN(TestBroadcastDays)
#include "test_broadcastdays.moc"
