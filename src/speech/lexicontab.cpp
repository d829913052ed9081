#include "lexicontab.h"

#include "common/errorguard.h"
#include "common/helpers.h"
#include "common/modelrows.h"
#include "common/runtimeerror.h"
#include "pinyin.h"
#include "ui_lexicontab.h"

#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QSqlError>
#include <QSqlRecord>
#include <QSqlTableModel>

namespace {

const QString Word = QStringLiteral("word");
const QString Reading = QStringLiteral("pinyin");
const QString Surname = QStringLiteral("surname");

// The grid's view of the lexicon: titles, and the surname flag as "是" or nothing.
class LexiconGridModel final : public QIdentityProxyModel
{
public:
    LexiconGridModel(QSqlTableModel* source, QObject* parent)
        : QIdentityProxyModel(parent)
        , m_surname(source->fieldIndex(Surname))
    {
        setSourceModel(source);
        m_titles.insert(source->fieldIndex(Word), QStringLiteral("词语"));
        m_titles.insert(source->fieldIndex(Reading), QStringLiteral("读音"));
        m_titles.insert(m_surname, QStringLiteral("姓氏"));
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
        if (index.column() == m_surname && role == Qt::DisplayRole) {
            return QIdentityProxyModel::data(index, Qt::EditRole).toInt() != 0 ? QStringLiteral("是") : QString();
        }
        return QIdentityProxyModel::data(index, role);
    }

private:
    int m_surname;
    QHash<int, QString> m_titles;
};

} // namespace

LexiconTab::LexiconTab(QSqlTableModel* q_lexicon, Listen listen, std::function<void()> changed, Dialogs& dialogs,
                       QWidget* parent)
    : QWidget(parent)
    , m_ui(new Ui::LexiconTab)
    , m_dialogs(dialogs)
    , m_table(q_lexicon)
    , m_listen(std::move(listen))
    , m_changed(std::move(changed))
{
    m_ui->setupUi(this);
    connect(m_ui->BitBtn_add, &QPushButton::clicked, this,
            [this] { guarded(m_dialogs, [this] { BitBtn_addClick(); }); });
    connect(m_ui->BitBtn_change, &QPushButton::clicked, this,
            [this] { guarded(m_dialogs, [this] { BitBtn_changeClick(); }); });
    connect(m_ui->BitBtn_delete, &QPushButton::clicked, this,
            [this] { guarded(m_dialogs, [this] { BitBtn_deleteClick(); }); });
    connect(m_ui->BitBtn_listen, &QPushButton::clicked, this,
            [this] { guarded(m_dialogs, [this] { BitBtn_listenClick(); }); });

    const bool usable = m_table && m_table->fieldIndex(Word) >= 0 && m_table->fieldIndex(Reading) >= 0;
    for (QWidget* w : { static_cast<QWidget*>(m_ui->BitBtn_add), static_cast<QWidget*>(m_ui->BitBtn_change),
                        static_cast<QWidget*>(m_ui->BitBtn_delete) }) {
        w->setEnabled(usable);
    }
    if (!usable) {
        m_table = nullptr;
        return;
    }
    QTableView* grid = m_ui->DBGridLexicon;
    grid->setModel(new LexiconGridModel(m_table, this));
    for (int column = 0; column < m_table->columnCount(); ++column) {
        grid->setColumnHidden(column, true);
    }
    const struct
    {
        const QString& field;
        int width;
    } columns[] = { { Word, 110 }, { Reading, 170 }, { Surname, 40 } };
    QHeaderView* header = grid->horizontalHeader();
    for (int i = 0; i < 3; ++i) {
        const int column = m_table->fieldIndex(columns[i].field);
        if (column < 0) {
            continue;
        }
        grid->setColumnHidden(column, false);
        header->moveSection(header->visualIndex(column), i);
        grid->setColumnWidth(column, columns[i].width);
    }
    header->setStretchLastSection(true);
    grid->verticalHeader()->setVisible(false);
    grid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { showRow(current.isValid() ? current.row() : -1); });
}

LexiconTab::~LexiconTab() = default;

void LexiconTab::FormShow()
{
    if (m_table && !m_table->isDirty()) {
        if (!m_table->select()) {
            throw RuntimeError(m_table->lastError().text());
        }
        fetchAllRows(*m_table);
    }
}

int LexiconTab::currentRow() const
{
    const QModelIndex current = m_ui->DBGridLexicon->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void LexiconTab::showRow(int row)
{
    if (!m_table || row < 0 || row >= m_table->rowCount()) {
        return;
    }
    const QSqlRecord record = m_table->record(row);
    m_ui->edt_word->setText(record.value(Word).toString());
    m_ui->edt_pinyin->setText(record.value(Reading).toString());
    m_ui->chk_surname->setChecked(record.value(Surname).toInt() != 0);
}

int LexiconTab::rowOf(const QString& word, bool surname, int except) const
{
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const QSqlRecord record = m_table->record(row);
        if (row != except && record.value(Word).toString().trimmed() == word
            && (record.value(Surname).toInt() != 0) == surname) {
            return row;
        }
    }
    return -1;
}

bool LexiconTab::readFields(Fields* fields)
{
    fields->word = m_ui->edt_word->text().trimmed();
    fields->surname = m_ui->chk_surname->isChecked();
    if (fields->word.isEmpty() || m_ui->edt_pinyin->text().trimmed().isEmpty()) {
        warnbox(m_dialogs, QStringLiteral("请输入词语和读音!"));
        (fields->word.isEmpty() ? m_ui->edt_word : m_ui->edt_pinyin)->setFocus();
        return false;
    }
    const QString problem = Pinyin::problem(fields->word, m_ui->edt_pinyin->text());
    if (!problem.isEmpty()) {
        warnbox(m_dialogs, problem);
        m_ui->edt_pinyin->setFocus();
        return false;
    }
    fields->pinyin = Pinyin::canonical(m_ui->edt_pinyin->text());
    return true;
}

void LexiconTab::store()
{
    if (m_table->isDirty() && !m_table->submitAll()) {
        const QString error = m_table->lastError().text();
        m_table->revertAll();
        throw RuntimeError(error.isEmpty() ? QStringLiteral("数据未能保存。") : error);
    }
    if (m_changed) {
        m_changed();
    }
}

void LexiconTab::BitBtn_addClick()
{
    Fields fields;
    if (!m_table || !readFields(&fields)) {
        return;
    }
    if (const int existing = rowOf(fields.word, fields.surname); existing >= 0) {
        warnbox(m_dialogs, QStringLiteral("“%1”已在词典中，请选中后修改。").arg(fields.word));
        m_ui->DBGridLexicon->selectRow(existing);
        return;
    }
    QSqlRecord record = m_table->record();
    record.setValue(Word, fields.word);
    record.setValue(Reading, fields.pinyin);
    record.setValue(Surname, fields.surname ? 1 : 0);
    if (const int id = record.indexOf(QStringLiteral("id")); id >= 0) {
        record.setGenerated(id, false);
    }
    if (!m_table->insertRecord(-1, record)) {
        const QString error = m_table->lastError().text();
        m_table->revertAll();
        throw RuntimeError(error);
    }
    store();
    const int row = rowOf(fields.word, fields.surname);
    if (row >= 0) {
        m_ui->DBGridLexicon->selectRow(row);
        m_ui->DBGridLexicon->scrollTo(m_ui->DBGridLexicon->model()->index(row, 0));
    }
}

void LexiconTab::BitBtn_changeClick()
{
    const int row = currentRow();
    if (!m_table || row < 0) {
        infobox(m_dialogs, QStringLiteral("请先在表格中选中要修改的词语。"));
        return;
    }
    Fields fields;
    if (!readFields(&fields)) {
        return;
    }
    if (rowOf(fields.word, fields.surname, row) >= 0) {
        warnbox(m_dialogs, QStringLiteral("“%1”已在词典中，请选中后修改。").arg(fields.word));
        return;
    }
    const struct
    {
        const QString& field;
        QVariant value;
    } values[] = { { Word, fields.word }, { Reading, fields.pinyin }, { Surname, fields.surname ? 1 : 0 } };
    for (const auto& value : values) {
        if (!m_table->setData(m_table->index(row, m_table->fieldIndex(value.field)), value.value)) {
            const QString error = m_table->lastError().text();
            m_table->revertAll();
            throw RuntimeError(error.isEmpty() ? QStringLiteral("数据未能保存。") : error);
        }
    }
    store();
    m_ui->DBGridLexicon->selectRow(row);
}

void LexiconTab::BitBtn_deleteClick()
{
    const int row = currentRow();
    if (!m_table || row < 0) {
        return;
    }
    if (!askbox(m_dialogs, QStringLiteral("真的要删除这条记录吗?"))) {
        return;
    }
    if (!m_table->removeRow(row)) {
        const QString error = m_table->lastError().text();
        m_table->revertAll();
        throw RuntimeError(error);
    }
    store();
    // The deleted row would stay as a blank line until the table is read again.
    if (!m_table->select()) {
        throw RuntimeError(m_table->lastError().text());
    }
    if (m_table->rowCount() > 0) {
        m_ui->DBGridLexicon->selectRow(std::min(row, m_table->rowCount() - 1));
    }
}

void LexiconTab::BitBtn_listenClick()
{
    Fields fields;
    if (!readFields(&fields)) {
        return;
    }
    if (m_listen) {
        m_listen(fields.word, fields.pinyin, fields.surname);
    }
}
