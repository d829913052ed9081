#include "testdatabase.h"

#include "common/modelrows.h"
#include "common/runtimeerror.h"
#include "data/tdm.h"
#include "testfolder.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTest>

void createTestDatabase(const TestFolder& folder)
{
    try {
        TDM::createDatabase(folder.file(QStringLiteral("draft.dat")));
    } catch (const RuntimeError& error) {
        QFAIL(qPrintable(error.message()));
    }
}

void onDatabase(const TestFolder& folder, const std::function<void(QSqlDatabase)>& work)
{
    static int serial = 0;
    const QString name = QStringLiteral("test-on-database-%1").arg(++serial);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(folder.file(QStringLiteral("draft.dat")));
        QVERIFY(db.open());
        work(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

namespace {

QVariant textOrNull(const QString& text)
{
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

} // namespace

qint64 addEmployee(QSqlDatabase database, const QString& name, const QString& birthday, const QString& indate,
                   const QString& dept, const QString& remark)
{
    QSqlQuery query(database);
    query.prepare(QStringLiteral("INSERT INTO birthday (emp_name, birthday, dept, remark1, indate) "
                                 "VALUES (:name, :birthday, :dept, :remark, :indate)"));
    query.bindValue(QStringLiteral(":name"), name);
    query.bindValue(QStringLiteral(":birthday"), textOrNull(birthday));
    query.bindValue(QStringLiteral(":dept"), textOrNull(dept));
    query.bindValue(QStringLiteral(":remark"), textOrNull(remark));
    query.bindValue(QStringLiteral(":indate"), textOrNull(indate));
    if (!query.exec()) {
        qWarning("addEmployee(%s): %s", qPrintable(name), qPrintable(query.lastError().text()));
        return -1;
    }
    return query.lastInsertId().toLongLong();
}

qint64 addEmployee(TDM& module, const QString& name, const QString& birthday, const QString& indate,
                   const QString& dept, const QString& remark)
{
    const qint64 id = addEmployee(module.database(), name, birthday, indate, dept, remark);
    if (QSqlTableModel* roster = module.Q_birthday2()) {
        roster->select();
        fetchAllRows(*roster);
    }
    return id;
}
