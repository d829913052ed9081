// Times the roster export of 100,000 people in every format, from the roster grid's model as the
// export window reads it, whole as the editor holds it (an XLS worksheet holds 65,535 people: that
// one is timed at its most).
// With a folder argument the files are kept there for inspection.
#include "birthdays/exporttable.h"
#include "birthdays/exportwriters.h"
#include "birthdays/rosterfiltermodel.h"
#include "common/modelrows.h"
#include "data/tdm.h"
#include "figure.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

constexpr int People = 100000;
constexpr int XlsPeople = 65535; // a worksheet's 65,536 rows, the caption row included
constexpr double AimMs = 2000;

bool fill(QSqlDatabase db, int people, QTextStream& out)
{
    QSqlQuery query(db);
    db.transaction();
    query.prepare(
        QStringLiteral("INSERT INTO birthday (emp_name, indate, birthday, dept, remark1) VALUES (?, ?, ?, ?, ?)"));
    for (int i = 0; i < people; ++i) {
        // Mostly GBK; now and then a character code page 936 lacks, which the notice then names.
        query.addBindValue(i % 1000 == 0 ? QStringLiteral("员工%1𠀀").arg(i) : QStringLiteral("员工%1 \"张\"").arg(i));
        query.addBindValue(QDate(2000, 1, 1).addDays(i % 9000).toString(Qt::ISODate));
        query.addBindValue(QDate(1960, 1, 1).addDays(i * 7 % 15000).toString(Qt::ISODate));
        query.addBindValue(i % 3 ? QStringLiteral("生产部") : QStringLiteral("财务;<部>"));
        query.addBindValue(i % 5 ? QVariant(QStringLiteral("备注 {%1}\\\n第二行").arg(i))
                                 : QVariant(QMetaType(QMetaType::QString)));
        if (!query.exec()) {
            out << query.lastError().text() << '\n';
            return false;
        }
    }
    return db.commit();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);

    QTemporaryDir temp;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    QDir().mkpath(folder);
    const QString databasePath = temp.filePath(QStringLiteral("draft.dat"));
    TDM::createDatabase(databasePath);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(databasePath);
    if (!db.open() || !fill(db, People, out)) {
        out << "cannot fill the roster\n";
        return 1;
    }

    // The roster editor's grid: the table in joining order under the roster's own proxy.
    QSqlTableModel model(nullptr, db);
    model.setTable(QStringLiteral("birthday"));
    model.setSort(model.fieldIndex(QStringLiteral("indate")), Qt::AscendingOrder);
    RosterFilterModel shown;
    shown.setSourceModel(&model);
    ExportLayout layout;
    layout.name = QStringLiteral("DBGridEh1");
    for (int column = 0; column < RosterFilterModel::ColumnCount; ++column) {
        layout.columns.append(column);
        layout.widths.append(RosterFilterModel::width(column));
    }

    const struct
    {
        ExportFormat format;
        const char* name;
        const char* suffix;
    } formats[] = {
        { ExportFormat::Xls, "XLS", "xls" },    { ExportFormat::Txt, "TXT", "txt" },
        { ExportFormat::Csv, "CSV", "csv" },    { ExportFormat::CsvUtf8, "CSV UTF-8", "utf8.csv" },
        { ExportFormat::Html, "HTML", "html" }, { ExportFormat::Rtf, "RTF", "rtf" },
        { ExportFormat::Xlsx, "XLSX", "xlsx" },
    };
    QElapsedTimer timer;
    for (const auto& entry : formats) {
        const bool xls = entry.format == ExportFormat::Xls;
        model.setFilter(xls ? QStringLiteral("id <= %1").arg(XlsPeople) : QString());
        if (!model.select()) {
            out << model.lastError().text() << '\n';
            return 1;
        }
        // The editor's data set reads its rows whole when it opens, before any export: so here too,
        // timed apart.
        timer.restart();
        fetchAllRows(model);
        const double fetchMs = double(timer.nsecsElapsed()) / 1e6;
        const QString path = folder + QStringLiteral("/导出数据.") + QLatin1String(entry.suffix);
        timer.restart();
        const ExportTable table = exportTableFromModel(shown, layout);
        const double tableMs = double(timer.nsecsElapsed()) / 1e6;
        const ExportAlterations altered = ExportWriters::write(path, entry.format, table);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        const bool missed = ms >= AimMs;
        out << entry.name << ": " << table.rows.size() << " people in " << ms << " ms (aim < " << AimMs << " ms"
            << (missed ? ", MISSED" : "") << "), reading the model included; " << QFileInfo(path).size() << " bytes; "
            << altered.size() << " values announced as altered; the model read in " << tableMs
            << " ms (its rows fetched from the database before, as the editor does, in " << fetchMs << " ms)\n";
        const QString what = xls ? QStringLiteral("export of 65,535 people (a sheet's most) as XLS")
                                 : QStringLiteral("export of 100,000 people as %1").arg(QLatin1String(entry.name));
        printFigure(qPrintable(what), "ms", ms, "", 0, missed ? "< 2000 MISSED" : "< 2000");
    }
    out << "an XLS of " << People << " people is refused with a message: a worksheet holds 65,536 rows\n";
    return 0;
}
