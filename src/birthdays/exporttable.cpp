#include "exporttable.h"

#include "common/modelrows.h"
#include "rostercolumns.h"
#include "rosterfiltermodel.h"

#include <QAbstractItemModel>
#include <QAbstractProxyModel>
#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QSqlDriver>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlTableModel>

namespace {

struct ColumnInfo
{
    ExportTable::Kind kind = ExportTable::Kind::Text;
    bool date = false;
    bool flag = false; // a yes/no column of the roster, written 是 or 否
    bool known = false; // from the database rather than guessed from the values
};

ColumnInfo infoFromDeclaredType(const QString& declared)
{
    // SQLite's affinity rules: the declared type's name decides how the column stores its values.
    const QString type = declared.toUpper();
    ColumnInfo info;
    info.known = true;
    if (type.contains(QLatin1String("INT"))) {
        info.kind = ExportTable::Kind::Integer;
    } else if (type.contains(QLatin1String("DATE")) || type.contains(QLatin1String("TIME"))) {
        info.date = true;
    } else if (type.contains(QLatin1String("REAL")) || type.contains(QLatin1String("FLOA"))
               || type.contains(QLatin1String("DOUB")) || type.contains(QLatin1String("NUMERIC"))
               || type.contains(QLatin1String("DECIMAL")) || type.contains(QLatin1String("CURRENCY"))
               || type.contains(QLatin1String("MONEY"))) {
        info.kind = ExportTable::Kind::Float;
    }
    return info;
}

ColumnInfo infoFromMetaType(int id)
{
    ColumnInfo info;
    switch (id) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::SChar:
    case QMetaType::UChar:
        info.kind = ExportTable::Kind::Integer;
        info.known = true;
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        info.kind = ExportTable::Kind::Float;
        info.known = true;
        break;
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        info.date = true;
        info.known = true;
        break;
    default:
        break;
    }
    return info;
}

// The cell that holds a shown cell's stored value, under any proxies. The roster's own proxy
// rearranges the columns and shows a running number in "No"; its sourceCell() knows the stored one.
QModelIndex storedIndex(const QModelIndex& index)
{
    const QAbstractItemModel* model = index.model();
    if (const auto* roster = qobject_cast<const RosterFilterModel*>(model)) {
        const QModelIndex cell = roster->sourceCell(index);
        return cell.isValid() ? storedIndex(cell) : QModelIndex();
    }
    if (const auto* proxy = qobject_cast<const QAbstractProxyModel*>(model); proxy && proxy->sourceModel()) {
        const QModelIndex source = proxy->mapToSource(index);
        return source.isValid() ? storedIndex(source) : QModelIndex();
    }
    return index;
}

// Column infos by SQL field, or empty when the model is not an SQL query model.
QList<ColumnInfo> sqlColumnInfos(const QAbstractItemModel* model)
{
    auto* query = qobject_cast<const QSqlQueryModel*>(model);
    if (!query) {
        return {};
    }
    const QSqlRecord record = query->record();
    QHash<QString, QString> declared;
    auto* table = qobject_cast<const QSqlTableModel*>(query);
    if (table && table->database().driverName() == QLatin1String("QSQLITE")) {
        // The SQLite driver reports DATE columns as text; the declared types tell them apart.
        QSqlQuery pragma(table->database());
        const QString name = table->database().driver()->escapeIdentifier(table->tableName(), QSqlDriver::TableName);
        if (pragma.exec(QStringLiteral("PRAGMA table_info(") + name + QLatin1Char(')'))) {
            while (pragma.next()) {
                declared.insert(pragma.value(1).toString().toLower(), pragma.value(2).toString());
            }
        }
    }
    QList<ColumnInfo> infos;
    for (int i = 0; i < record.count(); ++i) {
        const QString type = declared.value(record.fieldName(i).toLower());
        ColumnInfo info
            = type.isEmpty() ? infoFromMetaType(record.field(i).metaType().id()) : infoFromDeclaredType(type);
        // The roster keeps its dates as "yyyy-mm-dd" texts, yet they are dates to the user.
        if (table && table->tableName().compare(QLatin1String("birthday"), Qt::CaseInsensitive) == 0) {
            const int column = RosterColumns::indexOf(record.fieldName(i));
            if (column >= 0 && RosterColumns::at(column).kind == RosterColumn::Kind::Date) {
                info.date = true;
                info.known = true;
            }
            if (column >= 0 && RosterColumns::at(column).kind == RosterColumn::Kind::Flag) {
                info.kind = ExportTable::Kind::Text;
                info.flag = true;
                info.known = true;
            }
        }
        infos.append(info);
    }
    return infos;
}

QVariant storedValue(const QModelIndex& index)
{
    const QVariant value = index.model()->data(index, Qt::EditRole);
    return value.isValid() ? value : index.model()->data(index, Qt::DisplayRole);
}

QVariant valueAt(const QAbstractItemModel& model, int row, int column)
{
    // The stored value, not what a view paints over it (the roster draws running numbers over the
    // stored id); the edit role carries it.
    const QModelIndex shown = model.index(row, column);
    const QModelIndex stored = storedIndex(shown);
    return storedValue(stored.isValid() ? stored : shown);
}

// Where every shown column of a row keeps its value when the proxies keep a row's cells in one row
// of one model (the roster's proxy, a filter): that model and its column for each shown column.
// Resolving them once, not for every cell, halves the time of a large export. Empty otherwise.
struct StoredColumns
{
    const QAbstractItemModel* model = nullptr;
    QList<int> columns;
};

StoredColumns storedColumns(const QAbstractItemModel& model, const QList<int>& columns, int rowCount)
{
    if (rowCount == 0 || columns.isEmpty()) {
        return {};
    }
    StoredColumns result;
    for (const int row : { 0, rowCount - 1 }) {
        const QModelIndex first = storedIndex(model.index(row, columns.first()));
        if (!first.isValid()) {
            return {};
        }
        for (qsizetype i = 0; i < columns.size(); ++i) {
            const QModelIndex stored = storedIndex(model.index(row, columns.at(i)));
            if (!stored.isValid() || stored.model() != first.model() || stored.row() != first.row()) {
                return {};
            }
            if (row == 0) {
                result.columns.append(stored.column());
            } else if (result.columns.at(i) != stored.column()) {
                return {};
            }
        }
        result.model = first.model();
    }
    return result;
}

bool isMissing(const QVariant& value)
{
    return !value.isValid() || value.isNull();
}

class CellFormatter
{
public:
    CellFormatter()
        : m_numbers(QLocale::system())
    {
        m_numbers.setNumberOptions(QLocale::OmitGroupSeparator);
    }

    ExportCell cell(const QVariant& value, const ColumnInfo& info) const
    {
        if (isMissing(value)) {
            return ExportCell::missing();
        }
        if (info.flag) {
            return ExportCell::fromText(RosterColumns::flagText(value.toInt() != 0));
        }
        const int type = value.metaType().id();
        if (info.date || type == QMetaType::QDate || type == QMetaType::QDateTime) {
            return dateCell(value);
        }
        switch (info.kind) {
        case ExportTable::Kind::Integer: {
            bool ok = false;
            const qint64 number = value.toLongLong(&ok);
            if (ok && (type != QMetaType::QString || value.toString().trimmed() == QString::number(number))) {
                return ExportCell::fromInteger(number);
            }
            break;
        }
        case ExportTable::Kind::Float: {
            bool ok = false;
            const double number = value.toDouble(&ok);
            if (ok) {
                ExportCell cell = ExportCell::fromReal(number);
                cell.text = m_numbers.toString(number, 'g', 15);
                return cell;
            }
            break;
        }
        case ExportTable::Kind::Text:
            if (infoFromMetaType(type).kind == ExportTable::Kind::Float) {
                return ExportCell::fromText(m_numbers.toString(value.toDouble(), 'g', 15));
            }
            break;
        }
        const QString text = value.toString();
        // An empty text in a number column is an empty field.
        if (text.isEmpty() && info.kind != ExportTable::Kind::Text) {
            return ExportCell::missing();
        }
        return ExportCell::fromText(text);
    }

private:
    static ExportCell dateCell(const QVariant& value)
    {
        QDate date;
        QTime time(0, 0);
        if (value.metaType().id() == QMetaType::QDate) {
            date = value.toDate();
        } else if (value.metaType().id() == QMetaType::QDateTime) {
            const QDateTime stamp = value.toDateTime();
            date = stamp.date();
            time = stamp.time();
        } else {
            const QString text = value.toString().trimmed();
            if (!readStamp(text, &date, &time)) {
                // Rarer forms; a local QDateTime consults the time zone, too slow for every cell.
                const QDateTime stamp = QDateTime::fromString(text, Qt::ISODate);
                if (!stamp.isValid()) {
                    return ExportCell::fromText(value.toString()); // not a date after all: shown as stored
                }
                date = stamp.date();
                time = stamp.time();
            }
        }
        if (!date.isValid()) {
            return ExportCell::fromText(value.toString());
        }
        if (time != QTime(0, 0)) {
            return ExportCell::fromText(date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ')
                                        + time.toString(QStringLiteral("HH:mm:ss")));
        }
        return ExportCell::fromDate(date);
    }

    // "yyyy-mm-dd" or "yyyy-mm-dd hh:mm:ss", read digit by digit.
    static bool readStamp(QStringView text, QDate* date, QTime* time)
    {
        const auto number = [&text](qsizetype from, qsizetype length, int* value) {
            *value = 0;
            for (qsizetype i = from; i < from + length; ++i) {
                const char16_t c = text.at(i).unicode();
                if (c < u'0' || c > u'9') {
                    return false;
                }
                *value = *value * 10 + (c - u'0');
            }
            return true;
        };
        int y = 0, m = 0, d = 0, hh = 0, mm = 0, ss = 0;
        if ((text.size() != 10 && text.size() != 19) || text.at(4) != QLatin1Char('-') || text.at(7) != QLatin1Char('-')
            || !number(0, 4, &y) || !number(5, 2, &m) || !number(8, 2, &d)) {
            return false;
        }
        if (text.size() == 19
            && (text.at(10) != QLatin1Char(' ') || text.at(13) != QLatin1Char(':') || text.at(16) != QLatin1Char(':')
                || !number(11, 2, &hh) || !number(14, 2, &mm) || !number(17, 2, &ss))) {
            return false;
        }
        *date = QDate(y, m, d);
        *time = QTime(hh, mm, ss);
        return date->isValid() && time->isValid();
    }

    QLocale m_numbers;
};

} // namespace

ExportCell ExportCell::fromInteger(qint64 value)
{
    return { Type::Integer, QString::number(value), value, 0, {} };
}

ExportCell ExportCell::fromReal(double value)
{
    return { Type::Float, QString::number(value, 'g', 15), 0, value, {} };
}

ExportCell ExportCell::fromDate(const QDate& date)
{
    // Written out digit by digit: the format-driven QDate::toString costs more than the rest of a cell.
    const int parts[3] = { date.year(), date.month(), date.day() };
    if (!date.isValid() || parts[0] < 0 || parts[0] > 9999) {
        return { Type::Date, date.toString(QStringLiteral("yyyy-MM-dd")), 0, 0, date };
    }
    char16_t text[10] = { 0, 0, 0, 0, u'-', 0, 0, u'-', 0, 0 };
    text[0] = char16_t(u'0' + parts[0] / 1000);
    text[1] = char16_t(u'0' + parts[0] / 100 % 10);
    text[2] = char16_t(u'0' + parts[0] / 10 % 10);
    text[3] = char16_t(u'0' + parts[0] % 10);
    text[5] = char16_t(u'0' + parts[1] / 10);
    text[6] = char16_t(u'0' + parts[1] % 10);
    text[8] = char16_t(u'0' + parts[2] / 10);
    text[9] = char16_t(u'0' + parts[2] % 10);
    return { Type::Date, QString(reinterpret_cast<const QChar*>(text), 10), 0, 0, date };
}

ExportTable exportTableFromModel(QAbstractItemModel& model, const ExportLayout& layout)
{
    // Models on a database hand out their rows in slices; the export takes them all.
    fetchAllRows(model);

    QList<int> columns = layout.columns;
    if (columns.isEmpty()) {
        for (int c = 0; c < model.columnCount(); ++c) {
            columns.append(c);
        }
    }

    const int rowCount = model.rowCount();
    ExportTable table;
    table.name = layout.name;
    table.fontFamily = layout.fontFamily;
    table.fontPointSize = layout.fontPointSize;

    QList<ColumnInfo> infos;
    for (int i = 0; i < columns.size(); ++i) {
        const int column = columns.at(i);
        // The database's declaration of the stored column decides, where there is one.
        ColumnInfo info;
        if (rowCount > 0) {
            const QModelIndex stored = storedIndex(model.index(0, column));
            if (stored.isValid()) {
                info = sqlColumnInfos(stored.model()).value(stored.column());
            }
        }
        if (!info.known) {
            // Without a database behind the model, the first value decides.
            for (int row = 0; row < rowCount; ++row) {
                const QVariant value = valueAt(model, row, column);
                if (!isMissing(value)) {
                    info = infoFromMetaType(value.metaType().id());
                    break;
                }
            }
        }
        infos.append(info);
        ExportTable::Column out;
        out.caption = model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        out.kind = info.kind;
        out.width = i < layout.widths.size() && layout.widths.at(i) > 0 ? layout.widths.at(i) : 64;
        table.columns.append(out);
    }

    const CellFormatter formatter;
    const StoredColumns stored = storedColumns(model, columns, rowCount);
    table.rows.reserve(rowCount);
    for (int row = 0; row < rowCount; ++row) {
        QList<ExportCell> cells;
        cells.reserve(columns.size());
        if (stored.model) {
            const int storedRow = storedIndex(model.index(row, columns.first())).row();
            for (int i = 0; i < columns.size(); ++i) {
                const QModelIndex index = stored.model->index(storedRow, stored.columns.at(i));
                cells.append(formatter.cell(storedValue(index), infos.at(i)));
            }
        } else {
            for (int i = 0; i < columns.size(); ++i) {
                cells.append(formatter.cell(valueAt(model, row, columns.at(i)), infos.at(i)));
            }
        }
        table.rows.append(std::move(cells));
    }
    return table;
}
