#include "holidaytab.h"

#include "birthdayrules.h"
#include "calendarsettings.h"
#include "common/clock.h"
#include "common/dialogs.h"
#include "common/errorguard.h"
#include "common/helpers.h"
#include "common/inifile.h"
#include "common/runtimeerror.h"
#include "ui_holidaytab.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>

namespace {

const QString IsoDate = QStringLiteral("yyyy-MM-dd");
// Lines of problems a notice names before it only counts the rest.
constexpr qsizetype Listed = 12;

QString listed(const QStringList& lines)
{
    QString text;
    for (qsizetype i = 0; i < lines.size() && i < Listed; ++i) {
        text += QLatin1Char('\n') + lines.at(i);
    }
    if (lines.size() > Listed) {
        text += QStringLiteral("\n……另有 %1 条").arg(lines.size() - Listed);
    }
    return text;
}

void setColumns(QTableWidget* grid, const QStringList& titles)
{
    grid->setColumnCount(int(titles.size()));
    grid->setHorizontalHeaderLabels(titles);
    grid->verticalHeader()->setVisible(false);
    grid->horizontalHeader()->setStretchLastSection(true);
}

} // namespace

HolidayTab::HolidayTab(QSqlDatabase db, std::function<void()> changed, const Clock& clock, Dialogs& dialogs,
                       QWidget* parent)
    : QWidget(parent)
    , m_ui(new Ui::HolidayTab)
    , m_db(std::move(db))
    , m_changed(std::move(changed))
    , m_clock(clock)
    , m_dialogs(dialogs)
{
    m_ui->setupUi(this);
    setColumns(m_ui->grid_days,
               { QStringLiteral("日期"), QStringLiteral("星期"), QStringLiteral("类别"), QStringLiteral("名称") });
    setColumns(m_ui->grid_preview,
               { QStringLiteral("日期"), QStringLiteral("星期"), QStringLiteral("导入后"), QStringLiteral("原来") });
    m_ui->grid_days->setMinimumWidth(260);
    closePreview();
    const QDate today = m_clock.currentDate();
    m_ui->spe_year->setValue(today.year());
    m_ui->yearView->setToday(today);
    m_ui->yearView->setYear(m_ui->spe_year->value());

    connect(m_ui->spe_year, &QSpinBox::valueChanged, this, [this] { guarded(m_dialogs, [this] { yearChanged(); }); });
    connect(m_ui->yearView, &YearView::selectionChanged, this, [this] { selectionChanged(); });
    connect(m_ui->btn_dayoff, &QPushButton::clicked, this,
            [this] { guarded(m_dialogs, [this] { markClick(DayMark::Kind::DayOff); }); });
    connect(m_ui->btn_workday, &QPushButton::clicked, this,
            [this] { guarded(m_dialogs, [this] { markClick(DayMark::Kind::WorkingDay); }); });
    connect(m_ui->btn_clear, &QPushButton::clicked, this, [this] { guarded(m_dialogs, [this] { clearClick(); }); });
    connect(m_ui->btn_import, &QPushButton::clicked, this, [this] { guarded(m_dialogs, [this] { importClick(); }); });
    connect(m_ui->btn_applyImport, &QPushButton::clicked, this,
            [this] { guarded(m_dialogs, [this] { applyImportClick(); }); });
    connect(m_ui->btn_cancelImport, &QPushButton::clicked, this, [this] { cancelImportClick(); });
    connect(m_ui->btn_save, &QPushButton::clicked, this, [this] { guarded(m_dialogs, [this] { saveClick(); }); });
    connect(m_ui->grid_days, &QTableWidget::cellClicked, this, [this](int row) {
        const QDate day = QDate::fromString(m_ui->grid_days->item(row, 0)->text(), IsoDate);
        m_ui->yearView->setSelection(day, day);
        if (const DayMark* mark = m_marks.find(day)) {
            m_ui->edt_name->setText(mark->name);
        }
    });
    selectionChanged();
}

HolidayTab::~HolidayTab() = default;

void HolidayTab::FormShow()
{
    m_ui->yearView->setToday(m_clock.currentDate());
    const CalendarSettings settings = CalendarSettings::load(IniFile(IniFile::defaultPath()));
    m_ui->rad_feb28->setChecked(settings.leapDay == LeapDayRule::February28);
    m_ui->rad_mar1->setChecked(settings.leapDay == LeapDayRule::March1);
    m_ui->chk_telltime->setChecked(settings.telltimeOnDaysOff);
    reloadMarks();
}

void HolidayTab::reloadMarks()
{
    m_marks = DayMarks::read(m_db);
    m_ui->yearView->setMarks(m_marks);
    fillDays();
}

void HolidayTab::fillDays()
{
    const int year = m_ui->spe_year->value();
    const QList<DayMark> marks = m_marks.between(QDate(year, 1, 1), QDate(year, 12, 31));
    QTableWidget* grid = m_ui->grid_days;
    grid->clearContents();
    grid->setRowCount(int(marks.size()));
    for (int row = 0; row < marks.size(); ++row) {
        const DayMark& mark = marks.at(row);
        const QString cells[]
            = { mark.day.toString(IsoDate), weekdayName(mark.day), DayMark::kindText(mark.kind), mark.name };
        for (int column = 0; column < 4; ++column) {
            grid->setItem(row, column, new QTableWidgetItem(cells[column]));
        }
    }
    grid->resizeColumnsToContents();
}

void HolidayTab::yearChanged()
{
    m_ui->yearView->setYear(m_ui->spe_year->value());
    fillDays();
}

void HolidayTab::selectionChanged()
{
    const QList<QDate> days = m_ui->yearView->selectedDays();
    if (days.isEmpty()) {
        m_ui->lbl_selection->setText(QStringLiteral("未选择日期"));
    } else if (days.size() == 1) {
        m_ui->lbl_selection->setText(days.first().toString(IsoDate) + QLatin1Char(' ') + weekdayName(days.first()));
    } else {
        m_ui->lbl_selection->setText(QStringLiteral("%1 至 %2（%3 天）")
                                         .arg(days.first().toString(IsoDate), days.last().toString(IsoDate))
                                         .arg(days.size()));
    }
    for (QPushButton* button : { m_ui->btn_dayoff, m_ui->btn_workday, m_ui->btn_clear }) {
        button->setEnabled(!days.isEmpty());
    }
}

void HolidayTab::markClick(DayMark::Kind kind)
{
    const QList<QDate> days = m_ui->yearView->selectedDays();
    if (days.isEmpty()) {
        warnbox(m_dialogs, QStringLiteral("请先在日历上选择日期。"));
        return;
    }
    QList<DayMark> marks;
    for (const QDate& day : days) {
        marks.append({ day, kind, m_ui->edt_name->text().trimmed() });
    }
    HolidayStore::write(m_db, marks);
    reloadMarks();
    if (m_changed) {
        m_changed();
    }
}

void HolidayTab::clearClick()
{
    const QList<QDate> days = m_ui->yearView->selectedDays();
    if (days.isEmpty()) {
        return;
    }
    HolidayStore::write(m_db, {}, days);
    reloadMarks();
    if (m_changed) {
        m_changed();
    }
}

void HolidayTab::importClick()
{
    const QString path
        = m_dialogs.openFileName(QStringLiteral("导入节假日日历"), QDir::homePath(),
                                 QStringLiteral("iCalendar 日历 (*.ics *.ICS *.ical *.ifb);;所有文件 (*)"));
    if (!path.isEmpty()) {
        previewImport(path);
    }
}

void HolidayTab::previewImport(const QString& path)
{
    closePreview();
    IcsReading reading;
    try {
        reading = IcsImport::read(path);
    } catch (const RuntimeError& error) {
        warnbox(m_dialogs, QStringLiteral("无法导入 %1：%2").arg(path, error.message()));
        return;
    }
    if (!reading.conflicts.isEmpty()) {
        warnbox(m_dialogs,
                QStringLiteral("%1 把下列日期既标为休息日又标为上班日，无法判断，没有导入任何日期：").arg(path)
                    + listed(reading.conflicts));
        return;
    }
    if (reading.marks.isEmpty()) {
        warnbox(m_dialogs,
                QStringLiteral("%1 中没有标为休、假或班的全天事件，没有可导入的日期。").arg(path)
                    + listed(reading.problems));
        return;
    }
    reloadMarks();
    const HolidayPlan plan = HolidayPlan::of(m_marks, reading);
    if (plan.changes.isEmpty()) {
        infobox(m_dialogs,
                QStringLiteral("%1 中的 %2 天已全部标好，没有要更改的。").arg(path).arg(plan.unchanged)
                    + listed(reading.problems));
        return;
    }
    m_pending = plan;
    QString text = QStringLiteral("%1：%2").arg(QFileInfo(path).fileName(), plan.summary());
    if (reading.ignored > 0) {
        text += QStringLiteral("日历中另有 %1 个事件不是休息日或上班日（如节日、定时事件），已略过。")
                    .arg(reading.ignored);
    }
    if (!reading.problems.isEmpty()) {
        text += QStringLiteral("\n以下 %1 个事件无法读取，已略过：").arg(reading.problems.size())
            + listed(reading.problems);
    }
    m_ui->lbl_preview->setText(text);
    QTableWidget* grid = m_ui->grid_preview;
    grid->setRowCount(int(plan.changes.size()));
    for (int row = 0; row < plan.changes.size(); ++row) {
        const HolidayPlan::Change& change = plan.changes.at(row);
        const auto describe = [](const DayMark& mark) -> QString {
            return DayMark::kindText(mark.kind) + (mark.name.isEmpty() ? QString() : QLatin1Char(' ') + mark.name);
        };
        const QString cells[]
            = { change.mark.day.toString(IsoDate), weekdayName(change.mark.day), describe(change.mark),
                change.before ? describe(*change.before) : QStringLiteral("（无）") };
        for (int column = 0; column < 4; ++column) {
            grid->setItem(row, column, new QTableWidgetItem(cells[column]));
        }
    }
    grid->resizeColumnsToContents();
    m_ui->box_preview->setEnabled(true);
    // The first year the file changes is shown.
    m_ui->spe_year->setValue(plan.changes.first().mark.day.year());
}

void HolidayTab::applyImportClick()
{
    if (!m_pending) {
        return;
    }
    const HolidayPlan plan = *m_pending;
    HolidayStore::write(m_db, plan.marks());
    closePreview();
    reloadMarks();
    if (m_changed) {
        m_changed();
    }
    infobox(m_dialogs, QStringLiteral("导入完成：") + plan.summary());
}

void HolidayTab::cancelImportClick()
{
    closePreview();
}

void HolidayTab::closePreview()
{
    m_pending.reset();
    // The box keeps its place: the settings window does not change its size.
    m_ui->box_preview->setEnabled(false);
    m_ui->grid_preview->setRowCount(0);
    m_ui->lbl_preview->setText(QStringLiteral("导入日历时，这里先列出将要更改的日子，确认“保存导入”后才写入。"));
}

void HolidayTab::saveClick()
{
    CalendarSettings settings = CalendarSettings::load(IniFile(IniFile::defaultPath()));
    settings.leapDay = m_ui->rad_mar1->isChecked() ? LeapDayRule::March1 : LeapDayRule::February28;
    settings.telltimeOnDaysOff = m_ui->chk_telltime->isChecked();
    // Both keys in one rewrite of the file as it is now.
    IniChanges changes;
    settings.saveDays(changes);
    IniFile(IniFile::defaultPath()).write(changes);
    if (m_changed) {
        m_changed();
    }
    infobox(m_dialogs, QStringLiteral("保存成功!"));
}
