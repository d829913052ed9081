#include "tfbirthday.h"

#include "birthdays/datedelegate.h"
#include "birthdays/filterheader.h"
#include "birthdays/importsheet.h"
#include "birthdays/roster.h"
#include "birthdays/rosterfiltermodel.h"
#include "birthdays/rosterimport.h"
#include "birthdays/tfimport.h"
#include "calendar/birthdayrules.h"
#include "common/clock.h"
#include "common/dialogs.h"
#include "common/errorguard.h"
#include "common/helpers.h"
#include "common/modelrows.h"
#include "common/runtimeerror.h"
#include "common/services.h"
#include "speech/pinyin.h"
#include "ui_tfbirthday.h"

#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMetaMethod>
#include <QScreen>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlTableModel>

#include <utility>

Tfbirthday::Tfbirthday(QSqlTableModel* roster, const Services& services, QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint
                  | Qt::WindowCloseButtonHint)
    , m_ui(new Ui::Tfbirthday)
    , m_dialogs(services.dialogsOrConsole())
    , m_clock(services.clockOrSystem())
    , m_roster(roster)
{
    m_ui->setupUi(this);
    setSizeGripEnabled(true);
    setupEntryPanel();
    setupGrid();
    m_dataVersion = dataVersion();
}

Tfbirthday::~Tfbirthday() = default;

void Tfbirthday::setupEntryPanel()
{
    // The grid, the exports and the stored texts all read yyyy-mm-dd, whatever the locale.
    for (QDateEdit* edit : { m_ui->Date1, m_ui->Date2 }) {
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setMinimumDate(QDate(1900, 1, 1));
        edit->setMaximumDate(QDate(2999, 12, 31));
        edit->setDate(m_clock.currentDate());
    }
    for (QWidget* field : { static_cast<QWidget*>(m_ui->edt_emp_name), static_cast<QWidget*>(m_ui->Date1),
                            static_cast<QWidget*>(m_ui->Date2), static_cast<QWidget*>(m_ui->chk_lunar),
                            static_cast<QWidget*>(m_ui->edt_dept), static_cast<QWidget*>(m_ui->edt_remark),
                            static_cast<QWidget*>(m_ui->edt_pinyin), static_cast<QWidget*>(m_ui->BitBtn1) }) {
        field->installEventFilter(this);
    }
    connect(m_ui->BitBtn1, &QPushButton::clicked, this, [this] { guarded(m_dialogs, [this] { BitBtn1Click(); }); });
    connect(m_ui->BitBtn2, &QPushButton::clicked, this, [this] { guarded(m_dialogs, [this] { BitBtn2Click(); }); });
}

void Tfbirthday::setupGrid()
{
    QTableView* grid = m_ui->DBGridEh1;
    m_shown = new RosterFilterModel(this);
    m_shown->setSourceModel(m_roster);

    m_header = new FilterHeader(grid);
    grid->setHorizontalHeader(m_header);
    grid->setModel(m_shown);
    m_header->setFilterFields(RosterFilterModel::ColumnCount, { RosterFilterModel::No });
    m_header->setMinimumSectionSize(16);
    for (int column = 0; column < RosterFilterModel::ColumnCount; ++column) {
        grid->setColumnWidth(column, RosterFilterModel::width(column));
    }
    // A whole date must stay readable, and editable beside the editor's calendar button, in the
    // screen's font, whatever its size.
    const int dateWidth = qMax(grid->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + 16,
                               DateDelegate::editorWidth(grid) + (grid->showGrid() ? 1 : 0));
    for (const int column : { int(RosterFilterModel::Indate), int(RosterFilterModel::Birthday) }) {
        grid->setColumnWidth(column, qMax(RosterFilterModel::width(column), dateWidth));
    }
    // A three-character name's reading stays readable.
    grid->setColumnWidth(RosterFilterModel::Pinyin,
                         qMax(RosterFilterModel::width(RosterFilterModel::Pinyin),
                              grid->fontMetrics().horizontalAdvance(QStringLiteral("zhang1 xiong2 xin4")) + 12));
    m_header->setStretchLastSection(true);
    // A file whose roster could not get the reading column (or the lunar one) shows none.
    grid->setColumnHidden(RosterFilterModel::Pinyin, m_shown->sourceColumn(RosterFilterModel::Pinyin) < 0);
    grid->setColumnHidden(RosterFilterModel::Lunar, m_shown->sourceColumn(RosterFilterModel::Lunar) < 0);
    m_ui->chk_lunar->setVisible(m_shown->sourceColumn(RosterFilterModel::Lunar) >= 0);
    grid->verticalHeader()->setVisible(false);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 8);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                          | QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    auto* dates = new DateDelegate(grid);
    grid->setItemDelegateForColumn(RosterFilterModel::Indate, dates);
    grid->setItemDelegateForColumn(RosterFilterModel::Birthday, dates);
    grid->installEventFilter(this);

    connect(m_header, &FilterHeader::filterChanged, m_shown, &RosterFilterModel::setColumnFilter);
    connect(m_shown, &RosterFilterModel::editRefused, this,
            [this](const QString& error) { errorbox(m_dialogs, error); });

    // The roster's change notification: any edit, insertion or deletion...
    if (m_roster) {
        connect(m_roster, &QAbstractItemModel::dataChanged, this, &Tfbirthday::markChanged);
        connect(m_roster, &QAbstractItemModel::rowsInserted, this, &Tfbirthday::markChanged);
        connect(m_roster, &QAbstractItemModel::rowsRemoved, this, &Tfbirthday::markChanged);
        connect(m_roster, &QAbstractItemModel::modelReset, this, &Tfbirthday::markChanged);
    }
    // ...and a move to another record.
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex& previous) {
                if (current.isValid() && current.row() != previous.row()) {
                    markChanged();
                }
            });

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("PopupMenu1"));
    m_N1 = m_menu->addAction(QStringLiteral("删除"));
    m_N1->setObjectName(QStringLiteral("N1"));
    m_Excel1 = m_menu->addAction(QStringLiteral("导出到Excel"));
    m_Excel1->setObjectName(QStringLiteral("Excel1"));
    m_Import1 = m_menu->addAction(QStringLiteral("导入…"));
    m_Import1->setObjectName(QStringLiteral("Import1"));
    connect(m_Import1, &QAction::triggered, this, [this] { guarded(m_dialogs, [this] { Import1Click(); }); });
    m_N2 = m_menu->addAction(QStringLiteral("试听姓名"));
    m_N2->setObjectName(QStringLiteral("N2"));
    connect(m_N1, &QAction::triggered, this, [this] { guarded(m_dialogs, [this] { N1Click(); }); });
    connect(m_N2, &QAction::triggered, this, [this] { guarded(m_dialogs, [this] { N2Click(); }); });
    connect(m_Excel1, &QAction::triggered, this, [this] { guarded(m_dialogs, [this] { Excel1Click(); }); });
    connect(grid, &QWidget::customContextMenuRequested, this, &Tfbirthday::showPopup);
}

qint64 Tfbirthday::dataVersion() const
{
    if (!m_roster) {
        return -1;
    }
    QSqlQuery query(m_roster->database());
    return query.exec(QStringLiteral("PRAGMA data_version")) && query.next() ? query.value(0).toLongLong() : -1;
}

void Tfbirthday::reloadRoster()
{
    // Read afresh, in the table's own order. Rows are read at once, so no read lock lingers.
    m_shown->forgetShownOrder();
    if (!m_roster->select()) {
        throw RuntimeError(m_roster->lastError().text());
    }
    fetchAllRows(*m_roster);
}

bool Tfbirthday::editRoster()
{
    readRoster();
    // A roster imported from the command line meanwhile is shown, and exported, as it now is; the
    // birthday list is then rebuilt when the editor closes.
    const qint64 version = dataVersion();
    const bool changedElsewhere = m_roster && version != m_dataVersion;
    if (changedElsewhere) {
        guarded(m_dialogs, [this] { reloadRoster(); });
    }
    m_dataVersion = version;
    QTableView* grid = m_ui->DBGridEh1;
    // The grid stands on a record, as a data set always does: opening the editor is no move.
    if (!grid->currentIndex().isValid() && m_shown->rowCount() > 0) {
        grid->setCurrentIndex(m_shown->index(0, RosterFilterModel::EmpName));
    }
    m_dataChanged = changedElsewhere;
    exec();
    return m_dataChanged;
}

void Tfbirthday::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_centred) {
        m_centred = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            move(screen->availableGeometry().center() - rect().center());
        }
    }
}

void Tfbirthday::postPendingEdit()
{
    QTableView* grid = m_ui->DBGridEh1;
    const QModelIndex current = grid->currentIndex();
    if (QWidget* editor = current.isValid() ? grid->indexWidget(current) : nullptr) {
        QAbstractItemDelegate* delegate = grid->itemDelegateForIndex(current);
        emit delegate->commitData(editor);
        emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    // A refusal is shown through editRefused and the refused change is undone.
    m_shown->submit();
}

void Tfbirthday::done(int result)
{
    postPendingEdit();
    QDialog::done(result);
}

void Tfbirthday::BitBtn1Click()
{
    const QString name = m_ui->edt_emp_name->text();
    if (!RosterEntry::isComplete(name, m_ui->Date1->text(), m_ui->Date2->text())) {
        warnbox(m_dialogs, QStringLiteral("请输入姓名、生日、入职日期等资料!"));
        m_ui->edt_emp_name->setFocus();
        return;
    }
    if (!typedReadingFits(name)) {
        return;
    }
    if (m_ui->chk_lunar->isChecked()) {
        const QString problem = BirthdayRules::lunarProblem(m_ui->Date1->date());
        if (!problem.isEmpty()) {
            warnbox(m_dialogs, problem + QStringLiteral("。"));
            m_ui->Date1->setFocus();
            return;
        }
    }
    postPendingEdit();
    RosterEntry entry;
    entry.pinyin = Pinyin::canonical(m_ui->edt_pinyin->text());
    entry.name = name;
    entry.birthday = m_ui->Date1->date();
    entry.indate = m_ui->Date2->date();
    entry.dept = m_ui->edt_dept->text();
    entry.remark = m_ui->edt_remark->text();
    entry.lunar = m_ui->chk_lunar->isChecked();
    Roster::append(m_roster, entry);
    markChanged();

    // The new record becomes the grid's current one, as after an append.
    const QModelIndex added = m_shown->mapFromSource(m_roster->index(m_roster->rowCount() - 1, 0));
    if (added.isValid()) {
        m_ui->DBGridEh1->setCurrentIndex(added.siblingAtColumn(RosterFilterModel::EmpName));
        m_ui->DBGridEh1->scrollTo(added);
    }
    m_ui->edt_emp_name->setFocus();
}

void Tfbirthday::N1Click()
{
    postPendingEdit();
    const QModelIndex current = m_ui->DBGridEh1->currentIndex();
    if (m_shown->rowCount() == 0 || !current.isValid()) {
        return;
    }
    if (!askbox(m_dialogs, QStringLiteral("确信要删除该记录?"))) {
        return;
    }
    const int row = current.row();
    const int sourceRow = m_shown->mapToSource(current).row();
    // The table reads itself again after a deletion; the list stays as the user sees it.
    m_shown->keepShownOrder();
    Roster::remove(m_roster, sourceRow);
    markChanged();
    // The grid stays on the record that took the deleted one's place.
    if (m_shown->rowCount() > 0) {
        m_ui->DBGridEh1->setCurrentIndex(m_shown->index(qMin(row, m_shown->rowCount() - 1), current.column()));
    }
}

bool Tfbirthday::typedReadingFits(const QString& name)
{
    const QString pinyin = m_ui->edt_pinyin->text().trimmed();
    const QString problem = pinyin.isEmpty() ? QString() : Pinyin::problem(name, pinyin);
    if (!problem.isEmpty()) {
        warnbox(m_dialogs, problem);
        m_ui->edt_pinyin->setFocus();
        return false;
    }
    return true;
}

void Tfbirthday::BitBtn2Click()
{
    const QString name = m_ui->edt_emp_name->text().trimmed();
    if ((name.isEmpty() && m_ui->edt_pinyin->text().trimmed().isEmpty()) || !typedReadingFits(name)) {
        return;
    }
    if (m_listen) {
        m_listen(name, Pinyin::canonical(m_ui->edt_pinyin->text()));
    }
}

void Tfbirthday::N2Click()
{
    const QModelIndex current = m_ui->DBGridEh1->currentIndex();
    if (!current.isValid() || !m_listen) {
        return;
    }
    const QString name = m_shown->index(current.row(), RosterFilterModel::EmpName).data(Qt::EditRole).toString();
    const QString pinyin = m_shown->index(current.row(), RosterFilterModel::Pinyin).data(Qt::EditRole).toString();
    if (!name.trimmed().isEmpty()) {
        m_listen(name.trimmed(), Pinyin::canonical(pinyin));
    }
}

void Tfbirthday::readRoster()
{
    if (m_load) {
        const std::function<void()> load = std::exchange(m_load, {});
        guarded(m_dialogs, load);
    }
}

void Tfbirthday::Excel1Click()
{
    // The export writes what the grid shows: the whole roster, read now if the editor never opened.
    readRoster();
    emit exportRequested(m_ui->DBGridEh1);
}

void Tfbirthday::Import1Click()
{
    if (!m_roster) {
        return;
    }
    readRoster();
    postPendingEdit();
    const QString path = m_dialogs.openFileName(
        QStringLiteral("导入员工生日资料"), documentsdir(),
        QStringLiteral("员工资料 (*.xls *.xlsx *.csv *.txt *.XLS *.XLSX *.CSV *.TXT);;所有文件 (*)"));
    if (path.isEmpty()) {
        return;
    }
    ImportSheet sheet;
    try {
        sheet = ImportReaders::read(path);
    } catch (const RuntimeError& error) {
        warnbox(m_dialogs, QStringLiteral("无法导入%1：%2").arg(path, error.message()));
        return;
    }
    const ImportMapping guessed = RosterImport::guessMapping(sheet);
    const bool people = std::any_of(sheet.rows.cbegin() + qMin(sheet.rows.size(), qsizetype(guessed.firstDataRow())),
                                    sheet.rows.cend(), [](const QList<SheetCell>& cells) {
                                        return std::any_of(cells.cbegin(), cells.cend(),
                                                           [](const SheetCell& cell) { return !cell.isEmpty(); });
                                    });
    if (!people) {
        warnbox(m_dialogs,
                guessed.headerRow >= 0 ? QStringLiteral("%1 中只有标题行，没有人员资料。").arg(path)
                                       : QStringLiteral("%1 中没有资料。").arg(path));
        return;
    }
    const QDate today = m_clock.currentDate();
    Tfimport preview(path, std::move(sheet), RosterImport::rosterKeys(m_roster->database()), today, this);
    if (preview.exec() != QDialog::Accepted) {
        return;
    }
    const ImportPlan written
        = RosterImport::apply(m_roster->database(), preview.sheet(), preview.mapping(), today, preview.duplicates());
    markChanged();
    reloadRoster();
    QString text = QStringLiteral("导入完成：") + written.summary();
    const QStringList skipped = written.skippedLines();
    constexpr qsizetype Listed = 20;
    for (qsizetype i = 0; i < skipped.size() && i < Listed; ++i) {
        text += QLatin1Char('\n') + skipped.at(i);
    }
    if (skipped.size() > Listed) {
        text += QStringLiteral("\n……另有 %1 行未列出。").arg(skipped.size() - Listed);
    }
    infobox(m_dialogs, text);
}

void Tfbirthday::showPopup(const QPoint& pos)
{
    m_Excel1->setEnabled(isSignalConnected(QMetaMethod::fromSignal(&Tfbirthday::exportRequested)));
    m_N2->setEnabled(bool(m_listen));
    m_menu->popup(m_ui->DBGridEh1->viewport()->mapToGlobal(pos));
}

bool Tfbirthday::DBGridEh1KeyDown(int key)
{
    // Down on the last record must not open a new blank one.
    if (key != Qt::Key_Down) {
        return false;
    }
    const QModelIndex current = m_ui->DBGridEh1->currentIndex();
    return m_shown->rowCount() == 0 || (current.isValid() && current.row() == m_shown->rowCount() - 1);
}

bool Tfbirthday::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress) {
        return QDialog::eventFilter(watched, event);
    }
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (watched == m_ui->DBGridEh1) {
        return DBGridEh1KeyDown(key) || QDialog::eventFilter(watched, event);
    }
    if (key != Qt::Key_Return && key != Qt::Key_Enter) {
        return QDialog::eventFilter(watched, event);
    }
    if (watched == m_ui->BitBtn1) {
        m_ui->BitBtn1->click();
        return true;
    }
    // Enter moves on as Tab does: name, birthday, joined, lunar, department, remark, reading, add.
    focusNextChild();
    return true;
}
