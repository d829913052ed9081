// The roster editor at 100,000 people: the real editor window (grid, filter row, proxy) on the real
// data set, shown on the offscreen platform. Times a keystroke in a filter field up to the grid's next
// paint, clearing it again, and a sort of the grid's model by name and by birthday, each beside its aim.
// The grid itself offers no sort (its titles are not clickable; rows keep the data set's order): the
// sort is the model's, for the day a sort is offered.
//
// bench_roster [--people N] [--runs N]   (defaults 100000 and 5)
#include "birthdays/filterheader.h"
#include "birthdays/rosterfiltermodel.h"
#include "birthdays/tfbirthday.h"
#include "common/helpers.h"
#include "common/modelrows.h"
#include "common/services.h"
#include "data/tdm.h"
#include "figure.h"
#include "ui_tfbirthday.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

bool fill(QSqlDatabase db, int people)
{
    db.transaction();
    QSqlQuery query(db);
    query.prepare(
        QStringLiteral("INSERT INTO birthday (emp_name, indate, birthday, dept, remark1) VALUES (?, ?, ?, ?, ?)"));
    for (int i = 0; i < people; ++i) {
        query.addBindValue(QStringLiteral("员工%1").arg(i));
        query.addBindValue(QDate(2000, 1, 1).addDays(i % 9000).toString(Qt::ISODate));
        query.addBindValue(QDate(1960, 1, 1).addDays(i * 7 % 15000).toString(Qt::ISODate));
        query.addBindValue(QStringLiteral("部门%1").arg(i % 40));
        query.addBindValue(QString());
        if (!query.exec()) {
            return false;
        }
    }
    return db.commit();
}

// Runs step, then lets the window paint; milliseconds of both.
double timed(QWidget* window, const std::function<void()>& step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    window->repaint();
    QCoreApplication::processEvents();
    return double(timer.nsecsElapsed()) / 1e6;
}

void report(const char* what, std::vector<double> ms, double aim)
{
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    const bool missed = median >= aim;
    std::printf("%s: median %.1f ms, best %.1f, worst %.1f over %zu runs (aim < %.0f ms)%s\n", what, median, ms.front(),
                ms.back(), ms.size(), aim, missed ? "  MISSED" : "");
    const QByteArray aimText = QStringLiteral("< %1%2").arg(aim).arg(missed ? " MISSED" : "").toUtf8();
    printFigure(what, "ms (median)", median, "", 0, aimText.constData());
}

int option(const QStringList& args, const QString& name, int fallback)
{
    const int at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? qMax(1, args.at(at + 1).toInt()) : fallback;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int people = option(app.arguments(), QStringLiteral("--people"), 100000);
    const int runs = option(app.arguments(), QStringLiteral("--runs"), 5);

    QTemporaryDir folder;
    setProgdir(folder.path() + QLatin1Char('/'));
    TDM::createDatabase(folder.filePath(QStringLiteral("draft.dat")));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(folder.filePath(QStringLiteral("draft.dat")));
        if (!db.open() || !fill(db, people)) {
            std::printf("cannot fill the roster\n");
            return 1;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));

    Services services;
    TDM tdm(services);
    if (!tdm.DataModuleCreate()) {
        std::printf("the data module did not open\n");
        return 1;
    }
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    loadavg.open(QIODevice::ReadOnly);
    std::printf("bench_roster: %d people, %d runs, load %s\n", people, runs, loadavg.readAll().trimmed().constData());

    QElapsedTimer opening;
    opening.start();
    Tfbirthday editor(tdm.rosterModel(), services);
    editor.setLoader([&tdm] { tdm.Q_birthday2(); });
    tdm.Q_birthday2();
    editor.resize(1000, 700);
    editor.show();
    QCoreApplication::processEvents();
    const double openMs = double(opening.nsecsElapsed()) / 1e6;
    std::printf("the editor read and shown in %.0f ms\n", openMs);
    printFigure("roster editor read and shown, 100,000 people", "ms", openMs, "", 0, "");

    QLineEdit* name = editor.filterHeader()->filterField(RosterFilterModel::EmpName);
    QLineEdit* dept = editor.filterHeader()->filterField(RosterFilterModel::Dept);
    std::vector<double> first;
    std::vector<double> second;
    std::vector<double> clear;
    for (int run = 0; run < runs; ++run) {
        first.push_back(timed(&editor, [&] { dept->setText(QStringLiteral("部")); }));
        second.push_back(timed(&editor, [&] { dept->setText(QStringLiteral("部门3")); }));
        clear.push_back(timed(&editor, [&] { dept->clear(); }));
        first.push_back(timed(&editor, [&] { name->setText(QStringLiteral("9")); }));
        clear.push_back(timed(&editor, [&] { name->clear(); }));
    }
    if (editor.shownRoster()->rowCount() != people) {
        std::printf("the cleared filter shows %d of %d people\n", editor.shownRoster()->rowCount(), people);
    }
    report("filter keystroke, most rows stay, 100,000 people", first, 100);
    report("filter keystroke, a tenth of the rows stays", second, 100);
    report("filter cleared, every row back", clear, 100);

    std::vector<double> sorts;
    for (int run = 0; run < runs; ++run) {
        sorts.push_back(timed(&editor, [&] { editor.shownRoster()->sort(RosterFilterModel::EmpName); }));
        sorts.push_back(
            timed(&editor, [&] { editor.shownRoster()->sort(RosterFilterModel::Birthday, Qt::DescendingOrder); }));
    }
    report("sort of the grid's model (no sort in the grid), 100,000 people", sorts, 300);
    return 0;
}
