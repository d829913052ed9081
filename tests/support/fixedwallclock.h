#pragma once

#include <QDateTime>
#include <QString>
#include <QTest>

// For tests that run the real program in real time: the wall clock of the test and of every program
// it starts is moved by libfaketime to a fixed date and time of day, so a broadcast never crosses
// midnight, whatever the hour CI runs at. Only the wall clock moves (FAKETIME_DONT_FAKE_MONOTONIC):
// waits and elapsed times stay real.
namespace FixedWallClock {

// Call first in main(): re-executes the test with libfaketime preloaded, the wall clock starting at
// start (local time). Returns when it does not: already re-executed, libfaketime missing, or an
// AddressSanitizer build (its runtime must come first among the preloaded libraries).
void reexecAt(char** argv, const QDateTime& start);

// Whether this process runs on the moved clock.
bool active();

// What keeps the test off the fixed clock, for its failure or skip message; empty when it is on it
// or an AddressSanitizer build runs on the real clock by design.
QString problem();

// On the real clock only: when fewer than seconds are left before midnight, waits until just after
// it, so that the test's run stays within one day.
void stayWithinOneDay(int seconds);

} // namespace FixedWallClock

// In a test function: fails the test in CI (KELVORA_CI=1) when it is not on the fixed clock; elsewhere
// says why and goes on at the real time.
#define KELVORA_REQUIRE_FIXED_WALL_CLOCK()                                                                             \
    do {                                                                                                               \
        const QString problem = FixedWallClock::problem();                                                             \
        if (!problem.isEmpty()) {                                                                                      \
            if (qEnvironmentVariable("KELVORA_CI") == QLatin1String("1")) {                                            \
                QFAIL(qPrintable(QStringLiteral("not on the fixed wall clock in CI: ") + problem));                    \
            }                                                                                                          \
            qWarning("Running on the real clock: %s", qPrintable(problem));                                            \
        }                                                                                                              \
    } while (false)

class QProcessEnvironment;

// The wall clock of a program the test starts, moved by libfaketime through a file that the test
// rewrites while the program runs (read again at every reading of the clock), so a test can set it to
// the afternoon and then step it across the night. Elapsed time stays real.
class MovableWallClock final
{
public:
    // The file lives in folder, which must outlive the program.
    explicit MovableWallClock(const QString& folder);

    // Why programs cannot be put on a movable clock here; empty when they can.
    static QString problem();

    // From now on the program's clock reads when (local time), and goes on from there.
    void setTo(const QDateTime& when);
    // What the program's clock reads now.
    QDateTime now() const;
    // Preloads libfaketime into the program and points it at the file.
    void addTo(QProcessEnvironment& environment) const;

private:
    QString m_file;
    qint64 m_offsetSeconds = 0;
};
