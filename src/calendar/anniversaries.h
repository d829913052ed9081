#pragma once

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>

// Somebody whose work anniversary (入职周年) falls on a day.
struct AnniversaryEntry
{
    QString name; // trimmed
    int years = 0;
    QDate day; // the anniversary
    QDate indate;

    bool operator==(const AnniversaryEntry&) const = default;
};

namespace Anniversaries {

// The people whose date of joining has its anniversary on one of the days, for the year counts
// listed (joined on 29 February: in a common year on the day of the 29 February rule). By day,
// then date of joining, then as entered. Throws RuntimeError with the database's text.
QList<AnniversaryEntry> on(const QSqlDatabase& db, const QList<QDate>& days, const QList<int>& years);

} // namespace Anniversaries
