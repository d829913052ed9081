#include "pausestab.h"

#include "common/errorguard.h"
#include "common/helpers.h"
#include "common/inifile.h"
#include "common/runtimeerror.h"
#include "common/stationsettings.h"
#include "pausesymbols.h"
#include "ui_pausestab.h"

#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QMenu>
#include <QSqlError>
#include <QSqlTableModel>

#include <algorithm>

namespace {

// The grid's view of the pause query: the titles, the read-only symbol and the "停顿" check box,
// without touching the data module's own model.
class PauseGridModel final : public QIdentityProxyModel
{
public:
    PauseGridModel(QSqlTableModel* source, QObject* parent)
        : QIdentityProxyModel(parent)
        , m_descript(source->fieldIndex(QStringLiteral("descript")))
        , m_candelete(source->fieldIndex(QStringLiteral("candelete")))
    {
        setSourceModel(source);
        const QString titles[]
            = { QStringLiteral("名称"), QStringLiteral("符号"), QStringLiteral("延时毫秒"), QStringLiteral("停顿") };
        const QString fields[] = { QStringLiteral("name"), QStringLiteral("descript"), QStringLiteral("delaytime"),
                                   QStringLiteral("candelete") };
        for (int i = 0; i < 4; ++i) {
            m_titles.insert(source->fieldIndex(fields[i]), titles[i]);
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && m_titles.contains(section)) {
            return m_titles.value(section);
        }
        return QIdentityProxyModel::headerData(section, orientation, role);
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (index.column() == m_candelete) {
            if (role == Qt::CheckStateRole) {
                return QIdentityProxyModel::data(index, Qt::EditRole).toInt() != 0 ? Qt::Checked : Qt::Unchecked;
            }
            if (role == Qt::DisplayRole || role == Qt::EditRole) {
                return QVariant();
            }
        }
        return QIdentityProxyModel::data(index, role);
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (index.column() == m_candelete && role == Qt::CheckStateRole) {
            return QIdentityProxyModel::setData(index, value.toInt() == Qt::Checked ? 1 : 0, Qt::EditRole);
        }
        return QIdentityProxyModel::setData(index, value, role);
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        Qt::ItemFlags flags = QIdentityProxyModel::flags(index);
        if (index.column() == m_descript) {
            flags &= ~Qt::ItemIsEditable;
        } else if (index.column() == m_candelete) {
            flags = (flags & ~Qt::ItemIsEditable) | Qt::ItemIsUserCheckable;
        }
        return flags;
    }

private:
    int m_descript;
    int m_candelete;
    QHash<int, QString> m_titles;
};

} // namespace

PausesTab::PausesTab(QSqlTableModel* q_delaytime, PauseSymbols& symbols, QWidget* addWindow, Dialogs& dialogs,
                     QWidget* parent)
    : QWidget(parent)
    , m_ui(new Ui::PausesTab)
    , m_dialogs(dialogs)
    , m_query(q_delaytime)
    , m_symbols(symbols)
    , m_addWindow(addWindow)
{
    m_ui->setupUi(this);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("PopupMenu1"));
    m_N1 = m_menu->addAction(QStringLiteral("&A.新增"));
    m_N1->setObjectName(QStringLiteral("N1"));
    m_N2 = m_menu->addAction(QStringLiteral("&D.删除"));
    m_N2->setObjectName(QStringLiteral("N2"));
    connect(m_N1, &QAction::triggered, this, [this] { guarded(m_dialogs, [this] { N1Click(); }); });
    connect(m_N2, &QAction::triggered, this, [this] { guarded(m_dialogs, [this] { N2Click(); }); });
    connect(m_ui->DBGridEh2, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { m_menu->popup(m_ui->DBGridEh2->viewport()->mapToGlobal(pos)); });
    connect(m_ui->BitBtn4, &QPushButton::clicked, this, [this] { guarded(m_dialogs, [this] { BitBtn4Click(); }); });

    if (m_query) {
        m_ui->DBGridEh2->setModel(new PauseGridModel(m_query, this));
        QHeaderView* header = m_ui->DBGridEh2->horizontalHeader();
        header->setMinimumSectionSize(20);
        const struct
        {
            const char* field;
            int width;
        } columns[] = { { "name", 91 }, { "descript", 30 }, { "delaytime", 56 }, { "candelete", 33 } };
        for (int column = 0; column < m_query->columnCount(); ++column) {
            m_ui->DBGridEh2->setColumnHidden(column, true);
        }
        for (int i = 0; i < 4; ++i) {
            const int column = m_query->fieldIndex(QLatin1String(columns[i].field));
            if (column < 0) {
                continue;
            }
            m_ui->DBGridEh2->setColumnHidden(column, false);
            header->moveSection(header->visualIndex(column), i);
            m_ui->DBGridEh2->setColumnWidth(column, columns[i].width);
        }
    }
    m_ui->DBGridEh2->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
}

PausesTab::~PausesTab() = default;

void PausesTab::FormShow()
{
    m_ui->S_delay2->setValue(StationSettings::read(IniFile(IniFile::defaultPath()), StationSettings::Delay2));
}

void PausesTab::storePendingEdit()
{
    // Leaving the row commits an open editor into the query; getdelaystring then posts it.
    QTableView* grid = m_ui->DBGridEh2;
    if (!grid->model()) {
        return;
    }
    const int column = grid->currentIndex().isValid() ? grid->currentIndex().column() : 0;
    grid->setCurrentIndex(QModelIndex());
    if (grid->model()->rowCount() > 0) {
        grid->setCurrentIndex(grid->model()->index(0, column));
    }
}

void PausesTab::BitBtn4Click()
{
    m_ui->S_delay2->interpretText();
    const int delay = m_ui->S_delay2->value();
    {
        IniChanges changes;
        StationSettings::set(changes, StationSettings::Delay2, delay);
        IniFile(IniFile::defaultPath()).write(changes);
    }
    m_symbols.setMarkdelay(delay);
    storePendingEdit();
    m_symbols.getdelaystring(m_query);
    infobox(m_dialogs, QStringLiteral("保存成功!"));
}

void PausesTab::N1Click()
{
    if (!m_addWindow) {
        return;
    }
    m_addWindow->show();
    m_addWindow->raise();
    m_addWindow->activateWindow();
}

void PausesTab::N2Click()
{
    const QModelIndex current = m_ui->DBGridEh2->currentIndex();
    if (!m_query || !current.isValid()) {
        return;
    }
    if (!askbox(m_dialogs, QStringLiteral("真的要删除这条记录吗?"))) {
        return;
    }
    if (!m_query->removeRow(current.row()) || (m_query->isDirty() && !m_query->submitAll())) {
        const QString error = m_query->lastError().text();
        m_query->revertAll();
        throw RuntimeError(error);
    }
    // The deleted row would stay as a blank line until the query is read again.
    if (!m_query->select()) {
        throw RuntimeError(m_query->lastError().text());
    }
    const int row = std::min(current.row(), m_query->rowCount() - 1);
    if (row >= 0) {
        m_ui->DBGridEh2->setCurrentIndex(m_ui->DBGridEh2->model()->index(row, current.column()));
    }
}
