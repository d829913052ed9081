#include "calendarsql.h"

#include "birthdayrules.h"
#include "common/runtimeerror.h"
#include "data/sqlstatement.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <cstdio>
#include <sqlite3.h>

namespace {

QDate dayArgument(sqlite3_value* value)
{
    if (sqlite3_value_type(value) != SQLITE_TEXT) {
        return QDate();
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    const int size = sqlite3_value_bytes(value);
    if (!text || size != 10) {
        return QDate();
    }
    return BirthdayRules::parseDay(QString::fromLatin1(text, size));
}

// A number of one or two digits ("3", "03"), or -1.
int smallNumber(const char* text, int size)
{
    if (!text || size < 1 || size > 2) {
        return -1;
    }
    int value = 0;
    for (int i = 0; i < size; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return -1;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

void resultDay(sqlite3_context* context, const QDate& day)
{
    if (!day.isValid()) {
        sqlite3_result_null(context);
        return;
    }
    char text[11];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", day.year(), day.month(), day.day());
    sqlite3_result_text(context, text, 10, SQLITE_TRANSIENT);
}

// nearest_day('mm-dd', today): the day of that month and day nearest to today (the coming one on
// a tie); 02-29 finds the nearest leap year's. NULL for a token that names no day.
void nearestDay(sqlite3_context* context, int, sqlite3_value** argv)
{
    const QDate today = dayArgument(argv[1]);
    const auto* token = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int size = sqlite3_value_bytes(argv[0]);
    if (!today.isValid() || !token || size != 5 || token[2] != '-') {
        sqlite3_result_null(context);
        return;
    }
    const int month = smallNumber(token, 2);
    const int day = smallNumber(token + 3, 2);
    QDate best;
    qint64 bestDistance = 0;
    for (int year = today.year() - 4; year <= today.year() + 4; ++year) {
        const QDate candidate(year, month, day);
        if (!candidate.isValid()) {
            continue;
        }
        const qint64 distance = qAbs(today.daysTo(candidate));
        if (!best.isValid() || distance < bestDistance || (distance == bestDistance && candidate > best)) {
            best = candidate;
            bestDistance = distance;
        }
    }
    resultDay(context, best);
}

// nearest_month('mm', today): the first day of that month in the year that puts it nearest to
// today (measured to its 15th; the coming one on a tie). NULL for no month.
void nearestMonth(sqlite3_context* context, int, sqlite3_value** argv)
{
    const QDate today = dayArgument(argv[1]);
    const int month
        = smallNumber(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])), sqlite3_value_bytes(argv[0]));
    if (!today.isValid() || month < 1 || month > 12) {
        sqlite3_result_null(context);
        return;
    }
    QDate best;
    qint64 bestDistance = 0;
    for (int year = today.year() - 1; year <= today.year() + 1; ++year) {
        const qint64 distance = qAbs(today.daysTo(QDate(year, month, 15)));
        if (!best.isValid() || distance < bestDistance || (distance == bestDistance && year > best.year())) {
            best = QDate(year, month, 1);
            bestDistance = distance;
        }
    }
    resultDay(context, best);
}

// birthday_between(birthday, lunar, first, last): the day in first..last on which the person
// celebrates, or NULL.
void birthdayBetween(sqlite3_context* context, int, sqlite3_value** argv)
{
    const QDate birth = dayArgument(argv[0]);
    const bool lunar = sqlite3_value_int(argv[1]) != 0;
    resultDay(context, BirthdayRules::celebrationBetween(birth, lunar, dayArgument(argv[2]), dayArgument(argv[3])));
}

// lunar_age(birthday, day): the age in lunar years reached at a lunar birthday on that day.
void lunarAge(sqlite3_context* context, int, sqlite3_value** argv)
{
    const QDate birth = dayArgument(argv[0]);
    const QDate day = dayArgument(argv[1]);
    if (!birth.isValid() || !day.isValid()) {
        sqlite3_result_null(context);
        return;
    }
    sqlite3_result_int(context, BirthdayRules::ageOn(birth, true, day));
}

} // namespace

void registerCalendarFunctions(const QSqlDatabase& database)
{
    sqlite3* connection = SqlStatement::requireHandleOf(database);
    struct Function
    {
        const char* name;
        int arguments;
        int flags;
        void (*body)(sqlite3_context*, int, sqlite3_value**);
    };
    // birthday_between follows the station's 29 February rule, which may change while it runs.
    const Function functions[] = {
        { "nearest_day", 2, SQLITE_DETERMINISTIC, &nearestDay },
        { "nearest_month", 2, SQLITE_DETERMINISTIC, &nearestMonth },
        { "birthday_between", 4, 0, &birthdayBetween },
        { "lunar_age", 2, SQLITE_DETERMINISTIC, &lunarAge },
    };
    for (const Function& f : functions) {
        const int rc = sqlite3_create_function_v2(connection, f.name, f.arguments, SQLITE_UTF8 | f.flags, nullptr,
                                                  f.body, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            throw RuntimeError(QString::fromUtf8(sqlite3_errmsg(connection)));
        }
    }
}
