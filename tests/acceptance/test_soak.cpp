// Thirty days of a station that is never restarted, with the daily rollover on. The days are driven
// by SoakStation (tests/support), which bench_soak runs too; this test judges each day.

#include "recordingdialogs.h"
#include "soakstation.h"

#include <QLocale>
#include <QTest>

namespace {

constexpr int Days = 30;
using Census = SoakStation::Census;

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void thirtyDaysWithRollover();

private:
    std::unique_ptr<SoakStation> m_soak;
};

void TestSoak::init()
{
    m_soak = std::make_unique<SoakStation>(Days);
    const QString failure = m_soak->start();
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

void TestSoak::cleanup()
{
    m_soak->stop();
    m_soak->dialogs().verifyAllSeen();
    m_soak.reset();
}

void TestSoak::thirtyDaysWithRollover()
{
    QList<Census> censuses;
    QStringList story;
    for (int d = 0; d < Days; ++d) {
        const SoakStation::Day today = m_soak->runDay(d);
        const QDate day = today.date;
        censuses.append(today.noon);

        const QList<QDateTime>& todays = today.broadcasts;
        const QStringList& spoken = today.spoken;
        const bool expected = SoakStation::enabledWeekday(day) && !SoakStation::NobodysDays.contains(day);
        story << QStringLiteral("%1 %2: %3 broadcast(s) %4, %5 pieces naming today's person")
                     .arg(day.toString(Qt::ISODate), QLocale::c().dayName(day.dayOfWeek(), QLocale::ShortFormat))
                     .arg(todays.size())
                     .arg(todays.isEmpty() ? QString() : todays.first().time().toString(QStringLiteral("HH:mm:ss.zzz")))
                     .arg(spoken.filter(SoakStation::personOf(day)).size());
        const QString context = QStringLiteral("\n") + story.join(QLatin1Char('\n'));
        QVERIFY2(todays.size() == (expected ? 1 : 0),
                 qPrintable(QStringLiteral("wrong number of broadcasts") + context));
        if (expected) {
            // At the first 100 ms tick of the range, with that day's own announcement, read twice.
            QVERIFY2(todays.first() == QDateTime(day, SoakStation::RangeStart),
                     qPrintable(QStringLiteral("late broadcast") + context));
            QVERIFY2(spoken.filter(SoakStation::personOf(day)).size() == 2,
                     qPrintable(QStringLiteral("not two readings") + context));
        }
        // The people of the days without a broadcast since the previous broadcast day (the weekend
        // before a Monday) are greeted too, in both readings; nobody else: not yesterday's person when
        // yesterday broadcast, not tomorrow's.
        QList<int> caughtUp;
        if (expected || SoakStation::enabledWeekday(day)) {
            for (int other = d - 1; other >= 0 && !SoakStation::enabledWeekday(SoakStation::FirstDay.addDays(other));
                 --other) {
                caughtUp.append(other);
            }
        }
        for (int other = 0; other < Days; ++other) {
            const QString person = SoakStation::personOf(SoakStation::FirstDay.addDays(other));
            if (caughtUp.contains(other) && !SoakStation::NobodysDays.contains(SoakStation::FirstDay.addDays(other))) {
                QVERIFY2(spoken.filter(person).size() == 2, qPrintable(QStringLiteral("not caught up") + context));
            } else if (other != d) {
                QVERIFY2(spoken.filter(person).isEmpty(),
                         qPrintable(QStringLiteral("another day's person greeted") + context));
            }
        }
        // The designated song once on each broadcast day, after the readings; an unticked day is silent.
        const bool song = expected;
        QVERIFY2(today.audioCalls.count(QStringLiteral("create ") + m_soak->song()) == (song ? 1 : 0),
                 qPrintable(QStringLiteral("the designated song played a wrong number of times") + context));
    }

    qInfo().noquote() << story.join(QLatin1Char('\n'))
                      << "\nAt noon, day 1 to day 30:" << SoakStation::describe(censuses);
    // Nothing accumulates: from day 2 on every count stays where it was.
    const Census& reference = censuses.at(1);
    for (int d = 2; d < Days; ++d) {
        for (const auto& [name, value] : censuses.at(d)) {
            QVERIFY2(value <= reference.at(name),
                     qPrintable(QStringLiteral("%1 grew from %2 on day 2 to %3 on day %4:%5")
                                    .arg(name)
                                    .arg(reference.at(name))
                                    .arg(value)
                                    .arg(d + 1)
                                    .arg(SoakStation::describe(censuses))));
        }
    }
    QCOMPARE(censuses.last().at(QStringLiteral("speaking threads")), 0);
    QCOMPARE(censuses.last().at(QStringLiteral("pending readings")), 0);
    QVERIFY(censuses.last().at(QStringLiteral("open streams")) <= 1);
}

QTEST_MAIN(TestSoak)
#include "test_soak.moc"
