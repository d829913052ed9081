#include "telltimetab.h"

#include "common/errorguard.h"
#include "common/helpers.h"
#include "common/runtimeerror.h"
#include "ui_telltimetab.h"

#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QSqlError>
#include <QSqlRecord>
#include <QSqlTableModel>

namespace {

struct ColumnSpec
{
    const char* field;
    const char* caption;
    int width;
};

const ColumnSpec Columns[] = {
    { "id", "No", 28 },
    { "stime", "时间", 68 },
    { "text", "播放内容", 250 },
    { "isplay", "是否播放", 60 },
};

} // namespace

// The grid's view of telltime: captions, everything read-only, and isplay as a check box that writes
// the value back in the form the table stores it.
class TellTimeGridModel final : public QIdentityProxyModel
{
public:
    TellTimeGridModel(QSqlTableModel* source, Dialogs& dialogs, QObject* parent)
        : QIdentityProxyModel(parent)
        , m_table(source)
        , m_dialogs(dialogs)
    {
        setSourceModel(source);
    }

    int fieldColumn(const char* field) const { return m_table->record().indexOf(QLatin1String(field)); }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
            for (const ColumnSpec& column : Columns) {
                if (fieldColumn(column.field) == section) {
                    return QString::fromUtf8(column.caption);
                }
            }
        }
        return QIdentityProxyModel::headerData(section, orientation, role);
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Qt::ItemFlags result = QIdentityProxyModel::flags(index) & ~Qt::ItemIsEditable;
        if (index.column() == fieldColumn("isplay")) {
            result |= Qt::ItemIsUserCheckable;
        }
        return result;
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (index.column() == fieldColumn("isplay")) {
            const QVariant stored = QIdentityProxyModel::data(index, Qt::EditRole);
            switch (role) {
            case Qt::CheckStateRole:
                return isplayValue(stored) ? Qt::Checked : Qt::Unchecked;
            case Qt::DisplayRole:
            case Qt::EditRole:
                return QVariant();
            default:
                break;
            }
        }
        return QIdentityProxyModel::data(index, role);
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (index.column() != fieldColumn("isplay") || role != Qt::CheckStateRole) {
            return false;
        }
        const bool yes = value.toInt() == Qt::Checked;
        const QVariant current = QIdentityProxyModel::data(index, Qt::EditRole);
        if (isplayValue(current) == yes && !current.isNull()) {
            return true;
        }
        // A table that holds yes/no as words keeps words; otherwise 1/0.
        QVariant stored = yes ? QVariant(1) : QVariant(0);
        if (current.typeId() == QMetaType::QString) {
            bool numeric = false;
            current.toString().toLongLong(&numeric);
            if (!numeric && !current.toString().isEmpty()) {
                stored = yes ? QStringLiteral("yes") : QStringLiteral("no");
            }
        }
        if (!QIdentityProxyModel::setData(index, stored, Qt::EditRole)) {
            errorbox(m_dialogs, m_table->lastError().text());
            return false;
        }
        // The grid posts the change at once; the announcements follow it after the tab's save.
        if (m_table->editStrategy() != QSqlTableModel::OnManualSubmit && m_table->isDirty() && !m_table->submitAll()) {
            errorbox(m_dialogs, m_table->lastError().text());
            return false;
        }
        return true;
    }

private:
    QSqlTableModel* m_table;
    Dialogs& m_dialogs;
};

TellTimeTab::TellTimeTab(QSqlTableModel* Q_telltime, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent)
    , m_ui(new Ui::TellTimeTab)
    , m_dialogs(dialogs)
    , m_Q_telltime(Q_telltime)
{
    m_ui->setupUi(this);
    QTableView* grid = m_ui->DBGridEh1;
    grid->verticalHeader()->setVisible(false);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    if (m_Q_telltime) {
        m_grid = new TellTimeGridModel(m_Q_telltime, m_dialogs, this);
        grid->setModel(m_grid);
        const QSqlRecord fields = m_Q_telltime->record();
        for (int column = 0; column < fields.count(); ++column) {
            grid->setColumnHidden(column, true);
        }
        grid->horizontalHeader()->setMinimumSectionSize(20); // "No" is narrower than the style's minimum
        int visual = 0;
        for (const ColumnSpec& shown : Columns) {
            const int column = fields.indexOf(QLatin1String(shown.field));
            if (column < 0) {
                continue;
            }
            grid->setColumnHidden(column, false);
            grid->setColumnWidth(column, shown.width);
            grid->horizontalHeader()->moveSection(grid->horizontalHeader()->visualIndex(column), visual++);
        }
        // submitAll() reselects the table; keep the user on the row being edited.
        connect(m_grid, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
            m_lastRow = m_ui->DBGridEh1->currentIndex().row();
            m_lastColumn = m_ui->DBGridEh1->currentIndex().column();
        });
        connect(m_grid, &QAbstractItemModel::modelReset, this, [this] {
            if (m_lastRow >= 0 && m_lastRow < m_grid->rowCount()) {
                m_ui->DBGridEh1->setCurrentIndex(m_grid->index(m_lastRow, qMax(0, m_lastColumn)));
            }
        });
    }
    connect(m_ui->BitBtn5, &QPushButton::clicked, this, [this] { guarded(m_dialogs, [this] { BitBtn5Click(); }); });
    guarded(m_dialogs, [this] { filltelltime(); });
}

TellTimeTab::~TellTimeTab() = default;

void TellTimeTab::postPendingEdit()
{
    if (!m_Q_telltime || !m_Q_telltime->isDirty()) {
        return;
    }
    if (!m_Q_telltime->submitAll()) {
        // The change stays in the grid, so a second save can still store it.
        throw RuntimeError(m_Q_telltime->lastError().text());
    }
}

void TellTimeTab::filltelltime()
{
    postPendingEdit();
    m_sgrid3 = ::filltelltime(m_Q_telltime);
    emit telltimeFilled(m_sgrid3);
}

void TellTimeTab::BitBtn5Click()
{
    filltelltime();
    infobox(m_dialogs, QStringLiteral("保存成功!"));
}
