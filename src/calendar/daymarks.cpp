#include "daymarks.h"

#include "common/runtimeerror.h"
#include "data/calendartables.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

const QString DayOffText = QStringLiteral("休");
const QString WorkingDayText = QStringLiteral("班");
const QString IsoDate = QStringLiteral("yyyy-MM-dd");

[[noreturn]] void refuse(const QSqlQuery& query)
{
    throw RuntimeError(query.lastError().text());
}

} // namespace

QString DayMark::kindText(Kind kind)
{
    return kind == Kind::DayOff ? DayOffText : WorkingDayText;
}

std::optional<DayMark::Kind> DayMark::kindFromText(const QString& text)
{
    if (text == DayOffText) {
        return Kind::DayOff;
    }
    if (text == WorkingDayText) {
        return Kind::WorkingDay;
    }
    return std::nullopt;
}

DayMarks DayMarks::read(const QSqlDatabase& db)
{
    DayMarks marks;
    if (!CalendarTables::hasHolidayTable(db)) {
        return marks;
    }
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT day, kind, name FROM holiday ORDER BY day"))) {
        refuse(query);
    }
    while (query.next()) {
        const QDate day = QDate::fromString(query.value(0).toString(), IsoDate);
        const std::optional<DayMark::Kind> kind = DayMark::kindFromText(query.value(1).toString());
        // The table's CHECKs keep other rows out; one written by another tool is passed over.
        if (day.isValid() && kind) {
            marks.set({ day, *kind, query.value(2).toString() });
        }
    }
    if (query.lastError().isValid()) {
        refuse(query);
    }
    return marks;
}

const DayMark* DayMarks::find(const QDate& day) const
{
    const auto found = m_marks.constFind(day);
    return found == m_marks.constEnd() ? nullptr : &*found;
}

QList<DayMark> DayMarks::between(const QDate& first, const QDate& last) const
{
    QList<DayMark> marks;
    for (auto it = m_marks.lowerBound(first); it != m_marks.constEnd() && it.key() <= last; ++it) {
        marks.append(*it);
    }
    return marks;
}

namespace HolidayStore {

void write(QSqlDatabase db, const QList<DayMark>& marks, const QList<QDate>& cleared)
{
    if (marks.isEmpty() && cleared.isEmpty()) {
        return;
    }
    if (!db.transaction()) {
        throw RuntimeError(db.lastError().text());
    }
    try {
        QSqlQuery remove(db);
        if (!remove.prepare(QStringLiteral("DELETE FROM holiday WHERE day = ?"))) {
            refuse(remove);
        }
        for (const QDate& day : cleared) {
            remove.addBindValue(day.toString(IsoDate));
            if (!remove.exec()) {
                refuse(remove);
            }
        }
        QSqlQuery insert(db);
        if (!insert.prepare(QStringLiteral("INSERT OR REPLACE INTO holiday (day, kind, name) VALUES (?, ?, ?)"))) {
            refuse(insert);
        }
        for (const DayMark& mark : marks) {
            insert.addBindValue(mark.day.toString(IsoDate));
            insert.addBindValue(DayMark::kindText(mark.kind));
            // A day without a name keeps an empty one: the column holds no NULL.
            insert.addBindValue(mark.name.isNull() ? QStringLiteral("") : mark.name);
            if (!insert.exec()) {
                refuse(insert);
            }
        }
        remove.finish();
        insert.finish();
        if (!db.commit()) {
            throw RuntimeError(db.lastError().text());
        }
    } catch (...) {
        db.rollback();
        throw;
    }
}

} // namespace HolidayStore
