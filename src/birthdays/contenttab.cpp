#include "contenttab.h"

#include "birthdays/contentsettings.h"
#include "calendar/calendarsettings.h"
#include "common/errorguard.h"
#include "common/helpers.h"
#include "common/inifile.h"
#include "common/stationsettings.h"
#include "ui_contenttab.h"

#include <QStyle>

ContentTab::ContentTab(std::function<void(const QString&)> setMainreadText, QLineEdit* edt_user, Dialogs& dialogs,
                       QWidget* parent)
    : QWidget(parent)
    , m_ui(new Ui::ContentTab)
    , m_dialogs(dialogs)
    , m_setMainreadText(std::move(setMainreadText))
    , m_edt_user(edt_user)
{
    m_ui->setupUi(this);
    m_ui->BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    connect(m_ui->spe1, &QSpinBox::valueChanged, this, [this] { spe1Change(); });
    connect(m_ui->spe2, &QSpinBox::valueChanged, this, [this] { spe2Change(); });
    connect(m_ui->BitBtn1, &QPushButton::clicked, this, [this] { guarded(m_dialogs, [this] { BitBtn1Click(); }); });
}

ContentTab::~ContentTab() = default;

void ContentTab::FormShow()
{
    const ContentSettings settings = ContentSettings::load(IniFile(IniFile::defaultPath()));
    m_ui->mem_main->setPlainText(settings.mainread);
    QSpinBox* bounds[3] = { m_ui->spe1, m_ui->spe2, m_ui->spe3 };
    QCheckBox* readages[3] = { m_ui->chk_readage1, m_ui->chk_readage2, m_ui->chk_readage3 };
    QPlainTextEdit* texts[3] = { m_ui->Mem_add1, m_ui->Mem_add2, m_ui->Mem_add3 };
    for (int i = 0; i < 3; ++i) {
        // Values outside 1..100 in the file show clamped, as the spin edits allow no other.
        bounds[i]->setValue(settings.groups[i].upperAge);
        readages[i]->setChecked(settings.groups[i].readAge);
        texts[i]->setPlainText(settings.groups[i].addtext);
    }
    // The mirrors follow even when a bound did not change.
    spe1Change();
    spe2Change();
    m_ui->edt_company->setText(settings.company);

    const CalendarSettings calendar = CalendarSettings::load(IniFile(IniFile::defaultPath()));
    m_ui->chk_catchup->setChecked(calendar.catchUp);
    m_ui->edt_catchup->setText(calendar.catchUpText);
    m_ui->chk_anniversary->setChecked(calendar.anniversaries);
    m_ui->edt_years->setText(CalendarSettings::yearsText(calendar.anniversaryYears));
    m_ui->edt_anniversary->setText(calendar.anniversaryText);
}

void ContentTab::spe1Change()
{
    m_ui->SpinEdit1->setValue(m_ui->spe1->value());
}

void ContentTab::spe2Change()
{
    m_ui->SpinEdit2->setValue(m_ui->spe2->value());
}

ContentSettings ContentTab::fromControls() const
{
    ContentSettings settings;
    settings.mainread = m_ui->mem_main->toPlainText();
    const QSpinBox* bounds[3] = { m_ui->spe1, m_ui->spe2, m_ui->spe3 };
    const QCheckBox* readages[3] = { m_ui->chk_readage1, m_ui->chk_readage2, m_ui->chk_readage3 };
    const QPlainTextEdit* texts[3] = { m_ui->Mem_add1, m_ui->Mem_add2, m_ui->Mem_add3 };
    for (int i = 0; i < 3; ++i) {
        settings.groups[i].upperAge = bounds[i]->value();
        settings.groups[i].readAge = readages[i]->isChecked();
        settings.groups[i].addtext = texts[i]->toPlainText();
    }
    settings.company = m_ui->edt_company->text();
    return settings;
}

void ContentTab::BitBtn1Click()
{
    const ContentSettings settings = fromControls();
    if (!settings.boundsInOrder()) {
        warnbox(m_dialogs, QStringLiteral("年龄段数字范围错误!"));
        return;
    }
    CalendarSettings calendar = CalendarSettings::load(IniFile(IniFile::defaultPath()));
    QString problem;
    calendar.catchUp = m_ui->chk_catchup->isChecked();
    calendar.catchUpText = m_ui->edt_catchup->text().trimmed();
    calendar.anniversaries = m_ui->chk_anniversary->isChecked();
    calendar.anniversaryYears = CalendarSettings::parseYears(m_ui->edt_years->text(), &problem);
    calendar.anniversaryText = m_ui->edt_anniversary->text().trimmed();
    if (problem.isEmpty()) {
        problem = calendar.greetingsProblem();
    }
    // Checked before anything is written: a refused save leaves the whole file as it was.
    if (!problem.isEmpty()) {
        warnbox(m_dialogs, problem);
        return;
    }
    // One rewrite of the file as it is now: a refusal leaves every value of the tab unsaved.
    IniChanges changes;
    settings.save(changes);
    calendar.saveGreetings(changes);
    IniFile ini(IniFile::defaultPath());
    ini.write(changes);
    if (m_setMainreadText) {
        m_setMainreadText(ContentSettings::mainreadText(settings.mainread));
    }
    if (m_edt_user) {
        m_edt_user->setText(StationSettings::read(ini, StationSettings::Company));
    }
    const QStringList cut = settings.textsTooLong();
    if (!cut.isEmpty()) {
        warnbox(m_dialogs,
                QStringLiteral("以下内容已保存，但超过设置文件每项2047字节的上限，再次读取时超出部分将被截去：")
                    + cut.join(QStringLiteral("、")));
    }
    infobox(m_dialogs, QStringLiteral("保存成功!"));
}
