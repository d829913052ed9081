#include "roster.h"

#include "common/modelrows.h"
#include "common/runtimeerror.h"

#include <QSqlError>
#include <QSqlRecord>
#include <QSqlTableModel>

namespace {

const QString DateFormat = QStringLiteral("yyyy-MM-dd");

[[noreturn]] void refuse(QSqlTableModel* table)
{
    const QString error = table->lastError().text().trimmed();
    table->revertAll();
    throw RuntimeError(error.isEmpty() ? QStringLiteral("数据未能保存。") : error);
}

// OnManualSubmit tables keep edits in memory until asked; post them now either way.
void post(QSqlTableModel* table)
{
    if (table->editStrategy() == QSqlTableModel::OnManualSubmit && !table->submitAll()) {
        refuse(table);
    }
}

} // namespace

bool RosterEntry::isComplete(const QString& name, const QString& birthdayText, const QString& indateText)
{
    return !name.trimmed().isEmpty() && !birthdayText.trimmed().isEmpty() && !indateText.trimmed().isEmpty();
}

void Roster::append(QSqlTableModel* table, const RosterEntry& entry)
{
    QSqlRecord record = table->record();
    record.setValue(QStringLiteral("emp_name"), entry.name);
    record.setValue(QStringLiteral("birthday"), entry.birthday.toString(DateFormat));
    record.setValue(QStringLiteral("dept"), entry.dept);
    record.setValue(QStringLiteral("remark1"), entry.remark);
    record.setValue(QStringLiteral("indate"), entry.indate.toString(DateFormat));
    if (record.indexOf(QStringLiteral("pinyin")) >= 0) {
        record.setValue(QStringLiteral("pinyin"),
                        entry.pinyin.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(entry.pinyin));
    }
    if (record.indexOf(QStringLiteral("lunar")) >= 0) {
        record.setValue(QStringLiteral("lunar"), entry.lunar ? 1 : 0);
    }
    const int id = record.indexOf(QStringLiteral("id"));
    if (id >= 0) {
        record.setGenerated(id, false);
    }
    if (!table->insertRecord(-1, record)) {
        refuse(table);
    }
    post(table);
}

void Roster::remove(QSqlTableModel* table, int row)
{
    if (row < 0 || row >= table->rowCount()) {
        return;
    }
    const int before = table->rowCount();
    if (!table->removeRow(row)) {
        refuse(table);
    }
    post(table);
    // A table that posts at once deletes in the database but keeps showing the row until it is
    // read again.
    if (table->rowCount() == before) {
        if (!table->select()) {
            throw RuntimeError(table->lastError().text());
        }
        fetchAllRows(*table);
    }
}
