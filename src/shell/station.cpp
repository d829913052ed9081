#include "station.h"

#include "birthdays/birthdaylist.h"
#include "birthdays/contenttab.h"
#include "birthdays/tfbirthday.h"
#include "birthdays/tfmoupt.h"
#include "birthdays/tfselectmonth.h"
#include "calendar/calendarsql.h"
#include "calendar/holidaytab.h"
#include "common/errorguard.h"
#include "common/powercontrol.h"
#include "data/tdm.h"
#include "music/musicpanel.h"
#include "music/sdlaudiolibrary.h"
#include "schedule/telltimetab.h"
#include "schedule/timeannouncements.h"
#include "speech/lexicontab.h"
#include "speech/pausestab.h"
#include "speech/tfaddbiaodian.h"
#include "startuptab.h"
#include "tf_about.h"
#include "tf_speaker.h"
#include "tfdelaytime.h"
#include "ui_tf_speaker.h"

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
    m_month.reset();
    m_roster.reset();
    m_settings.reset();
    m_addSymbol.reset();
    m_about.reset();
    m_main.reset();
    m_tdm.reset();
}

bool Station::start()
{
    // The data module comes first; without the database nothing else starts (it warns once). Its
    // stored queries call the calendar's functions, given to every connection it opens.
    m_tdm = std::make_unique<TDM>(m_services, &registerCalendarFunctions);
    if (!m_tdm->DataModuleCreate()) {
        m_failure = m_tdm->failure();
        m_tdm.reset();
        return false;
    }
    m_main = std::make_unique<Tf_speaker>(m_services, m_state, m_tdm.get());
    connect(m_main.get(), &Tf_speaker::terminationRequested, this, &Station::finished);
    m_about = std::make_unique<Tf_about>(m_main.get());
    m_main->setAboutWindow(m_about.get());

    // The audio library starts here, after the main window and before the settings window.
    m_main->musicPanel()->player().setBj_index(0);
    // The sound device itself opens whenever something is to play and closes when all is quiet.
    init_bass(m_services.audio, m_services.dialogsOrConsole());

    Dialogs& dialogs = m_services.dialogsOrConsole();
    m_addSymbol = std::make_unique<TFaddbiaodian>(m_tdm->q_delaytime(), dialogs, m_main.get());

    m_settings = std::make_unique<TFdelaytime>(m_main.get());
    m_main->setSettingsWindow(m_settings.get());
    Tf_speaker* main = m_main.get();
    m_contentTab
        = new ContentTab([main](const QString& text) { main->setMainreadText(text); }, main->form()->edt_user, dialogs);
    m_contentTab->setObjectName(QStringLiteral("TabSheet_content"));
    m_settings->addPage(m_contentTab, QStringLiteral("播报内容"));
    connect(m_settings.get(), &TFdelaytime::aboutToShow, m_contentTab,
            [this] { guarded(m_services.dialogsOrConsole(), [this] { m_contentTab->FormShow(); }); });
    auto* pauses = new PausesTab(m_tdm->q_delaytime(), m_main->pauseSymbols(), m_addSymbol.get(), dialogs);
    pauses->setObjectName(QStringLiteral("TabSheet_pauses"));
    m_settings->addPage(pauses, QStringLiteral("停顿及延时设置"));
    connect(m_settings.get(), &TFdelaytime::aboutToShow, pauses,
            [this, pauses] { guarded(m_services.dialogsOrConsole(), [pauses] { pauses->FormShow(); }); });
    // Third page; its creation builds the announcement list, so the announcements work from the first tick.
    auto* telltimeTab = new TellTimeTab(m_tdm->Q_telltime(), dialogs);
    telltimeTab->setObjectName(QStringLiteral("TabSheet_telltime"));
    m_settings->addPage(telltimeTab, QStringLiteral("整点报时"));
    m_main->timeAnnouncements()->setList(telltimeTab->sgrid3());
    connect(telltimeTab, &TellTimeTab::telltimeFilled, m_main->timeAnnouncements(), &TimeAnnouncements::setList);

    // Fourth page: the company's calendar; a change rebuilds today's list and announcement.
    auto* holidayTab = new HolidayTab(
        m_tdm->database(), [main] { main->calendarChanged(); }, m_services.clockOrSystem(), dialogs);
    holidayTab->setObjectName(QStringLiteral("TabSheet_holidays"));
    m_settings->addPage(holidayTab, QStringLiteral("节假日"));
    connect(m_settings.get(), &TFdelaytime::aboutToShow, holidayTab,
            [this, holidayTab] { guarded(m_services.dialogsOrConsole(), [holidayTab] { holidayTab->FormShow(); }); });

    // Last page: the pronunciation lexicon; each change takes effect at the next piece spoken.
    auto* lexiconTab = new LexiconTab(
        m_tdm->Q_lexicon(),
        [main](const QString& word, const QString& pinyin, bool surname) { main->listenTo(word, pinyin, surname); },
        [main] { main->refreshSpokenForm(); }, dialogs);
    lexiconTab->setObjectName(QStringLiteral("TabSheet_lexicon"));
    m_settings->addPage(lexiconTab, QStringLiteral("读音词典"));
    connect(m_settings.get(), &TFdelaytime::aboutToShow, lexiconTab,
            [this, lexiconTab] { guarded(m_services.dialogsOrConsole(), [lexiconTab] { lexiconTab->FormShow(); }); });

    // How the station starts: hidden in the tray or with its window.
    auto* startupTab = new StartupTab(dialogs);
    startupTab->setObjectName(QStringLiteral("TabSheet_startup"));
    m_settings->addPage(startupTab, QStringLiteral("启动"));
    connect(m_settings.get(), &TFdelaytime::aboutToShow, startupTab,
            [this, startupTab] { guarded(m_services.dialogsOrConsole(), [startupTab] { startupTab->FormShow(); }); });

    // The editor binds to the roster now and reads it when it first opens.
    m_roster = std::make_unique<Tfbirthday>(m_tdm->rosterModel(), m_services, m_main.get());
    m_roster->setLoader([tdm = m_tdm.get()] { tdm->Q_birthday2(); });
    m_roster->setListen([main](const QString& name, const QString& pinyin) { main->listenTo(name, pinyin, true); });
    m_main->setRosterEditor(m_roster.get());
    connect(m_roster.get(), &Tfbirthday::exportRequested, m_roster.get(), [this](QAbstractItemView* grid) {
        Tfmoupt::exportGrid(grid, m_services.dialogsOrConsole(), m_roster.get());
    });
    m_month
        = std::make_unique<Tfselectmonth>(m_tdm.get(), main->form()->SpinEdit3, main->birthdayList(), m_services, main);
    connect(main->birthdayList(), &BirthdayList::monthViewRequested, m_month.get(), [this] { m_month->exec(); });

    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
            // Refuse the end of the session; the station ends itself and switches the machine off.
            manager.cancel();
            commitDataRequested();
        });
    }
    return true;
}

void Station::showMainWindow(bool minimized)
{
    m_main->showAtStart(minimized);
}

void Station::commitDataRequested()
{
    m_main->endWithoutSaving();
    if (m_services.power && m_services.power->canPowerOff()) {
        m_services.power->powerOff();
    }
}
