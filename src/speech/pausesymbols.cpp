#include "pausesymbols.h"

#include "common/ansi.h"
#include "common/modelrows.h"
#include "common/runtimeerror.h"

#include <QSqlError>
#include <QSqlRecord>
#include <QSqlTableModel>
#include <QVariant>

#include <algorithm>
#include <utility>

namespace {

// candelete is a yes/no column; accept the forms a database may hand back for it.
bool isYes(const QVariant& value)
{
    if (value.isNull()) {
        return false;
    }
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("yes") || text == QLatin1String("y")) {
        return true;
    }
    bool ok = false;
    const qlonglong number = text.toLongLong(&ok);
    return ok ? number != 0 : value.toBool();
}

int clampPause(qlonglong ms)
{
    return static_cast<int>(std::clamp<qlonglong>(ms, 0, PauseTable::MaxPause));
}

int pauseValue(const QVariant& value)
{
    bool ok = false;
    const double ms = value.toDouble(&ok);
    if (!ok || ms != ms) {
        return 0;
    }
    if (ms >= PauseTable::MaxPause) {
        return PauseTable::MaxPause;
    }
    return clampPause(static_cast<qlonglong>(ms));
}

bool isNumberSeparator(char32_t c)
{
    return c == U'.' || c == U':' || c == U',' || c == U'．' || c == U'：';
}

} // namespace

PauseTable::PauseTable(const QString& delaysymbols, QHash<char32_t, int> pauses)
    : m_delaysymbols(delaysymbols)
    , m_pauses(std::move(pauses))
{
    m_pauses.remove(PauseMark);
    for (auto it = m_pauses.begin(); it != m_pauses.end(); ++it) {
        it.value() = clampPause(it.value());
    }
}

PauseTable PauseTable::fromRows(const QList<PauseRow>& rows)
{
    QString symbols;
    QHash<char32_t, int> pauses;
    for (const PauseRow& row : rows) {
        if (!row.candelete) {
            continue;
        }
        const QString descript = withoutMarks(row.descript.trimmed());
        symbols += descript;
        for (const char32_t c : descript.toUcs4()) {
            // A symbol listed twice keeps the pause of the first row that holds it.
            if (!pauses.contains(c)) {
                pauses.insert(c, clampPause(row.delaytime));
            }
        }
    }
    return PauseTable(symbols, std::move(pauses));
}

Piece cutPiece(const QString& window, const PauseTable& table)
{
    const QString limited = Ansi::left(window, PieceWindowBytes);
    for (qsizetype i = 0; i < limited.size();) {
        char32_t c = limited.at(i).unicode();
        qsizetype units = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < limited.size() && limited.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(limited.at(i), limited.at(i + 1));
            units = 2;
        }
        // A point, colon or comma between two digits belongs to a number: the "." of 36.5, the ":" of
        // 9:30, the "," of 1,000. A sentence's end (。) after a number still cuts.
        const bool insideNumber = isNumberSeparator(c) && i > 0 && i + units < limited.size()
            && limited.at(i - 1).isDigit() && limited.at(i + units).isDigit();
        i += units;
        if (table.isPauseSymbol(c) && !insideNumber) {
            return Piece { limited.left(i), table.pauseFor(c) };
        }
    }
    return Piece { limited, 0 };
}

bool containsMark(const QString& text)
{
    return text.contains(QChar(PauseMark));
}

QString withoutMarks(const QString& text)
{
    QString spoken = text;
    spoken.remove(QChar(PauseMark));
    return spoken;
}

PauseSymbols::PauseSymbols()
    : m_table(std::make_shared<const PauseTable>())
{
}

PauseTablePtr PauseSymbols::current() const
{
    std::lock_guard lock(m_mutex);
    return m_table;
}

void PauseSymbols::publish(PauseTablePtr table)
{
    if (!table) {
        table = std::make_shared<const PauseTable>();
    }
    std::lock_guard lock(m_mutex);
    m_table = std::move(table);
}

void PauseSymbols::setMarkdelay(int ms)
{
    m_markdelay.store(clampPause(ms));
}

QList<PauseRow> PauseSymbols::readRows(QSqlTableModel* q_delaytime)
{
    QList<PauseRow> rows;
    if (!q_delaytime) {
        return rows;
    }
    fetchAllRows(*q_delaytime);
    const int count = q_delaytime->rowCount();
    rows.reserve(count);
    for (int row = 0; row < count; ++row) {
        const QSqlRecord record = q_delaytime->record(row);
        rows.append(PauseRow { record.value(QStringLiteral("descript")).toString(),
                               pauseValue(record.value(QStringLiteral("delaytime"))),
                               isYes(record.value(QStringLiteral("candelete"))) });
    }
    return rows;
}

void PauseSymbols::getdelaystring(QSqlTableModel* q_delaytime)
{
    if (q_delaytime && q_delaytime->isDirty() && !q_delaytime->submitAll()) {
        throw RuntimeError(q_delaytime->lastError().text());
    }
    publish(std::make_shared<const PauseTable>(PauseTable::fromRows(readRows(q_delaytime))));
}
