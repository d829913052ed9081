#include "dateplaceholder.h"

#include <QLocale>

namespace DatePlaceholder {

QString format(int datetimetype, const QDateTime& moment)
{
    // Numeric patterns use the C locale (Qt 6's toString(format)), so digits stay ASCII; the short
    // time comes from the system locale as the regional settings give it. The names of weekdays and
    // months are Chinese whatever the system's language: the station speaks Mandarin.
    const QLocale system = QLocale::system();
    const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China);
    const QDate date = moment.date();
    switch (datetimetype) {
    case 1:
        return date.toString(QStringLiteral("yyyy-MM-dd"));
    case 2:
        return moment.time().toString(QStringLiteral("H:mm:ss"));
    case 3:
        return system.toString(moment.time(), QLocale::ShortFormat);
    case 4:
        return date.toString(QStringLiteral("MM月dd日"));
    case 5:
        return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    case 6:
        return chinese.dayName(date.dayOfWeek(), QLocale::ShortFormat);
    case 7:
        return chinese.monthName(date.month(), QLocale::LongFormat);
    case 8:
        return date.toString(QStringLiteral("yyyy年MM月dd日")) + QLatin1Char(' ')
            + chinese.dayName(date.dayOfWeek(), QLocale::LongFormat);
    default:
        return QString();
    }
}

QString substitute(const QString& piece, int datetimetype, const QDateTime& moment)
{
    if (!piece.contains(Placeholder, Qt::CaseSensitive) || datetimetype < 1 || datetimetype > 8) {
        return piece;
    }
    QString spoken = piece;
    spoken.replace(Placeholder, format(datetimetype, moment), Qt::CaseInsensitive);
    return spoken;
}

} // namespace DatePlaceholder
