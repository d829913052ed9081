#pragma once

#include <QCollator>
#include <QHash>
#include <QSortFilterProxyModel>
#include <QStringList>

#include <array>
#include <vector>

// The roster as the editor's grid shows it: the columns No, 姓名, 读音, 入职, 生日, 农历, 部门, 备注 in
// that order, whatever the table's own column order; "No" is the running number of the shown row, the
// dates read "yyyy-mm-dd", 读音 the person's own reading in pinyin (a reading that does not fit the
// name is refused), 农历 a box (a lunar birthday the Chinese calendar cannot be read for is
// refused); one filter text per column narrows the rows (case-insensitive contains). A sort by a
// column orders names and other texts as the Chinese locale does (pinyin), dates by date, and puts
// rows without a value last in either direction; the No column sorts by the kept order (see below).
class RosterFilterModel final : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    enum Column { No, EmpName, Pinyin, Indate, Birthday, Lunar, Dept, Remark, ColumnCount };

    explicit RosterFilterModel(QObject* parent = nullptr);

    void setSourceModel(QAbstractItemModel* model) override;

    static QString fieldName(int column);
    static QString title(int column);
    static int width(int column);

    void setColumnFilter(int column, const QString& text);
    QString columnFilter(int column) const;

    // The rows keep the order they are shown in now, also when the table reads itself again in its own
    // order (as after a deletion, which would move the people appended since start-up elsewhere and put
    // another person under the cursor). Rows that come later follow in the table's order.
    void keepShownOrder();
    // Back to the table's own order (after an import, or changes made by another program).
    void forgetShownOrder();

    // The source column of one of the six columns, -1 when the table lacks the field.
    int sourceColumn(int column) const;
    QModelIndex sourceCell(const QModelIndex& proxyIndex) const;

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool submit() override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // The database refused an edit; the refused change was undone, every other row is as it was.
    void editRefused(const QString& error);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    QString displayText(int sourceRow, int column) const;
    void findColumns();
    void undoRefused();
    // The kept position of a source row; rows not kept come after all kept ones.
    qint64 keptPosition(int sourceRow) const;
    // Why a row cannot keep a lunar birthday with this date of birth; empty when it can.
    static QString lunarProblem(bool lunar, const QString& birthday);

    // What a sort compares for each source row of one column, read once per column until the table
    // changes instead of twice per comparison (a sort of 100,000 rows makes 1.7 million of them):
    // texts become their rank in the collation's order, dates day numbers.
    struct SortKeys
    {
        bool built = false;
        std::vector<qint64> numbers;
        std::vector<bool> empty;
    };
    void buildSortKeys(int column) const;
    // The shown texts of a column the filter narrows by, read once until the table changes: a
    // keystroke then tests 100,000 kept texts instead of reading and converting 100,000 cells.
    const std::vector<QString>& filterTexts(int column) const;
    void dropCachedValues();

    std::array<int, ColumnCount> m_sourceColumns {};
    std::array<QString, ColumnCount> m_filters;
    QHash<qint64, int> m_keptOrder; // id -> position
    mutable std::array<SortKeys, ColumnCount> m_sortKeys;
    mutable std::array<std::vector<QString>, ColumnCount> m_filterTexts;
};
