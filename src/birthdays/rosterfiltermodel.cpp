#include "rosterfiltermodel.h"

#include "calendar/birthdayrules.h"
#include "rostercolumns.h"
#include "speech/pinyin.h"

#include <QDate>
#include <QDateTime>
#include <QSqlError>
#include <QSqlQueryModel>
#include <QSqlRecord>
#include <QSqlTableModel>

#include <algorithm>
#include <limits>
#include <numeric>

namespace {

bool isFlagColumn(int column)
{
    return column >= 0 && column < RosterFilterModel::ColumnCount
        && RosterColumns::at(column).kind == RosterColumn::Kind::Flag;
}

bool isDateColumn(int column)
{
    return column >= 0 && column < RosterFilterModel::ColumnCount
        && RosterColumns::at(column).kind == RosterColumn::Kind::Date;
}

QString dateText(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QDateTime:
        return value.toDateTime().date().toString(QStringLiteral("yyyy-MM-dd"));
    default:
        return value.toString();
    }
}

} // namespace

RosterFilterModel::RosterFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent)
{
    Q_ASSERT(RosterColumns::all().size() == ColumnCount);
    m_sourceColumns.fill(-1);
    setFilterCaseSensitivity(Qt::CaseInsensitive);
    // A row edited so that it no longer matches stays until the filter changes, as it is being
    // worked on; it is not snatched from under the cursor.
    setDynamicSortFilter(false);
}

void RosterFilterModel::setSourceModel(QAbstractItemModel* model)
{
    if (sourceModel()) {
        disconnect(sourceModel(), nullptr, this, nullptr);
    }
    dropCachedValues();
    if (model) {
        // Connected ahead of the proxy's own handlers, which sort again on a reset or a new layout:
        // the keys of the rows as they were must be gone by then.
        for (const auto signal : { &QAbstractItemModel::modelAboutToBeReset, &QAbstractItemModel::modelReset }) {
            connect(model, signal, this, &RosterFilterModel::dropCachedValues);
        }
        connect(model, &QAbstractItemModel::layoutAboutToBeChanged, this, &RosterFilterModel::dropCachedValues);
        connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this, &RosterFilterModel::dropCachedValues);
        connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, &RosterFilterModel::dropCachedValues);
        connect(model, &QAbstractItemModel::dataChanged, this, &RosterFilterModel::dropCachedValues);
    }
    QSortFilterProxyModel::setSourceModel(model);
    findColumns();
    if (!model) {
        return;
    }
    connect(model, &QAbstractItemModel::modelReset, this, &RosterFilterModel::findColumns);
    connect(model, &QAbstractItemModel::layoutChanged, this, &RosterFilterModel::findColumns);
    // Source cells sit in other columns here: repaint the whole shown row of a changed cell.
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
                    const QModelIndex first = mapFromSource(sourceModel()->index(row, 0));
                    if (first.isValid()) {
                        emit dataChanged(index(first.row(), 0), index(first.row(), ColumnCount - 1));
                    }
                }
            });
    // Running numbers below an inserted or removed row move.
    const auto renumber = [this] {
        if (rowCount() > 0) {
            emit dataChanged(index(0, No), index(rowCount() - 1, No), { Qt::DisplayRole });
        }
    };
    connect(this, &QAbstractItemModel::rowsInserted, this, renumber);
    connect(this, &QAbstractItemModel::rowsRemoved, this, renumber);
}

void RosterFilterModel::findColumns()
{
    m_sourceColumns.fill(-1);
    const QAbstractItemModel* model = sourceModel();
    if (!model) {
        return;
    }
    const auto* query = qobject_cast<const QSqlQueryModel*>(model);
    for (int source = 0; source < model->columnCount(); ++source) {
        const QString name = query ? query->record().fieldName(source)
                                   : model->headerData(source, Qt::Horizontal, Qt::DisplayRole).toString();
        for (int column = 0; column < ColumnCount; ++column) {
            if (name.compare(fieldName(column), Qt::CaseInsensitive) == 0) {
                m_sourceColumns[column] = source;
            }
        }
    }
}

QString RosterFilterModel::fieldName(int column)
{
    return column >= 0 && column < ColumnCount ? RosterColumns::at(column).field : QString();
}

QString RosterFilterModel::title(int column)
{
    return column >= 0 && column < ColumnCount ? RosterColumns::at(column).title : QString();
}

int RosterFilterModel::width(int column)
{
    return column >= 0 && column < ColumnCount ? RosterColumns::at(column).width : 0;
}

void RosterFilterModel::setColumnFilter(int column, const QString& text)
{
    if (column < 0 || column >= ColumnCount || m_filters[column] == text) {
        return;
    }
    m_filters[column] = text;
    // One layout change for the whole new set of rows: the rows' own removals and insertions, range by
    // range, each renumbering the rest and each walked by the grid's headers, freeze a large roster
    // for seconds. The grid keeps its current record when it is still shown.
    invalidate();
}

QString RosterFilterModel::columnFilter(int column) const
{
    return column >= 0 && column < ColumnCount ? m_filters[column] : QString();
}

int RosterFilterModel::sourceColumn(int column) const
{
    return column >= 0 && column < ColumnCount ? m_sourceColumns[column] : -1;
}

QModelIndex RosterFilterModel::sourceCell(const QModelIndex& proxyIndex) const
{
    if (!proxyIndex.isValid() || !sourceModel()) {
        return {};
    }
    const int source = sourceColumn(proxyIndex.column());
    if (source < 0) {
        return {};
    }
    return sourceModel()->index(mapToSource(proxyIndex.siblingAtColumn(0)).row(), source);
}

int RosterFilterModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || !sourceModel() ? 0 : ColumnCount;
}

QString RosterFilterModel::displayText(int sourceRow, int column) const
{
    const int source = sourceColumn(column);
    if (source < 0) {
        return {};
    }
    const QVariant value = sourceModel()->data(sourceModel()->index(sourceRow, source), Qt::DisplayRole);
    if (isFlagColumn(column)) {
        return RosterColumns::flagText(value.toInt() != 0);
    }
    return isDateColumn(column) ? dateText(value) : value.toString();
}

QVariant RosterFilterModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !sourceModel()) {
        return {};
    }
    if (index.column() == No && (role == Qt::DisplayRole || role == Qt::EditRole)) {
        return index.row() + 1; // the running number, not the stored id
    }
    const QModelIndex cell = sourceCell(index);
    if (!cell.isValid()) {
        return {};
    }
    if (isFlagColumn(index.column())) {
        // A box: checked or not; its text stays out of the way of the box.
        const bool on = sourceModel()->data(cell, Qt::EditRole).toInt() != 0;
        if (role == Qt::CheckStateRole) {
            return on ? Qt::Checked : Qt::Unchecked;
        }
        if (role == Qt::EditRole) {
            return on ? 1 : 0;
        }
        if (role == Qt::ToolTipRole) {
            return on ? QStringLiteral("按农历过生日") : QStringLiteral("按公历过生日");
        }
        if (role == Qt::DisplayRole) {
            return QVariant();
        }
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        const QVariant value = sourceModel()->data(cell, role);
        if (isDateColumn(index.column())) {
            return value.isNull() ? QVariant() : QVariant(dateText(value));
        }
        return value;
    }
    return sourceModel()->data(cell, role);
}

bool RosterFilterModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() == No) {
        return false;
    }
    const QModelIndex cell = sourceCell(index);
    if (!cell.isValid()) {
        return false;
    }
    QVariant stored = value;
    if (isFlagColumn(index.column())) {
        if (role != Qt::CheckStateRole && role != Qt::EditRole) {
            return false;
        }
        const int flag = role == Qt::CheckStateRole ? (value.toInt() == Qt::Checked ? 1 : 0)
                                                    : RosterColumns::flagValue(value.toString());
        if (flag < 0) {
            emit editRefused(QStringLiteral("农历一栏只能是 是 或 否。"));
            return false;
        }
        const QString problem = lunarProblem(flag == 1, data(index.siblingAtColumn(Birthday), Qt::EditRole).toString());
        if (!problem.isEmpty()) {
            emit editRefused(problem);
            return false;
        }
        if (!sourceModel()->setData(cell, flag, Qt::EditRole)) {
            undoRefused();
            return false;
        }
        return true;
    }
    if (index.column() == Birthday && role == Qt::EditRole) {
        const bool lunar = data(index.siblingAtColumn(Lunar), Qt::EditRole).toInt() != 0;
        const QString problem = lunarProblem(lunar, value.toString());
        if (!problem.isEmpty()) {
            emit editRefused(problem);
            return false;
        }
    }
    if (index.column() == Pinyin && role == Qt::EditRole) {
        // A reading is kept in its stored form; an empty one is no reading at all.
        const QString typed = value.toString().trimmed();
        if (typed.isEmpty()) {
            stored = QVariant(QMetaType::fromType<QString>());
        } else {
            const QString name = data(index.siblingAtColumn(EmpName), Qt::EditRole).toString();
            const QString problem = Pinyin::problem(name, typed);
            if (!problem.isEmpty()) {
                emit editRefused(problem);
                return false;
            }
            stored = Pinyin::canonical(typed);
        }
    }
    if (!sourceModel()->setData(cell, stored, role)) {
        undoRefused();
        return false;
    }
    return true;
}

QString RosterFilterModel::lunarProblem(bool lunar, const QString& birthday)
{
    if (!lunar) {
        return QString();
    }
    const QDate born = QDate::fromString(birthday.trimmed().left(10), QStringLiteral("yyyy-MM-dd"));
    return BirthdayRules::lunarProblem(born);
}

bool RosterFilterModel::submit()
{
    if (!QSortFilterProxyModel::submit()) {
        undoRefused();
        return false;
    }
    return true;
}

void RosterFilterModel::undoRefused()
{
    QString error = QStringLiteral("数据未能保存。");
    if (auto* table = qobject_cast<QSqlTableModel*>(sourceModel())) {
        const QString text = table->lastError().text().trimmed();
        if (!text.isEmpty()) {
            error = text;
        }
        // Only the refused change is pending: the table posts each change as it is made.
        table->revertAll();
    }
    emit editRefused(error);
}

Qt::ItemFlags RosterFilterModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    if (index.column() == No) {
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    }
    const QModelIndex cell = sourceCell(index);
    if (!cell.isValid()) {
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    }
    const Qt::ItemFlags source = sourceModel()->flags(cell);
    if (isFlagColumn(index.column())) {
        // Ticked in place, never typed into.
        return (source & ~Qt::ItemIsEditable)
            | (source & Qt::ItemIsEditable ? Qt::ItemIsUserCheckable : Qt::NoItemFlags);
    }
    return source;
}

QVariant RosterFilterModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section >= 0 && section < ColumnCount) {
        if (role == Qt::DisplayRole) {
            return title(section);
        }
        if (role == Qt::EditRole) {
            return fieldName(section);
        }
        return {};
    }
    return QSortFilterProxyModel::headerData(section, orientation, role);
}

void RosterFilterModel::keepShownOrder()
{
    const QAbstractItemModel* model = sourceModel();
    const int idColumn = sourceColumn(No);
    if (!model || idColumn < 0) {
        return;
    }
    // Every row of the table, filtered out or not, in the order they would be shown now.
    QList<int> rows(model->rowCount());
    std::iota(rows.begin(), rows.end(), 0);
    const int column = sortColumn();
    const bool descending = sortOrder() == Qt::DescendingOrder;
    std::stable_sort(rows.begin(), rows.end(), [&](int left, int right) {
        if (column < 0) {
            return left < right;
        }
        // As the proxy itself compares them (lessThan reads only the rows).
        const QModelIndex a = model->index(left, 0);
        const QModelIndex b = model->index(right, 0);
        return descending ? lessThan(b, a) : lessThan(a, b);
    });
    QHash<qint64, int> order;
    for (int position = 0; position < rows.size(); ++position) {
        bool ok = false;
        const qint64 id = model->index(rows.at(position), idColumn).data(Qt::EditRole).toLongLong(&ok);
        if (ok && !order.contains(id)) {
            order.insert(id, position);
        }
    }
    m_keptOrder = order;
    dropCachedValues();
    // Sorted by the kept positions (lessThan), whatever the column; the table's next reading is too.
    sort(No, Qt::AscendingOrder);
}

void RosterFilterModel::forgetShownOrder()
{
    m_keptOrder.clear();
    dropCachedValues();
    sort(-1);
}

qint64 RosterFilterModel::keptPosition(int sourceRow) const
{
    const int idColumn = sourceColumn(No);
    if (m_keptOrder.isEmpty() || idColumn < 0 || !sourceModel()) {
        return std::numeric_limits<int>::max();
    }
    bool ok = false;
    const qint64 id = sourceModel()->index(sourceRow, idColumn).data(Qt::EditRole).toLongLong(&ok);
    return ok ? m_keptOrder.value(id, std::numeric_limits<int>::max()) : std::numeric_limits<int>::max();
}

void RosterFilterModel::dropCachedValues()
{
    m_sortKeys.fill(SortKeys {});
    m_filterTexts.fill({});
}

const std::vector<QString>& RosterFilterModel::filterTexts(int column) const
{
    std::vector<QString>& texts = m_filterTexts[column];
    const int rows = sourceModel()->rowCount();
    if (int(texts.size()) != rows) {
        texts.clear();
        texts.reserve(rows);
        for (int row = 0; row < rows; ++row) {
            texts.push_back(displayText(row, column));
        }
    }
    return texts;
}

void RosterFilterModel::buildSortKeys(int column) const
{
    SortKeys keys;
    keys.built = true;
    const QAbstractItemModel* model = sourceModel();
    const int rows = model ? model->rowCount() : 0;
    const int source = sourceColumn(column);
    keys.empty.assign(rows, false);
    keys.numbers.assign(rows, 0);
    const auto value = [&](int row) { return model->data(model->index(row, source), Qt::EditRole); };
    if (column == No) {
        for (int row = 0; row < rows; ++row) {
            keys.numbers[row] = keptPosition(row);
        }
    } else if (source < 0) {
        // A missing field: every row equal, the table's order.
    } else if (isFlagColumn(column)) {
        for (int row = 0; row < rows; ++row) {
            keys.numbers[row] = value(row).toInt() != 0 ? 1 : 0;
        }
    } else if (isDateColumn(column)) {
        for (int row = 0; row < rows; ++row) {
            const QString text = dateText(value(row)).trimmed();
            const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
            keys.empty[row] = text.isEmpty();
            // A text that is no date goes after every date (the table refuses such texts anyway).
            keys.numbers[row] = date.isValid() ? date.toJulianDay() : std::numeric_limits<qint64>::max();
        }
    } else {
        // Names sort as a Chinese reader expects (by pinyin), digits by their value: 员工2 before 员工10.
        // Each distinct text is ranked once (a department is shared by thousands).
        QHash<QString, qint64> distinct;
        QList<QString> texts;
        for (int row = 0; row < rows; ++row) {
            const QString text = value(row).toString().trimmed();
            keys.empty[row] = text.isEmpty();
            auto at = distinct.constFind(text);
            if (at == distinct.cend()) {
                at = distinct.insert(text, texts.size());
                texts.append(text);
            }
            keys.numbers[row] = at.value();
        }
        QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        collator.setNumericMode(true);
        std::vector<QCollatorSortKey> sortKeys;
        sortKeys.reserve(texts.size());
        for (const QString& text : std::as_const(texts)) {
            sortKeys.push_back(collator.sortKey(text));
        }
        std::vector<int> order(texts.size());
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(),
                  [&sortKeys](int a, int b) { return sortKeys[a].compare(sortKeys[b]) < 0; });
        // Texts the collation holds equal ("Anna", "anna") share a rank.
        std::vector<qint64> rank(texts.size());
        for (size_t at = 0; at < order.size(); ++at) {
            const bool same = at > 0 && sortKeys[order[at - 1]].compare(sortKeys[order[at]]) == 0;
            rank[order[at]] = at == 0 ? 0 : rank[order[at - 1]] + (same ? 0 : 1);
        }
        for (qint64& number : keys.numbers) {
            number = rank[number];
        }
    }
    m_sortKeys[column] = std::move(keys);
}

bool RosterFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const int column = sortColumn();
    const int a = left.row();
    const int b = right.row();
    if (column < 0 || column >= ColumnCount) {
        return a < b;
    }
    const SortKeys& keys = m_sortKeys[column];
    if (!keys.built || size_t(qMax(a, b)) >= keys.empty.size()) {
        buildSortKeys(column);
    }
    const bool ascending = sortOrder() == Qt::AscendingOrder;
    // The proxy sorts downwards by asking lessThan(right, left): an empty value is the greater one
    // going up and the smaller one going down, so it comes last either way.
    if (keys.empty[a] != keys.empty[b]) {
        return ascending ? keys.empty[b] : keys.empty[a];
    }
    if (keys.numbers[a] != keys.numbers[b]) {
        return keys.numbers[a] < keys.numbers[b];
    }
    // Equal values keep the table's order in either direction.
    return ascending ? a < b : a > b;
}

bool RosterFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    if (sourceParent.isValid()) {
        return false;
    }
    // The running number depends on the filter itself, so "No" takes no filter.
    for (int column = EmpName; column < ColumnCount; ++column) {
        const QString& filter = m_filters[column];
        if (!filter.isEmpty() && !filterTexts(column).at(sourceRow).contains(filter, Qt::CaseInsensitive)) {
            return false;
        }
    }
    return true;
}
