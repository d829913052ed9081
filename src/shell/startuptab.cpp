#include "startuptab.h"

#include "common/errorguard.h"
#include "common/helpers.h"
#include "common/inifile.h"
#include "common/stationsettings.h"
#include "ui_startuptab.h"

StartupTab::StartupTab(Dialogs& dialogs, QWidget* parent)
    : QWidget(parent)
    , m_ui(new Ui::StartupTab)
    , m_dialogs(dialogs)
{
    m_ui->setupUi(this);
    connect(m_ui->sb_save, &QPushButton::clicked, this, [this] { guarded(m_dialogs, [this] { sb_saveClick(); }); });
}

StartupTab::~StartupTab() = default;

void StartupTab::FormShow()
{
    m_ui->chk_starthidden->setChecked(
        StationSettings::read(IniFile(IniFile::defaultPath()), StationSettings::StartHidden));
}

void StartupTab::sb_saveClick()
{
    IniChanges changes;
    StationSettings::set(changes, StationSettings::StartHidden, m_ui->chk_starthidden->isChecked());
    IniFile(IniFile::defaultPath()).write(changes);
    infobox(m_dialogs, QStringLiteral("保存成功!"));
}
