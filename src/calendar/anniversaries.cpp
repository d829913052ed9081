#include "anniversaries.h"

#include "birthdayrules.h"
#include "common/runtimeerror.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <algorithm>

namespace Anniversaries {

QList<AnniversaryEntry> on(const QSqlDatabase& db, const QList<QDate>& days, const QList<int>& years)
{
    QList<AnniversaryEntry> entries;
    if (days.isEmpty() || years.isEmpty()) {
        return entries;
    }
    const QSet<int> counts(years.cbegin(), years.cend());
    QStringList tokens { QStringLiteral("'02-29'") };
    for (const QDate& day : days) {
        tokens.append(QStringLiteral("'%1'").arg(day.toString(QStringLiteral("MM-dd"))));
    }
    QSqlQuery query(db);
    query.setForwardOnly(true);
    // The tokens are digits and hyphens the program made, never user text.
    if (!query.exec(QStringLiteral("SELECT id, emp_name, indate FROM birthday WHERE substr(indate, 6, 5) IN (%1) "
                                   "ORDER BY indate, id")
                        .arg(tokens.join(QLatin1Char(','))))) {
        throw RuntimeError(query.lastError().text());
    }
    while (query.next()) {
        const QDate joined = BirthdayRules::parseDay(query.value(2).toString());
        if (!joined.isValid()) {
            continue;
        }
        for (const QDate& day : days) {
            const int n = day.year() - joined.year();
            if (counts.contains(n) && BirthdayRules::celebratesOn(joined, false, day)) {
                entries.append({ query.value(1).toString().trimmed(), n, day, joined });
            }
        }
    }
    if (query.lastError().isValid()) {
        throw RuntimeError(query.lastError().text());
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const AnniversaryEntry& a, const AnniversaryEntry& b) { return a.day < b.day; });
    return entries;
}

} // namespace Anniversaries
