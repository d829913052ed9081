// Times the roster import of 10,000 people from each format: reading the file, judging every row
// and writing them in one transaction into an empty draft.dat. The files are the station's own
// exports; an XLS in its OLE2 container (libfreexl) is made from the XLSX by LibreOffice when it
// is installed.
#include "birthdays/exportwriters.h"
#include "birthdays/importsheet.h"
#include "birthdays/rosterimport.h"
#include "data/tdm.h"
#include "figure.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

constexpr int People = 10000;
constexpr double AimMs = 2000;

ExportTable roster()
{
    ExportTable table;
    for (const char* caption : { "No", "姓名", "入职", "生日", "部门", "备注" }) {
        table.columns.append({ QString::fromUtf8(caption), ExportTable::Kind::Text, 66 });
    }
    for (int i = 0; i < People; ++i) {
        table.rows.append(
            { ExportCell::fromInteger(i + 1), ExportCell::fromText(QStringLiteral("员工%1 \"张\"").arg(i)),
              ExportCell::fromDate(QDate(2000, 1, 1).addDays(i % 9000)),
              ExportCell::fromDate(QDate(1960, 1, 1).addDays(i * 7 % 15000)),
              ExportCell::fromText(i % 3 ? QStringLiteral("生产部") : QStringLiteral("财务;<部>")),
              i % 5 ? ExportCell::fromText(QStringLiteral("备注 {%1}\n第二行").arg(i)) : ExportCell::missing() });
    }
    return table;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir folder;
    const ExportTable table = roster();
    QList<std::pair<QString, QString>> files; // what, path
    const struct
    {
        ExportFormat format;
        const char* name;
        const char* suffix;
    } formats[] = {
        { ExportFormat::Xls, "XLS (the station's own)", "xls" },
        { ExportFormat::Xlsx, "XLSX", "xlsx" },
        { ExportFormat::Csv, "CSV", "csv" },
        { ExportFormat::CsvUtf8, "CSV UTF-8", "utf8.csv" },
        { ExportFormat::Txt, "TXT", "txt" },
    };
    for (const auto& entry : formats) {
        const QString path = folder.filePath(QStringLiteral("roster.") + QLatin1String(entry.suffix));
        ExportWriters::write(path, entry.format, table);
        files.append({ QLatin1String(entry.name), path });
    }
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (!soffice.isEmpty()) {
        QTemporaryDir profile;
        QProcess convert;
        convert.start(soffice,
                      { QStringLiteral("-env:UserInstallation=file://") + profile.path(), QStringLiteral("--headless"),
                        QStringLiteral("--convert-to"), QStringLiteral("xls"), QStringLiteral("--outdir"),
                        folder.filePath(QStringLiteral("ole2")), folder.filePath(QStringLiteral("roster.xlsx")) });
        convert.waitForFinished(120000);
        const QString ole2 = folder.filePath(QStringLiteral("ole2/roster.xls"));
        if (QFile::exists(ole2)) {
            files.append({ QStringLiteral("XLS (OLE2, libfreexl)"), ole2 });
        }
    } else {
        out << "LibreOffice is not installed: no OLE2 workbook to time libfreexl on\n";
    }

    int serial = 0;
    for (const auto& [what, path] : files) {
        const QString database = folder.filePath(QStringLiteral("draft%1.dat").arg(++serial));
        TDM::createDatabase(database);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench%1").arg(serial));
        db.setDatabaseName(database);
        if (!db.open()) {
            out << "cannot open " << database << '\n';
            return 1;
        }
        QElapsedTimer timer;
        timer.start();
        const ImportSheet sheet = ImportReaders::read(path);
        const qint64 read = timer.nsecsElapsed();
        const ImportPlan plan = RosterImport::apply(db, sheet, RosterImport::guessMapping(sheet), QDate(2024, 3, 5),
                                                    ImportPlan::Duplicates::Skip);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        const bool missed = ms >= AimMs;
        out << what << ": " << plan.added << " people in " << ms << " ms (reading " << double(read) / 1e6
            << " ms; aim < " << AimMs << " ms" << (missed ? ", MISSED" : "") << ")\n";
        printFigure(qPrintable(QStringLiteral("import of 10,000 people from %1").arg(what)), "ms", ms, "", 0,
                    missed ? "< 2000 MISSED" : "< 2000");
        if (plan.added != People) {
            out << "  only " << plan.added << " of " << People << " were taken: " << plan.skippedLines().value(0)
                << '\n';
        }
    }
    return 0;
}
