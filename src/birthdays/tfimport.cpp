#include "tfimport.h"

#include "rostercolumns.h"
#include "ui_tfimport.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>

// The rows that will not be imported: sheet row, name, reason.
class ImportProblemModel final : public QAbstractTableModel
{
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setRows(const ImportPlan& plan)
    {
        beginResetModel();
        m_rows.clear();
        for (const ImportRow& row : plan.rows) {
            if (row.action == ImportRow::Action::Skip || row.action == ImportRow::Action::Refuse) {
                m_rows.append({ row.sheetRow + 1, row.name(), row.reason });
            }
        }
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 3; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || role != Qt::DisplayRole) {
            return {};
        }
        const Problem& problem = m_rows.at(index.row());
        switch (index.column()) {
        case 0:
            return problem.line;
        case 1:
            // A pasted novel in a name cell must not stretch the list.
            return problem.name.size() > 40 ? problem.name.left(40) + QStringLiteral("…") : problem.name;
        default:
            return problem.reason;
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
            return QAbstractTableModel::headerData(section, orientation, role);
        }
        static const char* const Titles[] = { "行", "姓名", "原因" };
        return section >= 0 && section < 3 ? QString::fromUtf8(Titles[section]) : QVariant();
    }

private:
    struct Problem
    {
        int line;
        QString name;
        QString reason;
    };
    QList<Problem> m_rows;
};

Tfimport::Tfimport(const QString& path, ImportSheet sheet, RosterKeys roster, const QDate& today, QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint
                  | Qt::WindowCloseButtonHint)
    , m_ui(new Ui::Tfimport)
    , m_sheet(std::move(sheet))
    , m_roster(std::move(roster))
    , m_today(today)
{
    m_ui->setupUi(this);
    setSizeGripEnabled(true);

    QString kind = m_sheet.format;
    if (!m_sheet.encoding.isEmpty()) {
        const QString separator = m_sheet.separator == QLatin1Char('\t') ? QStringLiteral("制表符")
            : m_sheet.separator == QLatin1Char(';')                      ? QStringLiteral("分号")
                                                                         : QStringLiteral("逗号");
        kind += QStringLiteral("，%1 编码，%2分隔").arg(m_sheet.encoding, separator);
    }
    m_ui->lbl_file->setText(
        QStringLiteral("文件：%1（%2，共 %3 行）").arg(QFileInfo(path).fileName(), kind).arg(m_sheet.rows.size()));
    if (!m_sheet.note.isEmpty()) {
        m_ui->lbl_file->setText(m_ui->lbl_file->text() + QLatin1Char('\n') + m_sheet.note);
    }
    m_ui->lbl_file->setToolTip(path);

    // One line to a row: a value's line breaks show in the cell's tooltip, not in its height.
    m_ui->grd_preview->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    m_ui->grd_preview->setWordWrap(false);
    m_ui->grd_problems->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);

    m_problems = new ImportProblemModel(this);
    m_ui->grd_problems->setModel(m_problems);
    m_ui->grd_problems->verticalHeader()->setVisible(false);
    m_ui->grd_problems->horizontalHeader()->setStretchLastSection(true);
    m_ui->grd_problems->setColumnWidth(0, 60);
    m_ui->grd_problems->setColumnWidth(1, 120);

    buildMappingBoxes();
    const ImportMapping guessed = RosterImport::guessMapping(m_sheet);
    m_filling = true;
    m_ui->SpinHeader->setMaximum(qMax(10, qMin(int(m_sheet.rows.size()), 100)));
    m_ui->SpinHeader->setValue(guessed.headerRow + 1);
    fillBoxes();
    for (int i = 0; i < m_boxes.size(); ++i) {
        if (m_boxes.at(i)) {
            m_boxes.at(i)->setCurrentIndex(qMax(0, m_boxes.at(i)->findData(guessed.sheetColumn(i))));
        }
    }
    m_filling = false;
    m_ui->lbl_hint->setText(guessed.headerRow < 0 ? QStringLiteral("没有找到标题行：请为每项资料选择文件中的列。")
                                                  : QStringLiteral("已按标题猜出各列，可以修改。"));

    connect(m_ui->SpinHeader, &QSpinBox::valueChanged, this, [this] {
        if (!m_filling) {
            fillBoxes();
            replan();
        }
    });
    connect(m_ui->R_skip, &QRadioButton::toggled, this, [this] { replan(); });
    connect(m_ui->btn_import, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->btn_cancel, &QPushButton::clicked, this, &QDialog::reject);
    replan();
}

Tfimport::~Tfimport() = default;

void Tfimport::buildMappingBoxes()
{
    const QList<RosterColumn>& columns = RosterColumns::all();
    int slot = 0;
    for (int i = 0; i < columns.size(); ++i) {
        if (!columns.at(i).imported()) {
            m_boxes.append(nullptr);
            continue;
        }
        auto* label = new QLabel(columns.at(i).title + QStringLiteral("："), this);
        auto* box = new QComboBox(this);
        box->setObjectName(QStringLiteral("cmb_") + columns.at(i).field);
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(12);
        label->setBuddy(box);
        // Three pairs of label and box to a line, under the caption row's choice.
        const int row = 1 + slot / 3;
        const int column = (slot % 3) * 2;
        m_ui->MappingLayout->addWidget(label, row, column);
        m_ui->MappingLayout->addWidget(box, row, column + 1);
        ++slot;
        m_boxes.append(box);
        connect(box, &QComboBox::currentIndexChanged, this, [this] {
            if (!m_filling) {
                replan();
            }
        });
    }
}

QComboBox* Tfimport::mappingBox(int rosterColumn) const
{
    return m_boxes.value(rosterColumn, nullptr);
}

// The boxes list "（不导入）" and every column of the sheet with its caption (or its first value).
void Tfimport::fillBoxes()
{
    const bool filling = m_filling;
    m_filling = true;
    const int header = m_ui->SpinHeader->value() - 1;
    const int columns = m_sheet.columnCount();
    for (QComboBox* box : std::as_const(m_boxes)) {
        if (!box) {
            continue;
        }
        const int chosen = box->currentData().isValid() ? box->currentData().toInt() : -1;
        box->clear();
        box->addItem(QStringLiteral("（不导入）"), -1);
        for (int c = 0; c < columns; ++c) {
            QString caption = m_sheet.cell(header >= 0 ? header : 0, c).text.simplified();
            if (caption.size() > 16) {
                caption = caption.left(16) + QStringLiteral("…");
            }
            box->addItem(QStringLiteral("%1 列%2").arg(RosterImport::columnLetters(c),
                                                       caption.isEmpty() ? QString() : QStringLiteral("：") + caption),
                         c);
        }
        box->setCurrentIndex(qMax(0, box->findData(chosen)));
    }
    m_filling = filling;
}

ImportMapping Tfimport::mapping() const
{
    ImportMapping mapping;
    mapping.headerRow = m_ui->SpinHeader->value() - 1;
    for (QComboBox* box : m_boxes) {
        mapping.columns.append(box && box->currentData().isValid() ? box->currentData().toInt() : -1);
    }
    return mapping;
}

ImportPlan::Duplicates Tfimport::duplicates() const
{
    return m_ui->R_update->isChecked() ? ImportPlan::Duplicates::Update : ImportPlan::Duplicates::Skip;
}

void Tfimport::fillPreview()
{
    const ImportMapping current = mapping();
    const int columns = m_sheet.columnCount();
    const int first = current.firstDataRow();
    const int last = qMin(int(m_sheet.rows.size()), first + PreviewRows);
    QTableWidget* grid = m_ui->grd_preview;
    grid->clear();
    grid->setColumnCount(columns);
    grid->setRowCount(qMax(0, last - first));
    QStringList captions;
    for (int c = 0; c < columns; ++c) {
        QString caption = RosterImport::columnLetters(c);
        if (current.headerRow >= 0) {
            caption += QLatin1Char(' ') + m_sheet.cell(current.headerRow, c).text.simplified().left(16);
        }
        for (int i = 0; i < current.columns.size(); ++i) {
            if (current.columns.at(i) == c) {
                caption += QStringLiteral("\n→ ") + RosterColumns::at(i).title;
            }
        }
        captions.append(caption);
    }
    grid->setHorizontalHeaderLabels(captions);
    QStringList lines;
    for (int r = first; r < last; ++r) {
        lines.append(QString::number(r + 1));
        for (int c = 0; c < columns; ++c) {
            QString text = m_sheet.cell(r, c).text;
            if (text.size() > 60) {
                text = text.left(60) + QStringLiteral("…");
            }
            auto* item = new QTableWidgetItem(QString(text).replace(QLatin1Char('\n'), QStringLiteral(" ⏎ ")));
            if (text.contains(QLatin1Char('\n'))) {
                item->setToolTip(text);
            }
            grid->setItem(r - first, c, item);
        }
    }
    grid->setVerticalHeaderLabels(lines);
    grid->resizeColumnsToContents();
    for (int c = 0; c < columns; ++c) {
        grid->setColumnWidth(c, qMin(grid->columnWidth(c), 200));
    }
}

void Tfimport::replan()
{
    m_plan = RosterImport::plan(m_sheet, mapping(), m_roster, m_today, duplicates());
    fillPreview();
    m_problems->setRows(m_plan);
    const int refused = int(std::count_if(m_plan.rows.cbegin(), m_plan.rows.cend(), [](const ImportRow& row) {
        return row.action == ImportRow::Action::Refuse || row.action == ImportRow::Action::Skip;
    }));
    m_ui->lbl_problems->setText(refused == 0 ? QStringLiteral("每一行都可以导入。")
                                             : QStringLiteral("不导入的行（%1 行）：").arg(refused));
    m_ui->lbl_summary->setText(m_plan.writes() ? QStringLiteral("将") + m_plan.summary()
                                               : QStringLiteral("没有可以写入名册的人员。") + m_plan.summary());
    m_ui->btn_import->setEnabled(m_plan.writes());
}
