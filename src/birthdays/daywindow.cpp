#include "daywindow.h"

#include <QHash>
#include <QSqlField>
#include <QStringList>
#include <QVariant>

namespace DayWindow {

QString token(const QDate& date)
{
    return date.toString(QStringLiteral("MM-dd"));
}

namespace {

    QString joinRange(const QDate& first, const QDate& last)
    {
        QStringList list;
        for (QDate date = first; date <= last; date = date.addDays(1)) {
            list.append(token(date));
        }
        return list.join(QLatin1Char(' '));
    }

} // namespace

QString tokens(const QDate& today, int days)
{
    if (days < 0 || days > 3 || !today.isValid()) {
        return QString();
    }
    return joinRange(today.addDays(-days), today.addDays(days));
}

QString previousDays(const QDate& today)
{
    if (!today.isValid()) {
        return QString();
    }
    return joinRange(today.addDays(-10), today);
}

QString tokensOf(const QList<QDate>& days)
{
    QStringList list;
    for (const QDate& day : days) {
        list.append(token(day));
    }
    return list.join(QLatin1Char(' '));
}

bool isBirthdayOn(const QString& birthday, const QDate& day)
{
    if (birthday.size() < 10) {
        return false;
    }
    // The stored form is "yyyy-mm-dd"; 29 February is accepted only in a leap year of birth.
    const QDate born = QDate::fromString(birthday.left(10), QStringLiteral("yyyy-MM-dd"));
    return born.isValid() && birthday.mid(5, 5) == token(day);
}

} // namespace DayWindow

namespace DayWindow {

namespace {

    const QString Celebrated = QStringLiteral("celebrated");
    const QString CatchUp = QStringLiteral("catch_up");

    // Who the row is, and on which day: the same person may stand in the window and in the catch-up.
    QString identity(const QSqlRecord& row)
    {
        const QVariant id = row.value(QStringLiteral("id"));
        const QString person = id.isNull() ? row.value(QStringLiteral("emp_name")).toString() + QChar(0x1F)
                + row.value(QStringLiteral("birthday")).toString()
                                           : id.toString();
        return person + QChar(0x1E) + celebratedDay(row).toString(Qt::ISODate);
    }

    QSqlRecord markedCatchUp(QSqlRecord row)
    {
        if (row.indexOf(CatchUp) < 0) {
            row.append(QSqlField(CatchUp, QMetaType::fromType<int>()));
        }
        row.setValue(CatchUp, 1);
        return row;
    }

} // namespace

QDate celebratedDay(const QSqlRecord& row)
{
    if (row.indexOf(Celebrated) >= 0) {
        return QDate::fromString(row.value(Celebrated).toString(), QStringLiteral("yyyy-MM-dd"));
    }
    return QDate();
}

bool celebratesOn(const QSqlRecord& row, const QDate& day)
{
    if (row.indexOf(Celebrated) >= 0) {
        return celebratedDay(row) == day;
    }
    const QVariant birthday = row.value(QStringLiteral("birthday"));
    return !birthday.isNull() && isBirthdayOn(birthday.toString(), day);
}

bool isLunar(const QSqlRecord& row)
{
    return row.indexOf(QStringLiteral("lunar")) >= 0 && row.value(QStringLiteral("lunar")).toInt() == 1;
}

bool isCatchUp(const QSqlRecord& row)
{
    return row.indexOf(CatchUp) >= 0 && row.value(CatchUp).toInt() == 1;
}

QList<QSqlRecord> withCatchUp(const QList<QSqlRecord>& window, const QList<QSqlRecord>& catchUp)
{
    if (catchUp.isEmpty()) {
        return window;
    }
    QHash<QString, int> caught;
    for (int i = 0; i < catchUp.size(); ++i) {
        caught.insert(identity(catchUp.at(i)), i);
    }
    QList<QSqlRecord> rows;
    QList<bool> taken(catchUp.size(), false);
    qsizetype next = 0; // the next catch-up row not yet placed
    const auto placeUpTo = [&](const QDate& day) {
        // Catch-up rows of earlier days go before the window's row of a later day.
        while (next < catchUp.size() && (!day.isValid() || celebratedDay(catchUp.at(next)) < day)) {
            if (!taken.at(next)) {
                taken[next] = true;
                rows.append(markedCatchUp(catchUp.at(next)));
            }
            ++next;
        }
    };
    for (const QSqlRecord& row : window) {
        const auto found = caught.constFind(identity(row));
        if (found != caught.constEnd()) {
            // Placed already among the earlier days: the person is listed once.
            if (!taken.at(*found)) {
                taken[*found] = true;
                rows.append(markedCatchUp(row));
            }
            continue;
        }
        const QDate day = celebratedDay(row);
        if (day.isValid()) {
            placeUpTo(day);
        }
        rows.append(row);
    }
    placeUpTo(QDate());
    return rows;
}

} // namespace DayWindow
