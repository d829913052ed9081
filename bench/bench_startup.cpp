// Start-up of the real program with a roster of 100,000 people: the time from starting the process to
// its main window being on the screen, and its resident memory then and once it has settled. Run it
// under xvfb-run for a real X server; without a display it uses Qt's offscreen platform.
//
// bench_startup [--people N] [--runs N]   (defaults 100000 and 5)

#include "common/helpers.h"
#include "common/inifile.h"
#include "common/runtimeerror.h"
#include "common/services.h"
#include "data/tdm.h"
#include "figure.h"
#include "process.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

// Birthdays spread over the year (about 27 a day), so today's list and announcement have work.
void fillRoster(const QSqlDatabase& db, int people)
{
    QSqlQuery(db).exec(QStringLiteral("BEGIN"));
    QSqlQuery insert(db);
    insert.prepare(
        QStringLiteral("INSERT INTO birthday (emp_name, birthday, dept, remark1, indate) VALUES (?, ?, ?, ?, ?)"));
    for (int i = 0; i < people; ++i) {
        const QDate birthday = QDate(1970 + i % 35, 1, 1).addDays((i * 37) % 365);
        insert.addBindValue(QStringLiteral("员工%1").arg(i));
        insert.addBindValue(birthday.toString(Qt::ISODate));
        insert.addBindValue(QStringLiteral("部门%1").arg(i % 40));
        insert.addBindValue(QString());
        insert.addBindValue(QStringLiteral("2005-01-01"));
        if (!insert.exec()) {
            throw RuntimeError(insert.lastError().text());
        }
    }
    QSqlQuery(db).exec(QStringLiteral("COMMIT"));
}

struct Run
{
    double shownMs = -1;
    double rssShownMb = -1;
    double rssSettledMb = -1;
};

Run startOnce(const QString& program, const QString& folder, const QString& platform)
{
    Run run;
    QTemporaryDir runtime;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KELVORA_REPORT_SHOWN"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder);
    QElapsedTimer timer;
    timer.start();
    process.start(program, {});
    QByteArray output;
    while (!output.contains("shown") && process.state() != QProcess::NotRunning && timer.elapsed() < 30000) {
        process.waitForReadyRead(50);
        output += process.readAllStandardOutput();
    }
    if (output.contains("shown")) {
        run.shownMs = timer.nsecsElapsed() / 1e6;
        run.rssShownMb = BenchProcess::residentMb(process.processId());
        QThread::msleep(3000);
        run.rssSettledMb = BenchProcess::residentMb(process.processId());
    } else {
        std::printf("  the main window was not shown: %s\n", process.readAllStandardError().constData());
    }
    ::kill(pid_t(process.processId()), SIGTERM);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
    }
    return run;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

int argument(const QStringList& args, const QString& name, int fallback)
{
    const int at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? qMax(1, args.at(at + 1).toInt()) : fallback;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int people = argument(app.arguments(), QStringLiteral("--people"), 100000);
    const int runs = argument(app.arguments(), QStringLiteral("--runs"), 5);
    const QString platform
        = qEnvironmentVariableIsEmpty("DISPLAY") ? QStringLiteral("offscreen") : QStringLiteral("xcb");

    QTemporaryDir dir;
    const QString folder = withslash(dir.path());
    setProgdir(folder);
    try {
        TDM::createDatabase(TDM::databasePath());
        TDM filler(Services {});
        if (!filler.DataModuleCreate()) {
            return 1;
        }
        fillRoster(filler.database(), people);
    } catch (const RuntimeError& error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return 1;
    }
    {
        // No voices notice at start-up: the figure is the main window's.
        IniFile ini(folder + QStringLiteral("setinfo.ini"));
        ini.writeBool(QStringLiteral("System"), QStringLiteral("Tts_information"), true);
    }
    // The program folder is the executable's: run a hard link (or a copy) from inside it.
    const QString program = folder + QStringLiteral("kelvora");
    if (::link(QFile::encodeName(QStringLiteral(KELVORA_BINARY)).constData(), QFile::encodeName(program).constData())
            != 0
        && !QFile::copy(QStringLiteral(KELVORA_BINARY), program)) {
        std::fprintf(stderr, "cannot place the program in %s\n", qPrintable(folder));
        return 1;
    }

    std::printf("bench_startup: %d people, platform %s, %d runs\n", people, qPrintable(platform), runs);
    std::vector<double> shown;
    std::vector<double> rssShown;
    std::vector<double> rssSettled;
    for (int i = 0; i < runs; ++i) {
        const Run run = startOnce(program, folder, platform);
        std::printf("  run %d: window shown after %7.1f ms, resident %6.1f MB, %6.1f MB three seconds later\n", i + 1,
                    run.shownMs, run.rssShownMb, run.rssSettledMb);
        if (run.shownMs >= 0) {
            shown.push_back(run.shownMs);
            rssShown.push_back(run.rssShownMb);
            rssSettled.push_back(run.rssSettledMb);
        }
    }
    if (shown.empty()) {
        return 1;
    }
    const bool slow = median(shown) >= 500;
    const bool large = median(rssSettled) >= 100;
    std::sort(shown.begin(), shown.end());
    std::printf(
        "median: %.1f ms to the shown window (aim: under 500 ms)%s, spread %.1f..%.1f ms; %.1f MB resident (aim: "
        "under 100 MB)%s\n",
        median(shown), slow ? " MISSED" : "", shown.front(), shown.back(), median(rssSettled), large ? " MISSED" : "");
    const QByteArray what
        = QStringLiteral("start-up to the shown window, %1 people (%2)").arg(people).arg(platform).toUtf8();
    printFigure(what.constData(), "ms", median(shown), "", 0.0, slow ? "< 500 MISSED" : "< 500");
    const QByteArray memory = QStringLiteral("resident memory, %1 people, settled").arg(people).toUtf8();
    printFigure(memory.constData(), "MB", median(rssSettled), "", 0.0, large ? "< 100 MISSED" : "< 100");
    return 0;
}
