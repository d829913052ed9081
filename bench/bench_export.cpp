// Times the roster export of 10,000 records in every format. With a folder argument the files are
// kept there for inspection.
#include "birthdays/exporttable.h"
#include "birthdays/exportwriters.h"
#include "figure.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSortFilterProxyModel>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTemporaryDir>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int records = 10000;

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(QStringLiteral(":memory:"));
    if (!db.open()) {
        out << "cannot open SQLite\n";
        return 1;
    }
    QSqlQuery query(db);
    query.exec(QStringLiteral("create table birthday (id integer primary key, emp_name text, indate date, "
                              "birthday text, dept text, remark1 text)"));
    db.transaction();
    query.prepare(
        QStringLiteral("insert into birthday (emp_name, indate, birthday, dept, remark1) values (?, ?, ?, ?, ?)"));
    for (int i = 0; i < records; ++i) {
        query.addBindValue(QStringLiteral("员工%1 \"张\"").arg(i));
        query.addBindValue(QDate(2000, 1, 1).addDays(i % 9000).toString(Qt::ISODate));
        query.addBindValue(QDate(1960, 1, 1).addDays(i * 7 % 15000).toString(Qt::ISODate));
        query.addBindValue(i % 3 ? QStringLiteral("生产部") : QStringLiteral("财务;<部>"));
        query.addBindValue(i % 5 ? QVariant(QStringLiteral("备注 {%1}\\").arg(i))
                                 : QVariant(QMetaType(QMetaType::QString)));
        if (!query.exec()) {
            out << query.lastError().text() << '\n';
            return 1;
        }
    }
    db.commit();

    QSqlTableModel model(nullptr, db);
    model.setTable(QStringLiteral("birthday"));
    model.select();
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(&model);

    QTemporaryDir temp;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    QDir().mkpath(folder);

    QElapsedTimer timer;
    timer.start();
    ExportLayout layout;
    layout.name = QStringLiteral("DBGridEh1");
    layout.columns = { 0, 1, 2, 3, 4, 5 };
    layout.widths = { 36, 66, 66, 66, 84, 143 };
    const ExportTable table = exportTableFromModel(proxy, layout);
    out << "read " << table.rows.size() << " records from the grid's model: " << timer.elapsed() << " ms\n";

    const struct
    {
        ExportFormat format;
        const char* name;
    } formats[] = { { ExportFormat::Xls, "xls" },
                    { ExportFormat::Txt, "txt" },
                    { ExportFormat::Csv, "csv" },
                    { ExportFormat::Html, "html" },
                    { ExportFormat::Rtf, "rtf" } };
    for (const auto& entry : formats) {
        const QString path = folder + QStringLiteral("/导出数据.") + QLatin1String(entry.name);
        timer.restart();
        const ExportTable fresh = exportTableFromModel(proxy, layout);
        ExportWriters::write(path, entry.format, fresh);
        const qint64 ms = timer.elapsed();
        out << entry.name << ": " << ms << " ms including reading the model, " << QFileInfo(path).size() << " bytes\n";
        printFigure(
            qPrintable(QStringLiteral("export of 10,000 people as %1").arg(QString::fromLatin1(entry.name).toUpper())),
            "ms", double(ms));
    }
    return 0;
}
