// Resident memory of a station that is never restarted: the soak test's days (tests/support
// SoakStation: fake clock, rollover on, one broadcast on each enabled weekday) with a roster of
// 10,000 people, some born on each day. Prints VmRSS after day 1, day 2, every fifth day and the
// last day, and its growth from day 2 to the last day. The fakes' own logs are emptied every day,
// so what grows is the station's.
//
// bench_soak [--days N] [--people N]   (defaults 30 and 10000)

#include "figure.h"
#include "process.h"
#include "recordingdialogs.h"
#include "soakstation.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <cstdlib>

namespace {

int argument(const QStringList& args, const QString& name, int fallback)
{
    const int at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? qMax(1, args.at(at + 1).toInt()) : fallback;
}

// This process's resident memory in MB (VmRSS), or -1.
double residentMb()
{
    return BenchProcess::residentMb(QCoreApplication::applicationPid());
}

} // namespace

int main(int argc, char* argv[])
{
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int days = qMax(2, argument(app.arguments(), QStringLiteral("--days"), 30));
    const int people = argument(app.arguments(), QStringLiteral("--people"), 10000);

    QElapsedTimer elapsed;
    elapsed.start();
    // The day's own made-up people count towards the roster; the crowd fills it up.
    int ownPeople = 0;
    for (int d = 0; d < days; ++d) {
        ownPeople += SoakStation::NobodysDays.contains(SoakStation::FirstDay.addDays(d)) ? 0 : 1;
    }
    SoakStation soak(days, qMax(0, people - ownPeople));
    const QString failure = soak.start();
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "the station did not start: %s\n", qPrintable(failure));
        return 1;
    }
    std::printf("%d simulated days from %s, %d people on the roster; after start-up: %.1f MB resident\n", days,
                qPrintable(SoakStation::FirstDay.toString(Qt::ISODate)), soak.rosterSize(), residentMb());

    double day2 = -1;
    double last = -1;
    int broadcasts = 0;
    qsizetype spoken = 0;
    QList<SoakStation::Census> censuses;
    for (int d = 0; d < days; ++d) {
        const SoakStation::Day today = soak.runDay(d);
        broadcasts += int(today.broadcasts.size());
        spoken += today.spoken.size();
        censuses.append(today.noon);
        const int number = d + 1;
        const double rss = residentMb();
        if (number == 2) {
            day2 = rss;
        }
        last = rss;
        if (number <= 2 || number % 5 == 0 || number == days) {
            std::printf("day %2d (%s): %.2f MB resident; so far %d broadcast(s), %lld pieces spoken\n", number,
                        qPrintable(today.date.toString(Qt::ISODate)), rss, broadcasts, qlonglong(spoken));
        }
    }
    std::printf("growth from day 2 to day %d: %+.2f MB (%.2f MB to %.2f MB)\n", days, last - day2, day2, last);
    std::printf("at noon, day 1 to day %d:%s\n", days, qPrintable(SoakStation::describe(censuses)));
    const QStringList boxes = soak.dialogs().takeTexts();
    if (!boxes.isEmpty()) {
        std::printf("message boxes shown: %s\n", qPrintable(boxes.join(QStringLiteral(" | "))));
    }
    std::printf("%.1f s of real time\n", elapsed.elapsed() / 1000.0);
    soak.stop();

    const QByteArray what
        = QStringLiteral("resident memory over %1 simulated days (growth day 2→%1)").arg(days).toUtf8();
    printFigure(what.constData(), "MB", last - day2);
    return 0;
}
