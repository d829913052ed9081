#include "fixedwallclock.h"

#include "common/clock.h"
#include "sanitizers.h"

#include <QFile>
#include <QProcessEnvironment>
#include <QSaveFile>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

// Set in the re-executed process: it is the moved one, and must not move again.
constexpr const char* Marker = "KELVORA_FIXED_WALL_CLOCK";

QString libfaketime()
{
#ifdef KELVORA_LIBFAKETIME
    const QString path = QStringLiteral(KELVORA_LIBFAKETIME);
    return QFile::exists(path) ? path : QString();
#else
    return {};
#endif
}

} // namespace

namespace FixedWallClock {

void reexecAt(char** argv, const QDateTime& start)
{
    if (qEnvironmentVariableIsSet(Marker) || Sanitizers::Address) {
        return;
    }
    const QString library = libfaketime();
    if (library.isEmpty()) {
        return;
    }
    // An offset rather than a start time: every process started from here on, the program under test
    // included, sees the same moved clock, not one that starts again at its own start.
    const qint64 offset = Clock::system().now().secsTo(start);
    QByteArray preload = QFile::encodeName(library);
    if (const QByteArray before = qgetenv("LD_PRELOAD"); !before.isEmpty()) {
        preload += ' ' + before;
    }
    qputenv("LD_PRELOAD", preload);
    qputenv("FAKETIME", (offset < 0 ? QByteArray() : QByteArray("+")) + QByteArray::number(offset));
    qputenv("FAKETIME_DONT_FAKE_MONOTONIC", "1");
    qputenv(Marker, start.toString(Qt::ISODate).toUtf8());
    ::execv("/proc/self/exe", argv);
    std::perror("cannot re-execute the test under libfaketime");
    std::exit(1);
}

bool active()
{
    return qEnvironmentVariableIsSet(Marker) && !qgetenv("LD_PRELOAD").isEmpty();
}

QString problem()
{
    if (Sanitizers::Address) {
        return {};
    }
    if (libfaketime().isEmpty()) {
        return QStringLiteral("libfaketime is not installed (Debian package libfaketime)");
    }
    if (!active()) {
        return QStringLiteral("the test was not re-executed under libfaketime");
    }
    const QDateTime start = QDateTime::fromString(qEnvironmentVariable(Marker), Qt::ISODate);
    const qint64 drift = start.secsTo(Clock::system().now());
    // The test re-executed itself moments ago; a clock far from its start was not moved.
    if (drift < 0 || drift > 600) {
        return QStringLiteral("libfaketime did not move the clock to %1 (it reads %2)")
            .arg(start.toString(Qt::ISODate), Clock::system().now().toString(Qt::ISODate));
    }
    return {};
}

void stayWithinOneDay(int seconds)
{
    if (active()) {
        return;
    }
    const QTime now = Clock::system().currentTime();
    const int left = now.secsTo(QTime(23, 59, 59)) + 1;
    if (left < seconds) {
        std::fprintf(stderr, "Waiting %d s for midnight: the run would cross it on the real clock.\n", left + 1);
        QThread::sleep(static_cast<unsigned long>(left + 1));
    }
}

} // namespace FixedWallClock

MovableWallClock::MovableWallClock(const QString& folder)
    : m_file(folder + QStringLiteral("/faketime.rc"))
{
    setTo(Clock::system().now());
}

QString MovableWallClock::problem()
{
    if (Sanitizers::Address) {
        return QStringLiteral("libfaketime is not preloaded into an AddressSanitizer build");
    }
    if (libfaketime().isEmpty()) {
        return QStringLiteral("libfaketime is not installed (Debian package libfaketime)");
    }
    return {};
}

void MovableWallClock::setTo(const QDateTime& when)
{
    m_offsetSeconds = Clock::system().now().secsTo(when);
    // Replaced whole, so the program never reads half a line.
    QSaveFile file(m_file);
    if (!file.open(QIODevice::WriteOnly)) {
        qFatal("cannot write %s", qPrintable(m_file));
    }
    file.write((m_offsetSeconds < 0 ? QByteArray() : QByteArray("+")) + QByteArray::number(m_offsetSeconds) + '\n');
    if (!file.commit()) {
        qFatal("cannot write %s", qPrintable(m_file));
    }
}

QDateTime MovableWallClock::now() const
{
    return Clock::system().now().addSecs(m_offsetSeconds);
}

void MovableWallClock::addTo(QProcessEnvironment& environment) const
{
    QString preload = libfaketime();
    if (const QString before = environment.value(QStringLiteral("LD_PRELOAD")); !before.isEmpty()) {
        preload += QLatin1Char(' ') + before;
    }
    environment.insert(QStringLiteral("LD_PRELOAD"), preload);
    environment.remove(QStringLiteral("FAKETIME"));
    environment.insert(QStringLiteral("FAKETIME_TIMESTAMP_FILE"), m_file);
    environment.insert(QStringLiteral("FAKETIME_NO_CACHE"), QStringLiteral("1"));
    environment.insert(QStringLiteral("FAKETIME_DONT_FAKE_MONOTONIC"), QStringLiteral("1"));
}
