#include "startuptab.h"

#include "common/errorguard.h"
#include "common/helpers.h"
#include "common/inifile.h"
#include "ui_startuptab.h"
#include "windowsettings.h"

StartupTab::StartupTab(QWidget* parent)
    : QWidget(parent)
    , m_ui(new Ui::StartupTab)
{
    m_ui->setupUi(this);
    connect(m_ui->sb_save, &QPushButton::clicked, this, [this] { guarded([this] { sb_saveClick(); }); });
}

StartupTab::~StartupTab() = default;

void StartupTab::FormShow()
{
    m_ui->chk_starthidden->setChecked(WindowSettings::read(IniFile(IniFile::defaultPath())).startHidden);
}

void StartupTab::sb_saveClick()
{
    IniFile ini(IniFile::defaultPath());
    WindowSettings::writeStartHidden(ini, m_ui->chk_starthidden->isChecked());
    infobox(QStringLiteral("保存成功!"));
}
