#pragma once

#include <QDate>
#include <QList>
#include <QMap>
#include <QSqlDatabase>
#include <QString>

#include <optional>

// One day of the company's calendar: a day off (休) or a working day (班), with its holiday's name.
struct DayMark
{
    enum class Kind { DayOff, WorkingDay };

    QDate day;
    Kind kind = Kind::DayOff;
    QString name;

    // "休" or "班", as the table stores the kind.
    static QString kindText(Kind kind);
    static std::optional<Kind> kindFromText(const QString& text);
    bool operator==(const DayMark&) const = default;
};

// The marked days as the table holiday holds them, kept in memory for the scheduler's ticks and
// the compositions.
class DayMarks final
{
public:
    // Every row of the table; none when the file has no such table yet (a preview of an older file).
    // Throws RuntimeError with the database's text.
    static DayMarks read(const QSqlDatabase& db);

    const DayMark* find(const QDate& day) const;
    QList<DayMark> all() const { return m_marks.values(); }
    QList<DayMark> between(const QDate& first, const QDate& last) const;
    int size() const { return int(m_marks.size()); }
    bool isEmpty() const { return m_marks.isEmpty(); }

    void set(const DayMark& mark) { m_marks.insert(mark.day, mark); }
    void remove(const QDate& day) { m_marks.remove(day); }

private:
    QMap<QDate, DayMark> m_marks;
};

// Writes to the table holiday: every change in one transaction, all of it or nothing. Throws
// RuntimeError with the database's text (the table then holds what it held).
namespace HolidayStore {

// Sets each mark (replacing what its day held) and clears each day of `cleared`.
void write(QSqlDatabase db, const QList<DayMark>& marks, const QList<QDate>& cleared = {});

} // namespace HolidayStore
