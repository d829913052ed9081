#include "rosterimport.h"

#include "calendar/birthdayrules.h"
#include "common/runtimeerror.h"
#include "rostercolumns.h"

#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <cmath>

namespace {

using RosterImport::DateReading;

// The caption row is looked for among the first rows: a title often stands above it.
constexpr int HeaderSearchRows = 10;
const QString IsoDate = QStringLiteral("yyyy-MM-dd");
const QDate FirstDay(1900, 1, 1);
const QDate LastDay(2999, 12, 31);

QString shortened(const QString& text, qsizetype length = 20)
{
    return text.size() <= length ? text : text.left(length) + QStringLiteral("…");
}

// The caption keys of every roster column.
const QList<QSet<QString>>& captionKeys()
{
    static const QList<QSet<QString>> keys = [] {
        QList<QSet<QString>> all;
        for (const RosterColumn& column : RosterColumns::all()) {
            QSet<QString> set { RosterImport::captionKey(column.title), RosterImport::captionKey(column.field) };
            for (const QString& alias : column.aliases) {
                set.insert(RosterImport::captionKey(alias));
            }
            all.append(set);
        }
        return all;
    }();
    return keys;
}

bool isEmptyRow(const QList<SheetCell>& cells)
{
    return std::all_of(cells.cbegin(), cells.cend(), [](const SheetCell& cell) { return cell.isEmpty(); });
}

// Full-width digits and signs (１９９０－０３－０５) read as their ASCII forms.
QString narrowed(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0xFF00 && c.unicode() <= 0xFFEF) {
            return text.normalized(QString::NormalizationForm_KC);
        }
    }
    return text;
}

RosterImport::DateReading dateOf(int year, int month, int day, const QString& shown)
{
    const QDate date(year, month, day);
    if (!date.isValid()) {
        return { {}, QStringLiteral("不存在的日期 %1").arg(shown) };
    }
    if (date < FirstDay) {
        return { {}, QStringLiteral("早于 1900 年的日期 %1").arg(shown) };
    }
    if (date > LastDay) {
        return { {}, QStringLiteral("晚于 2999 年的日期 %1").arg(shown) };
    }
    return { date, {} };
}

const QRegularExpression& yearFirst()
{
    static const QRegularExpression re(QStringLiteral(R"(^(\d{4})\s*[-/.年]\s*(\d{1,2})\s*[-/.月]\s*(\d{1,2})\s*日?)"
                                                      R"((?:(?:\s+|T)\d{1,2}:\d{2}(?::\d{2}(?:\.\d+)?)?Z?)?$)"));
    return re;
}

const QRegularExpression& yearLast()
{
    static const QRegularExpression re(
        QStringLiteral(R"(^(\d{1,2})\s*[-/.]\s*(\d{1,2})\s*[-/.]\s*(\d{4})(?:\s+\d{1,2}:\d{2}(?::\d{2})?)?$)"));
    return re;
}

const QRegularExpression& compact()
{
    static const QRegularExpression re(QStringLiteral(R"(^(\d{4})(\d{2})(\d{2})$)"));
    return re;
}

const QRegularExpression& serialText()
{
    static const QRegularExpression re(QStringLiteral(R"(^\d{1,7}(?:\.\d+)?$)"));
    return re;
}

RosterImport::DateReading serialReading(double serial, bool date1904, const QString& shown)
{
    const QDate date = ImportReaders::serialDate(serial, date1904);
    if (!date.isValid()) {
        return { {}, QStringLiteral("不能当作日期的数字 %1").arg(shown) };
    }
    return dateOf(date.year(), date.month(), date.day(), shown);
}

[[noreturn]] void failed(const QSqlQuery& query)
{
    throw RuntimeError(query.lastError().text());
}

QSet<QString> tableColumns(QSqlDatabase db)
{
    QSet<QString> names;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA table_info(birthday)"))) {
        failed(query);
    }
    while (query.next()) {
        names.insert(query.value(1).toString().toLower());
    }
    return names;
}

} // namespace

QString ImportRow::name() const
{
    return values.value(RosterColumns::indexOf(RosterColumns::Name)).toString();
}

bool ImportPlan::takesAnything() const
{
    return std::any_of(rows.cbegin(), rows.cend(),
                       [](const ImportRow& row) { return row.action != ImportRow::Action::Refuse; });
}

QString ImportPlan::summary() const
{
    return QStringLiteral("新增 %1 人，更新 %2 人，跳过 %3 行。").arg(added).arg(updated).arg(skipped);
}

QStringList ImportPlan::skippedLines() const
{
    QStringList lines;
    for (const ImportRow& row : rows) {
        if (row.action != ImportRow::Action::Skip && row.action != ImportRow::Action::Refuse) {
            continue;
        }
        const QString name = row.name().trimmed();
        lines.append(QStringLiteral("第 %1 行%2：%3")
                         .arg(row.sheetRow + 1)
                         .arg(name.isEmpty() ? QString() : QStringLiteral("（%1）").arg(shortened(name)))
                         .arg(row.reason));
    }
    return lines;
}

namespace RosterImport {

QString captionKey(const QString& caption)
{
    QString key;
    key.reserve(caption.size());
    for (const QChar c : narrowed(caption)) {
        if (c.isSpace() || c == QLatin1Char('_') || c == QLatin1Char('-') || c == QLatin1Char('.')
            || c == QLatin1Char(':') || c == QChar(0xFF1A) || c == QLatin1Char('(') || c == QLatin1Char(')')
            || c == QChar(0xFF08) || c == QChar(0xFF09) || c == QLatin1Char('*')) {
            continue;
        }
        key.append(c.toLower());
    }
    return key;
}

QString columnLetters(int column)
{
    QString letters;
    for (int n = column + 1; n > 0; n = (n - 1) / 26) {
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    }
    return letters;
}

ImportMapping guessMapping(const ImportSheet& sheet)
{
    const QList<RosterColumn>& columns = RosterColumns::all();
    ImportMapping mapping;
    mapping.columns = QList<int>(columns.size(), -1);
    const int nameColumn = RosterColumns::indexOf(RosterColumns::Name);
    for (int r = 0; r < sheet.rows.size() && r < HeaderSearchRows; ++r) {
        QList<int> found(columns.size(), -1);
        int matches = 0;
        const QList<SheetCell>& cells = sheet.rows.at(r);
        for (int c = 0; c < cells.size(); ++c) {
            if (cells.at(c).type != SheetCell::Type::Text) {
                continue;
            }
            const QString key = captionKey(cells.at(c).text);
            for (int i = 0; i < columns.size(); ++i) {
                if (found.at(i) < 0 && captionKeys().at(i).contains(key)) {
                    found[i] = c;
                    ++matches;
                    break;
                }
            }
        }
        if (matches >= 2 || (matches == 1 && found.at(nameColumn) >= 0)) {
            mapping.headerRow = r;
            for (int i = 0; i < columns.size(); ++i) {
                // The stored id is the station's own: an imported person gets a new one.
                mapping.columns[i] = columns.at(i).imported() ? found.at(i) : -1;
            }
            break;
        }
    }
    return mapping;
}

QString personKey(const QString& name, const QString& birthday)
{
    return name.trimmed() + QChar(0x1F) + birthday;
}

RosterKeys rosterKeys(QSqlDatabase db)
{
    RosterKeys keys;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT id, emp_name, birthday FROM birthday ORDER BY id"))) {
        failed(query);
    }
    while (query.next()) {
        const QString key = personKey(query.value(1).toString(), query.value(2).toString());
        if (!keys.contains(key)) {
            keys.insert(key, query.value(0).toLongLong());
        }
    }
    if (query.lastError().isValid()) {
        failed(query);
    }
    return keys;
}

DayOrder dayOrder(const ImportSheet& sheet, int column, int fromRow)
{
    bool dayFirst = false;
    bool monthFirst = false;
    for (int r = qMax(0, fromRow); r < sheet.rows.size(); ++r) {
        const SheetCell& cell = sheet.cell(r, column);
        if (cell.type != SheetCell::Type::Text) {
            continue;
        }
        const QRegularExpressionMatch match = yearLast().match(narrowed(cell.text.trimmed()));
        if (!match.hasMatch()) {
            continue;
        }
        const int a = match.captured(1).toInt();
        const int b = match.captured(2).toInt();
        dayFirst = dayFirst || (a > 12 && b <= 12);
        monthFirst = monthFirst || (b > 12 && a <= 12);
    }
    if (dayFirst && monthFirst) {
        return DayOrder::Mixed;
    }
    return dayFirst ? DayOrder::DayFirst : monthFirst ? DayOrder::MonthFirst : DayOrder::Unknown;
}

DateReading readDate(const SheetCell& cell, bool date1904, DayOrder order)
{
    switch (cell.type) {
    case SheetCell::Type::Empty:
        return { {}, QStringLiteral("没有日期") };
    case SheetCell::Type::Date:
        return dateOf(cell.date.year(), cell.date.month(), cell.date.day(), cell.text);
    case SheetCell::Type::Number: {
        const double n = cell.number;
        // 19900305 is a date written as digits, not a day number (which would lie beyond 9999).
        if (n == std::floor(n) && n >= 19000101 && n <= 29991231) {
            const auto whole = qint64(n);
            return dateOf(int(whole / 10000), int(whole / 100 % 100), int(whole % 100), cell.text);
        }
        return serialReading(n, date1904, cell.text);
    }
    case SheetCell::Type::Text:
        break;
    }
    const QString text = narrowed(cell.text.trimmed());
    if (text.isEmpty()) {
        return { {}, QStringLiteral("没有日期") };
    }
    QRegularExpressionMatch match = yearFirst().match(text);
    if (!match.hasMatch()) {
        match = compact().match(text);
    }
    if (match.hasMatch()) {
        return dateOf(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt(), text);
    }
    match = yearLast().match(text);
    if (match.hasMatch()) {
        const int a = match.captured(1).toInt();
        const int b = match.captured(2).toInt();
        const int year = match.captured(3).toInt();
        if (a == b || (a > 12 && b <= 12) || order == DayOrder::DayFirst) {
            return dateOf(year, b, a, text);
        }
        if ((b > 12 && a <= 12) || order == DayOrder::MonthFirst) {
            return dateOf(year, a, b, text);
        }
        if (a > 12 && b > 12) {
            return { {}, QStringLiteral("不存在的日期 %1").arg(text) };
        }
        return { {},
                 QStringLiteral("分不清月和日的日期“%1”（请写成 %2-%3-%4 这样的形式）")
                     .arg(text)
                     .arg(year)
                     .arg(a, 2, 10, QLatin1Char('0'))
                     .arg(b, 2, 10, QLatin1Char('0')) };
    }
    if (serialText().match(text).hasMatch()) {
        return serialReading(text.toDouble(), date1904, text);
    }
    return { {}, QStringLiteral("无法识别的日期“%1”").arg(shortened(text)) };
}

ImportPlan plan(const ImportSheet& sheet, const ImportMapping& mapping, const RosterKeys& roster, const QDate& today,
                ImportPlan::Duplicates duplicates)
{
    const QList<RosterColumn>& columns = RosterColumns::all();
    const int nameColumn = RosterColumns::indexOf(RosterColumns::Name);
    const int birthdayColumn = RosterColumns::indexOf(RosterColumns::Birthday);
    const int indateColumn = RosterColumns::indexOf(RosterColumns::Indate);
    const int lunarColumn = RosterColumns::indexOf(RosterColumns::Lunar);

    QList<DayOrder> orders(columns.size(), DayOrder::Unknown);
    for (int i = 0; i < columns.size(); ++i) {
        if (columns.at(i).kind == RosterColumn::Kind::Date && mapping.sheetColumn(i) >= 0) {
            orders[i] = dayOrder(sheet, mapping.sheetColumn(i), mapping.firstDataRow());
        }
    }

    ImportPlan result;
    QHash<QString, int> seen; // person -> the sheet row that brought them first
    for (int r = qMax(0, mapping.firstDataRow()); r < sheet.rows.size(); ++r) {
        if (isEmptyRow(sheet.rows.at(r))) {
            continue;
        }
        ImportRow row;
        row.sheetRow = r;
        row.values = QList<QVariant>(columns.size());
        QStringList problems;
        QList<QDate> dates(columns.size());
        for (int i = 0; i < columns.size(); ++i) {
            const RosterColumn& column = columns.at(i);
            const int source = mapping.sheetColumn(i);
            if (!column.imported() || source < 0) {
                if (column.required) {
                    problems.append(QStringLiteral("没有%1").arg(column.label));
                }
                continue;
            }
            const SheetCell& cell = sheet.cell(r, source);
            if (cell.isEmpty()) {
                row.values[i] = QVariant(); // stored as NULL: no value, as the editor's readings are
                if (column.required) {
                    problems.append(QStringLiteral("没有%1").arg(column.label));
                }
                continue;
            }
            if (column.kind == RosterColumn::Kind::Date) {
                const DateReading reading = readDate(cell, sheet.date1904, orders.at(i));
                if (!reading.date.isValid()) {
                    problems.append(QStringLiteral("%1是%2").arg(column.label, reading.problem));
                    continue;
                }
                dates[i] = reading.date;
                row.values[i] = reading.date.toString(IsoDate);
                continue;
            }
            QString text = cell.text;
            if (column.check) {
                const QString name = sheet.cell(r, mapping.sheetColumn(nameColumn)).text;
                QString problem = column.check(name, &text);
                if (!problem.isEmpty()) {
                    // One clause among the row's others: no full stop of its own; the column named once.
                    while (problem.endsWith(QStringLiteral("。")) || problem.endsWith(QLatin1Char('.'))) {
                        problem.chop(1);
                    }
                    problems.append(problem.startsWith(column.label)
                                        ? problem
                                        : QStringLiteral("%1：%2").arg(column.label, problem));
                }
                if (text.isEmpty()) {
                    continue; // no value at all
                }
            }
            if (column.required && text.trimmed().isEmpty()) {
                problems.append(QStringLiteral("没有%1").arg(column.label));
            } else if (column.maxLength > 0 && text.size() > column.maxLength) {
                problems.append(QStringLiteral("%1太长（%2 个字符，最多 %3 个）")
                                    .arg(column.label)
                                    .arg(text.size())
                                    .arg(column.maxLength));
            }
            row.values[i] = text;
        }
        const QDate birthday = dates.value(birthdayColumn);
        const QDate indate = dates.value(indateColumn);
        if (birthday.isValid() && birthday > today) {
            problems.append(QStringLiteral("生日 %1 在今天之后").arg(birthday.toString(IsoDate)));
        }
        if (birthday.isValid() && indate.isValid() && indate < birthday) {
            problems.append(QStringLiteral("入职日期 %1 早于生日").arg(indate.toString(IsoDate)));
        }
        // A lunar birthday needs a date of birth that the Chinese calendar can be read for.
        if (lunarColumn >= 0 && row.values.value(lunarColumn).toString() == QLatin1String("1") && birthday.isValid()) {
            const QString problem = BirthdayRules::lunarProblem(birthday);
            if (!problem.isEmpty()) {
                problems.append(problem);
            }
        }

        if (!problems.isEmpty()) {
            row.action = ImportRow::Action::Refuse;
            row.reason = problems.join(QStringLiteral("；"));
        } else {
            const QString key
                = personKey(row.values.at(nameColumn).toString(), row.values.at(birthdayColumn).toString());
            if (const auto earlier = seen.constFind(key); earlier != seen.constEnd()) {
                row.action = ImportRow::Action::Refuse;
                row.reason = QStringLiteral("与第 %1 行重复（姓名和生日相同）").arg(*earlier + 1);
            } else if (const auto existing = roster.constFind(key); existing != roster.constEnd()) {
                seen.insert(key, r);
                row.existingId = *existing;
                if (duplicates == ImportPlan::Duplicates::Update) {
                    row.action = ImportRow::Action::Update;
                } else {
                    row.action = ImportRow::Action::Skip;
                    row.reason = QStringLiteral("名册中已有此人（姓名和生日相同），按选择跳过");
                }
            } else {
                seen.insert(key, r);
                row.action = ImportRow::Action::Add;
            }
        }
        switch (row.action) {
        case ImportRow::Action::Add:
            ++result.added;
            break;
        case ImportRow::Action::Update:
            ++result.updated;
            break;
        case ImportRow::Action::Skip:
        case ImportRow::Action::Refuse:
            ++result.skipped;
            break;
        }
        result.rows.append(std::move(row));
    }
    return result;
}

ImportPlan apply(QSqlDatabase db, const ImportSheet& sheet, const ImportMapping& mapping, const QDate& today,
                 ImportPlan::Duplicates duplicates)
{
    const QList<RosterColumn>& columns = RosterColumns::all();
    QSqlQuery control(db);
    // The write lock first: the plan is then made on a roster nobody else changes.
    if (!control.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        throw RuntimeError(
            QStringLiteral("名册暂时无法写入（另一个程序正在写它？）：%1").arg(control.lastError().text()));
    }
    try {
        const ImportPlan result = plan(sheet, mapping, rosterKeys(db), today, duplicates);

        QStringList fields;
        QStringList marks;
        QStringList updates;
        QList<int> written; // roster columns, in the statements' order
        const QSet<QString> present = tableColumns(db);
        for (int i = 0; i < columns.size(); ++i) {
            // A file made before a column was added to the roster has no place for its values.
            if (!columns.at(i).imported() || !present.contains(columns.at(i).field.toLower())) {
                continue;
            }
            written.append(i);
            fields.append(columns.at(i).field);
            marks.append(QStringLiteral("?"));
        }
        for (const int i : written) {
            const QString& field = columns.at(i).field;
            // An empty cell keeps what the roster holds; name and birthday find the person.
            if (field != RosterColumns::Name && field != RosterColumns::Birthday) {
                updates.append(QStringLiteral("%1 = COALESCE(NULLIF(?, ''), %1)").arg(field));
            }
        }
        QSqlQuery insert(db);
        if (!insert.prepare(QStringLiteral("INSERT INTO birthday (%1) VALUES (%2)")
                                .arg(fields.join(QLatin1Char(',')), marks.join(QLatin1Char(','))))) {
            failed(insert);
        }
        QSqlQuery update(db);
        if (!updates.isEmpty()
            && !update.prepare(
                QStringLiteral("UPDATE birthday SET %1 WHERE id = ?").arg(updates.join(QLatin1Char(','))))) {
            failed(update);
        }
        for (const ImportRow& row : result.rows) {
            if (row.action == ImportRow::Action::Add) {
                for (const int i : written) {
                    // A yes/no column left empty is no: the roster keeps no unknown there.
                    const bool flag = columns.at(i).kind == RosterColumn::Kind::Flag;
                    insert.addBindValue(flag && row.values.at(i).isNull() ? QVariant(0) : row.values.at(i));
                }
                if (!insert.exec()) {
                    failed(insert);
                }
            } else if (row.action == ImportRow::Action::Update && !updates.isEmpty()) {
                for (const int i : written) {
                    const QString& field = columns.at(i).field;
                    if (field != RosterColumns::Name && field != RosterColumns::Birthday) {
                        update.addBindValue(row.values.at(i));
                    }
                }
                update.addBindValue(row.existingId);
                if (!update.exec()) {
                    failed(update);
                }
            }
        }
        insert.finish();
        update.finish();
        if (!control.exec(QStringLiteral("COMMIT"))) {
            failed(control);
        }
        return result;
    } catch (const RuntimeError& error) {
        QSqlQuery rollback(db);
        rollback.exec(QStringLiteral("ROLLBACK"));
        throw RuntimeError(QStringLiteral("导入没有写入名册，名册保持原样：%1").arg(error.message()));
    } catch (...) {
        QSqlQuery rollback(db);
        rollback.exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

} // namespace RosterImport
