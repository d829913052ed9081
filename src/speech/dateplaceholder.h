#pragma once

#include <QDateTime>
#include <QString>

// The placeholder "%Date%" in texts that are read aloud, replaced by the date or time of the moment the
// piece is spoken, in one of eight formats (setting Speaker/Datetimetype).
namespace DatePlaceholder {

inline const QString Placeholder = QStringLiteral("%Date%");

// The moment formatted as format 1..8 says: weekday and month names in Chinese whatever the system
// locale, the short time format of the system locale. An empty string for any other format.
QString format(int datetimetype, const QDateTime& moment);

// The piece with every "%Date%" replaced, in any letter case, but only when the piece holds it written
// exactly "%Date%" and datetimetype is 1..8; otherwise the piece unchanged.
QString substitute(const QString& piece, int datetimetype, const QDateTime& moment);

} // namespace DatePlaceholder
