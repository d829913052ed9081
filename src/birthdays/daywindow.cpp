#include "daywindow.h"

#include <QStringList>

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
