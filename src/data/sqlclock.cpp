#include "sqlclock.h"

#include "common/clock.h"
#include "common/runtimeerror.h"
#include "sqlstatement.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

namespace {

void today(sqlite3_context* context, int, sqlite3_value**)
{
    const auto* clock = static_cast<const Clock*>(sqlite3_user_data(context));
    const QByteArray text = clock->currentDate().toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
    sqlite3_result_text(context, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

} // namespace

void registerClockFunctions(const QSqlDatabase& database, const Clock& clock)
{
    sqlite3* connection = SqlStatement::requireHandleOf(database);
    // Not deterministic: the date moves on while the program runs.
    const int rc = sqlite3_create_function_v2(connection, "today", 0, SQLITE_UTF8, const_cast<Clock*>(&clock), &today,
                                              nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        throw RuntimeError(QString::fromUtf8(sqlite3_errmsg(connection)));
    }
}
