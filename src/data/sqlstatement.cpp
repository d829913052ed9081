#include "sqlstatement.h"

#include "common/runtimeerror.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlField>
#include <QVariant>

#include <sqlite3.h>

namespace {

QString utf16Text(const void* text)
{
    return text ? QString(static_cast<const QChar*>(text)) : QString();
}

// The Qt SQLite driver's reading of a declared column type.
QMetaType declaredType(const QString& declared)
{
    const QString name = declared.toLower();
    if (name == u"integer" || name == u"int") {
        return QMetaType(QMetaType::Int);
    }
    if (name == u"double" || name == u"float" || name == u"real" || name.startsWith(u"numeric")) {
        return QMetaType(QMetaType::Double);
    }
    if (name == u"blob") {
        return QMetaType(QMetaType::QByteArray);
    }
    if (name == u"boolean" || name == u"bool") {
        return QMetaType(QMetaType::Bool);
    }
    return QMetaType(QMetaType::QString);
}

QMetaType storedType(int storage)
{
    switch (storage) {
    case SQLITE_INTEGER:
        return QMetaType(QMetaType::Int);
    case SQLITE_FLOAT:
        return QMetaType(QMetaType::Double);
    case SQLITE_BLOB:
        return QMetaType(QMetaType::QByteArray);
    case SQLITE_TEXT:
        return QMetaType(QMetaType::QString);
    default:
        return QMetaType();
    }
}

// A text column as the driver reads it (SQLite's own UTF-16 conversion). Qt's UTF-8 decoder is
// several times faster and gives the same string for well-formed UTF-8; a text it had to mend (it
// then holds U+FFFD) or one that starts with a byte-order mark is read through SQLite instead.
QString textAt(sqlite3_stmt* statement, int column)
{
    const auto* utf8 = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    const int bytes = sqlite3_column_bytes(statement, column);
    // Qt drops a leading byte-order mark; SQLite keeps it.
    const bool byteOrderMark = bytes >= 3 && qstrncmp(utf8, "\xEF\xBB\xBF", 3) == 0;
    QString text = byteOrderMark ? QString() : QString::fromUtf8(utf8, bytes);
    if (byteOrderMark || text.contains(QChar::ReplacementCharacter)) {
        text = QString(static_cast<const QChar*>(sqlite3_column_text16(statement, column)),
                       sqlite3_column_bytes16(statement, column) / qsizetype(sizeof(QChar)));
    }
    return text;
}

} // namespace

SqlStatement::SqlStatement(sqlite3_stmt* statement)
    : m_statement(statement)
{
}

SqlStatement::~SqlStatement()
{
    sqlite3_finalize(m_statement);
}

sqlite3* SqlStatement::handleOf(const QSqlDatabase& database)
{
    try {
        return requireHandleOf(database);
    } catch (const RuntimeError&) {
        return nullptr;
    }
}

sqlite3* SqlStatement::requireHandleOf(const QSqlDatabase& database)
{
    const QVariant handle = database.driver() ? database.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        throw RuntimeError(QStringLiteral("数据库驱动不是 SQLite"));
    }
    sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
    if (!connection) {
        throw RuntimeError(QStringLiteral("数据库连接未打开"));
    }
    return connection;
}

std::unique_ptr<SqlStatement> SqlStatement::prepare(sqlite3* connection, const QString& sql)
{
    if (!connection) {
        return nullptr;
    }
    sqlite3_stmt* statement = nullptr;
    const void* tail = nullptr;
    const int bytes = static_cast<int>((sql.size() + 1) * sizeof(QChar));
    if (sqlite3_prepare16_v3(connection, sql.constData(), bytes, SQLITE_PREPARE_PERSISTENT, &statement, &tail)
            != SQLITE_OK
        || !statement) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    if (tail && !utf16Text(tail).trimmed().isEmpty()) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    return std::unique_ptr<SqlStatement>(new SqlStatement(statement));
}

QSqlRecord SqlStatement::shapeOfFirstRow() const
{
    QSqlRecord shape;
    const int columns = sqlite3_column_count(m_statement);
    for (int i = 0; i < columns; ++i) {
        const QString name = utf16Text(sqlite3_column_name16(m_statement, i)).remove(u'"');
        const QString table = utf16Text(sqlite3_column_table_name16(m_statement, i)).remove(u'"');
        const QString declared = utf16Text(sqlite3_column_decltype16(m_statement, i));
        const int storage = sqlite3_column_type(m_statement, i);
        QSqlField field(name, declared.isEmpty() ? storedType(storage) : declaredType(declared), table);
        field.setSqlType(storage);
        shape.append(field);
    }
    return shape;
}

bool SqlStatement::run(const QStringList& values, QList<QSqlRecord>& rows)
{
    rows.clear();
    struct Reset
    {
        sqlite3_stmt* statement;
        ~Reset()
        {
            sqlite3_reset(statement);
            sqlite3_clear_bindings(statement);
        }
    } reset { m_statement };

    if (sqlite3_reset(m_statement) != SQLITE_OK) {
        return false;
    }
    const int parameters = sqlite3_bind_parameter_count(m_statement);
    if (parameters != values.size()) {
        return false;
    }
    for (qsizetype i = 0; i < values.size(); ++i) {
        const QByteArray name = ":p" + QByteArray::number(i + 1);
        const int index = sqlite3_bind_parameter_index(m_statement, name.constData());
        if (index == 0) {
            return false;
        }
        const QString& value = values.at(i);
        // As the driver binds a QString: a null one is SQL NULL.
        const int rc = value.isNull()
            ? sqlite3_bind_null(m_statement, index)
            : sqlite3_bind_text16(m_statement, index, value.constData(), static_cast<int>(value.size() * sizeof(QChar)),
                                  SQLITE_STATIC);
        if (rc != SQLITE_OK) {
            return false;
        }
    }

    QSqlRecord shape;
    int columns = 0;
    for (;;) {
        const int rc = sqlite3_step(m_statement);
        if (rc == SQLITE_DONE) {
            return true;
        }
        if (rc != SQLITE_ROW) {
            rows.clear();
            return false;
        }
        if (shape.isEmpty()) {
            shape = shapeOfFirstRow();
            columns = shape.count();
        }
        QSqlRecord row = shape;
        for (int i = 0; i < columns; ++i) {
            // The driver's values: 64-bit integers, doubles, byte arrays, a null QString for NULL.
            switch (sqlite3_column_type(m_statement, i)) {
            case SQLITE_INTEGER:
                row.setValue(i, QVariant(static_cast<qlonglong>(sqlite3_column_int64(m_statement, i))));
                break;
            case SQLITE_FLOAT:
                row.setValue(i, QVariant(sqlite3_column_double(m_statement, i)));
                break;
            case SQLITE_BLOB:
                row.setValue(i,
                             QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(m_statement, i)),
                                                 sqlite3_column_bytes(m_statement, i))));
                break;
            case SQLITE_NULL:
                row.setValue(i, QVariant(QMetaType::fromType<QString>()));
                break;
            default:
                row.setValue(i, QVariant(textAt(m_statement, i)));
                break;
            }
        }
        rows.append(std::move(row));
    }
}
