#include "station.h"

#include "tf_about.h"
#include "tf_speaker.h"
#include "tfdelaytime.h"

#include "common/errorguard.h"
#include "common/powercontrol.h"
#include "common/sounddevice.h"
#include "music/musicpanel.h"
#include "music/sdlaudiolibrary.h"
#include "data/tdm.h"
#include "speech/pausestab.h"
#include "speech/tfaddbiaodian.h"

#include <QGuiApplication>
#include <QSessionManager>

Station::Station(const Services& services, QObject* parent)
    : QObject(parent)
    , m_services(services)
{
}

Station::~Station()
{
    // The windows go before the state they read.
    m_settings.reset();
    m_addSymbol.reset();
    m_about.reset();
    m_main.reset();
    m_tdm.reset();
}

bool Station::start()
{
    // The data module comes first; without the database nothing else starts (it warns once).
    m_tdm = std::make_unique<TDM>();
    if (!m_tdm->DataModuleCreate()) {
        m_tdm.reset();
        return false;
    }
    m_main = std::make_unique<Tf_speaker>(m_services, m_state, m_tdm.get());
    connect(m_main.get(), &Tf_speaker::terminationRequested, this, &Station::finished);
    m_about = std::make_unique<Tf_about>(m_main.get());
    m_main->setAboutWindow(m_about.get());

    // The audio library starts here, after the main window and before the settings window.
    m_main->musicPanel()->player().setBj_index(0);
    init_bass(m_services.audio);
    SoundDevice::instance().open(); // speech and the chime need the mixer even without the music library

    m_addSymbol = std::make_unique<TFaddbiaodian>(m_tdm->q_delaytime(), m_main.get());

    m_settings = std::make_unique<TFdelaytime>(m_main.get());
    m_main->setSettingsWindow(m_settings.get());
    auto* pauses = new PausesTab(m_tdm->q_delaytime(), m_main->pauseSymbols(), m_addSymbol.get());
    pauses->setObjectName(QStringLiteral("TabSheet_pauses"));
    m_settings->addPage(pauses, QStringLiteral("停顿及延时设置"));
    connect(m_settings.get(), &TFdelaytime::aboutToShow, pauses, [pauses] { guarded([pauses] { pauses->FormShow(); }); });

    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
            // Refuse the end of the session; the station ends itself and switches the machine off.
            manager.cancel();
            commitDataRequested();
        });
    }
    return true;
}

void Station::showMainWindow()
{
    m_main->show();
}

void Station::commitDataRequested()
{
    m_main->endWithoutSaving();
    if (m_services.power && m_services.power->canPowerOff()) {
        m_services.power->powerOff();
    }
}
