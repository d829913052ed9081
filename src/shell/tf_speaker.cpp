#include "tf_speaker.h"

#include "birthdays/birthdaylist.h"
#include "birthdays/dayannouncement.h"
#include "birthdays/exportview.h"
#include "birthdays/tfbirthday.h"
#include "calendar/anniversaries.h"
#include "calendar/stationcalendar.h"
#include "common/clock.h"
#include "common/desktop.h"
#include "common/errorguard.h"
#include "common/eventlog.h"
#include "common/helpers.h"
#include "common/inifile.h"
#include "common/readingstate.h"
#include "common/runtimeerror.h"
#include "common/stationfolders.h"
#include "common/stationsettings.h"
#include "data/speechtables.h"
#include "data/tdm.h"
#include "music/musicpanel.h"
#include "schedule/broadcastactions.h"
#include "schedule/schedulepanel.h"
#include "schedule/timeannouncements.h"
#include "speech/pausesymbols.h"
#include "speech/readingcommands.h"
#include "speech/readingcontroller.h"
#include "speech/tf_information.h"
#include "speech/voiceengine.h"
#include "speech/voicepanel.h"
#include "ui_tf_speaker.h"
#include "windowsettings.h"

#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>

namespace {

QTime parseTimeOfDay(const QString& text, const QTime& fallback)
{
    for (const char* format : { "HH:mm:ss", "H:mm:ss", "HH:mm", "H:mm" }) {
        const QTime time = QTime::fromString(text.trimmed(), QLatin1String(format));
        if (time.isValid()) {
            return time;
        }
    }
    return fallback;
}

} // namespace

Tf_speaker::Tf_speaker(const Services& services, ReadingState& state, TDM* dataModule, QWidget* parent)
    : QMainWindow(parent)
    , m_ui(new Ui::Tf_speaker)
    , m_services(services)
    , m_clock(services.clockOrSystem())
    , m_dialogs(services.dialogsOrConsole())
    , m_state(state)
    , m_dataModule(dataModule)
    , m_spokenForm(services.voice)
{
    m_ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/icons/kelvora.png")));
    FormCreate();
}

Tf_speaker::~Tf_speaker()
{
    if (m_schedulePanel) {
        m_schedulePanel->setActions(nullptr);
    }
    m_broadcast.reset();
    m_readingCommands.reset(); // stops and joins a reading before the controls go
}

ReadingController& Tf_speaker::readingController() const
{
    return m_readingCommands->controller();
}

void Tf_speaker::ExportGridToExcel(const QString& title, QTableWidget* grid, int dataFontSize)
{
    if (grid) {
        ::ExportGridToExcel(m_services.spreadsheet, m_dialogs, title, *grid, dataFontSize);
    }
}

QLabel* Tf_speaker::statusPanel(int index) const
{
    return m_statusPanels.value(index);
}

void Tf_speaker::FormCreate()
{
    setupToolbar();
    setupKeyboardAndNames();
    setupScrolling();
    setupStatusBar();
    setupTray();
    setupSchedule();
    m_state.standalone = true;

    const QDate today = m_clock.currentDate();
    statusPanel(1)->setText(today.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') + weekdayName(today));

    // Changes enable the save button from here on, so stored values that differ from the form's
    // initial values leave it enabled after start-up.
    connectSaveEnabling();
    m_voicePanel = new VoicePanel(
        m_services.voice,
        { m_ui->flatComboBox1, m_ui->TrackBar2, m_ui->StaticText6, m_ui->TrackBar1, m_ui->StaticText9, m_ui->Memo1 },
        m_dialogs, this);
    loadSettings();
    createMusicPanel();
    // The settings file is opened again for the voice list.
    m_voicePanel->fillVoiceList(IniFile(IniFile::defaultPath()));
    guarded(m_dialogs, [this] { m_pauseSymbols.getdelaystring(m_dataModule ? m_dataModule->q_delaytime() : nullptr); });
    refreshSpokenForm();
    setupReading();

    connect(m_ui->SB_close, &QToolButton::clicked, this, [this] { guarded(m_dialogs, [this] { SB_closeClick(); }); });
    connect(m_ui->sb_save, &QPushButton::clicked, this, [this] { guarded(m_dialogs, [this] { sb_saveClick(); }); });
    connect(m_ui->sb_delay, &QToolButton::clicked, this, [this] { guarded(m_dialogs, [this] { sb_delayClick(); }); });
    connect(m_ui->sb_edit, &QToolButton::clicked, this, [this] { guarded(m_dialogs, [this] { sb_editClick(); }); });
    connect(m_ui->N31, &QAction::triggered, this, [this] { guarded(m_dialogs, [this] { N31Click(); }); });
    connect(m_ui->N32, &QAction::triggered, this, [this] { guarded(m_dialogs, [this] { N32Click(); }); });
    connect(m_ui->N33, &QAction::triggered, this, [this] { guarded(m_dialogs, [this] { N33Click(); }); });

    // The music fades in from the speaking level.
    m_musicPanel->player().setBj_level(m_ui->bj_v1->value());

    // The calendar before the list: the days off, the 29 February rule the queries follow.
    m_calendar = std::make_unique<StationCalendar>(
        m_dataModule ? m_dataModule->database() : QSqlDatabase(),
        [this] {
            std::array<bool, 7> weekdays {};
            const QCheckBox* boxes[7]
                = { m_ui->chk1, m_ui->chk2, m_ui->chk3, m_ui->chk4, m_ui->chk5, m_ui->chk6, m_ui->chk7 };
            for (size_t day = 0; day < weekdays.size(); ++day) {
                weekdays[day] = boxes[day]->isChecked();
            }
            return weekdays;
        },
        IniFile::defaultPath());
    guarded(m_dialogs, [this] { m_calendar->reload(); });
    m_schedulePanel->setCalendarDay([this](const QDate& day) {
        switch (m_calendar->reasonFor(day)) {
        case BroadcastDays::Reason::DayOff:
            return CalendarDay::DayOff;
        case BroadcastDays::Reason::WorkingDay:
            return CalendarDay::WorkingDay;
        default:
            return CalendarDay::Ordinary;
        }
    });
    m_timeAnnouncements->setSilentOn([this](const QDate& day) { return m_calendar->telltimeSilentOn(day); });
    restoreWindowGeometry();

    // The last step: today's list and announcement, once every setting is in its control.
    setupBirthdayList();
    guarded(m_dialogs, [this] { m_birthdayList->RefreshBirthdays(); });
}

void Tf_speaker::setupKeyboardAndNames()
{
    const struct
    {
        QToolButton* button;
        QKeySequence key;
    } keys[] = {
        { m_ui->SB_play, QKeySequence(Qt::Key_F5) },
        { m_ui->SB_stop, QKeySequence(Qt::Key_F6) },
        { m_ui->sb_delay, QKeySequence(Qt::CTRL | Qt::Key_Comma) },
        { m_ui->SB_music, QKeySequence() },
        { m_ui->SB_write, QKeySequence(Qt::CTRL | Qt::Key_G) },
        { m_ui->sb_edit, QKeySequence(Qt::CTRL | Qt::Key_E) },
        { m_ui->SB_close, QKeySequence(Qt::CTRL | Qt::Key_Q) },
    };
    for (const auto& entry : keys) {
        const QString hint = entry.button->toolTip();
        entry.button->setAccessibleName(entry.button->text());
        entry.button->setAccessibleDescription(hint);
        if (!entry.key.isEmpty()) {
            entry.button->setShortcut(entry.key);
            entry.button->setToolTip(QStringLiteral("%1 (%2)").arg(hint, entry.key.toString(QKeySequence::NativeText)));
        }
    }

    // What a screen reader says for the controls whose label stands beside them.
    const struct
    {
        QWidget* widget;
        const char* name;
    } names[] = {
        { m_ui->Memo1, "播报语句" },          { m_ui->SGrid1, "生日名单" },
        { m_ui->TimeEdit1, "播报开始时间" },  { m_ui->TimeEdit2, "播报结束时间" },
        { m_ui->SpinEdit1, "播报次数" },      { m_ui->SpinEdit2, "间隔秒数" },
        { m_ui->SpinEdit3, "入职天数" },      { m_ui->SpinEdit4, "显示天数" },
        { m_ui->edt_song, "指定音乐" },       { m_ui->edt_user, "单位名称" },
        { m_ui->sb_save, "保存播报设置" },    { m_ui->flatComboBox1, "语音库（发音人）" },
        { m_ui->TrackBar2, "语速" },          { m_ui->TrackBar1, "音量" },
        { m_ui->bj_play, "播放音乐" },        { m_ui->bj_stop, "停止音乐" },
        { m_ui->bj_prev, "上一首" },          { m_ui->bj_next, "下一首" },
        { m_ui->bj_ok, "选择音乐文件夹" },    { m_ui->bj_v, "音乐音量" },
        { m_ui->bj_v1, "朗读时音量" },        { m_ui->ComBox1, "播放方式" },
        { m_ui->BJListBox1, "背景音乐列表" },
    };
    for (const auto& entry : names) {
        entry.widget->setAccessibleName(QString::fromUtf8(entry.name));
    }
}

void Tf_speaker::setupScrolling()
{
    // The toolbar stays in place; the panels below it scroll.
    QWidget* panels = takeCentralWidget();
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("MainPage"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    panels->layout()->removeWidget(m_ui->ToolBar1);
    m_ui->ToolBar1->setParent(page);
    layout->addWidget(m_ui->ToolBar1);
    auto* scroll = new QScrollArea(page);
    scroll->setObjectName(QStringLiteral("MainScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(panels);
    layout->addWidget(scroll, 1);
    setCentralWidget(page);
}

void Tf_speaker::restoreWindowGeometry()
{
    const WindowSettings stored = WindowSettings::read(IniFile(IniFile::defaultPath()));
    m_startHidden = stored.startHidden;
    m_maximizedAtStart = stored.maximized;
    m_stillRunningSaid = stored.trayNoticeShown;
    const QScreen* screen = stored.geometry.isValid() ? QGuiApplication::screenAt(stored.geometry.center()) : nullptr;
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect available = screen ? screen->availableGeometry() : QRect();
    setGeometry(WindowSettings::fitted(stored.geometry, size(), minimumSizeHint(), available));
}

bool Tf_speaker::windowGeometryChanges(IniChanges& changes) const
{
    if (!m_everShown) {
        return false; // never on the screen (headless): nothing to remember
    }
    const bool maximized = isMaximized();
    const QRect normal = maximized && normalGeometry().isValid() ? normalGeometry() : geometry();
    const WindowSettings stored = WindowSettings::read(IniFile(IniFile::defaultPath()));
    if (stored.geometry == normal && stored.maximized == maximized) {
        return false;
    }
    WindowSettings::setGeometry(changes, normal, maximized);
    return true;
}

void Tf_speaker::saveWindowGeometry()
{
    try {
        IniChanges changes;
        if (windowGeometryChanges(changes)) {
            IniFile(IniFile::defaultPath()).write(changes);
        }
    } catch (const RuntimeError& error) {
        logEvent(QStringLiteral("window position not saved: ") + error.message());
    }
}

void Tf_speaker::showAtStart(bool minimized)
{
    if (!minimized && !m_startHidden) {
        if (m_maximizedAtStart) {
            showMaximized();
        } else {
            show();
        }
        return;
    }
    if (m_trayAvailable) {
        logEvent(QStringLiteral("started hidden in the tray"));
        N18Click();
    } else {
        // Hidden without a tray nobody could bring it back: the taskbar keeps it.
        logEvent(QStringLiteral("started minimised (no tray to hide in)"));
        showMinimized();
    }
}

void Tf_speaker::createMusicPanel()
{
    MusicWidgets widgets;
    widgets.bj_play = m_ui->bj_play;
    widgets.bj_stop = m_ui->bj_stop;
    widgets.bj_next = m_ui->bj_next;
    widgets.bj_prev = m_ui->bj_prev;
    widgets.bj_ok = m_ui->bj_ok;
    widgets.bj_v = m_ui->bj_v;
    widgets.bj_v1 = m_ui->bj_v1;
    widgets.ComBox1 = m_ui->ComBox1;
    widgets.RzLEDDisplay1 = m_ui->RzLEDDisplay1;
    widgets.BJListBox1 = m_ui->BJListBox1;
    widgets.statusPanel2 = statusPanel(2);
    widgets.SB_music = m_ui->SB_music;
    widgets.edt_song = m_ui->edt_song;
    widgets.sb_save = m_ui->sb_save;
    m_musicPanel = new MusicPanel(m_services, m_state, widgets, m_musicFolder, this);
}

void Tf_speaker::setupSchedule()
{
    ScheduleControls controls;
    controls.TimeEdit1 = m_ui->TimeEdit1;
    controls.TimeEdit2 = m_ui->TimeEdit2;
    controls.chk = { m_ui->chk1, m_ui->chk2, m_ui->chk3, m_ui->chk4, m_ui->chk5, m_ui->chk6, m_ui->chk7 };
    controls.Memo1 = m_ui->Memo1;
    controls.edt_song = m_ui->edt_song;
    controls.chk_rollover = m_ui->chk_rollover;
    // Built before the reading and the music it starts; it is given them when they exist (setupReading).
    m_schedulePanel = new SchedulePanel(controls, m_clock, m_dialogs, this);
    m_schedulePanel->setNewDay([this] { newDay(); });
    m_schedulePanel->setRecompose([this] {
        if (m_calendar) {
            guarded(m_dialogs, [this] { m_calendar->reload(); });
        }
        if (m_birthdayList) {
            guarded(m_dialogs, [this] { m_birthdayList->RefreshBirthdays(); });
        }
    });
    m_timeAnnouncements = new TimeAnnouncements(
        statusPanel(1), m_services, [this] { applyvoice(); }, this);
    m_timeAnnouncements->setSpokenForm(&m_spokenForm);
    m_timeAnnouncements->setReadingState(&m_state);
}

void Tf_speaker::listenTo(const QString& word, const QString& pinyin, bool isName)
{
    if (!m_services.voice) {
        return;
    }
    if (!m_voicePanel || !m_voicePanel->hasVoice()) {
        warnbox(m_dialogs, QStringLiteral("请选择语音引擎!"));
        return;
    }
    if (m_state.isreading()) {
        infobox(m_dialogs, QStringLiteral("正在播报，请在播报结束后再试听。"));
        return;
    }
    applyvoice();
    m_services.voice->speak(m_spokenForm.entry(word, pinyin, isName),
                            VoiceEngine::Async | VoiceEngine::PurgeBeforeSpeak);
}

void Tf_speaker::refreshSpokenForm()
{
    if (!m_dataModule) {
        return;
    }
    guarded(m_dialogs, [this] {
        const QSqlDatabase db = m_dataModule->database();
        m_spokenForm.publish(std::make_shared<const Lexicon>(SpeechTables::lexicon(db), SpeechTables::readings(db)));
    });
}

void Tf_speaker::calendarChanged()
{
    guarded(m_dialogs, [this] { m_calendar->reload(); });
    if (m_birthdayList) {
        guarded(m_dialogs, [this] { m_birthdayList->RefreshBirthdays(); });
    }
}

void Tf_speaker::newDay()
{
    // Days marked from the command line meanwhile count from the new day on.
    if (m_calendar) {
        guarded(m_dialogs, [this] { m_calendar->reload(); });
    }
    if (m_musicPanel) {
        m_musicPanel->player().setSong_endtime(QStringLiteral("00:00:00"));
    }
    if (m_birthdayList) {
        guarded(m_dialogs, [this] { m_birthdayList->RefreshBirthdays(); });
    }
}

void Tf_speaker::applyvoice()
{
    if (m_voicePanel) {
        m_voicePanel->applyvoice();
    }
}

void Tf_speaker::setupBirthdayList()
{
    BirthdayWidgets widgets;
    widgets.SGrid1 = m_ui->SGrid1;
    widgets.SB_write = m_ui->SB_write;
    widgets.SpinEdit3 = m_ui->SpinEdit3;
    widgets.SpinEdit4 = m_ui->SpinEdit4;
    widgets.chk_read1 = m_ui->chk_read1;
    widgets.chk_read2 = m_ui->chk_read2;
    widgets.chk_read3 = m_ui->chk_read3;
    widgets.chk_next = m_ui->chk_next;
    widgets.edt_user = m_ui->edt_user;
    widgets.Memo1 = m_ui->Memo1;
    BirthdayQueries queries;
    // Without a data module (it could not be opened) the list stays empty rather than failing.
    queries.monthDay = [this](const QString& tokens, const QString& threshold) {
        return m_dataModule ? m_dataModule->qry_month_day(tokens, threshold) : QList<QSqlRecord>();
    };
    queries.month = [this](const QString& month, const QString& threshold) {
        return m_dataModule ? m_dataModule->qry_month(month, threshold) : QList<QSqlRecord>();
    };
    queries.anniversaries = [this](const QList<QDate>& days, const QList<int>& years) {
        return m_dataModule ? Anniversaries::on(m_dataModule->database(), days, years) : QList<AnniversaryEntry>();
    };
    m_birthdayList = new BirthdayList(
        widgets, queries, [this] { return m_mainreadText; }, m_services, this);
    m_birthdayList->setCalendar([this] { return m_calendar->dayCalendar(); });
    connect(m_birthdayList, &BirthdayList::exportRequested, this,
            [this] { guarded(m_dialogs, [this] { O1Click(); }); });
}

void Tf_speaker::O1Click()
{
    ExportGridToExcel(QStringLiteral("员工生日资料表"), m_ui->SGrid1, 9);
}

void Tf_speaker::setupReading()
{
    ReadingWidgets widgets;
    widgets.Memo1 = m_ui->Memo1;
    widgets.Memo2 = m_ui->Memo2;
    widgets.flatComboBox1 = m_ui->flatComboBox1;
    widgets.SB_play = m_ui->SB_play;
    widgets.SB_stop = m_ui->SB_stop;
    widgets.SB_repeat1 = m_ui->SB_repeat1;
    widgets.sb_delay = m_ui->sb_delay;
    widgets.SpinEdit1 = m_ui->SpinEdit1;
    widgets.SpinEdit2 = m_ui->SpinEdit2;
    widgets.statusPanel0 = statusPanel(0);
    m_readingCommands = std::make_unique<ReadingCommands>(
        widgets, m_services, m_state, m_pauseSymbols, [this] { m_voicePanel->applyvoice(); }, &m_spokenForm);
    m_readingCommands->controller().setDatetimetype(m_datetimetype);
    // The scheduler starts and stops the reading and the music through their controllers.
    m_broadcast
        = std::make_unique<BroadcastActions>(m_readingCommands->controller(), m_musicPanel->player(), m_dialogs);
    m_schedulePanel->setActions(m_broadcast.get());
    // After the range, what starts is stopped as it starts: no stop presses on every tick, which would
    // also empty the voice's queue of a time announcement.
    ReadingController& reading = m_readingCommands->controller();
    connect(&reading, &ReadingController::repetitionStarted, m_schedulePanel, &SchedulePanel::readingStarted);
    connect(&reading, &ReadingController::readingStarted, m_schedulePanel, &SchedulePanel::readingStarted);
    // The player reports a start from inside its own call; the stop waits for the event loop.
    m_musicPanel->player().setStartedHandler([panel = QPointer<SchedulePanel>(m_schedulePanel)] {
        if (panel) {
            QMetaObject::invokeMethod(
                panel, [panel] { panel->musicStarted(); }, Qt::QueuedConnection);
        }
    });
}

void Tf_speaker::setupToolbar()
{
    const struct
    {
        QToolButton* button;
        QStyle::StandardPixmap icon;
    } buttons[] = {
        { m_ui->SB_play, QStyle::SP_MediaPlay },          { m_ui->SB_stop, QStyle::SP_MediaStop },
        { m_ui->SB_repeat1, QStyle::SP_BrowserReload },   { m_ui->sb_delay, QStyle::SP_FileDialogDetailedView },
        { m_ui->SB_music, QStyle::SP_DriveCDIcon },       { m_ui->SB_write, QStyle::SP_FileDialogContentsView },
        { m_ui->sb_edit, QStyle::SP_FileDialogListView }, { m_ui->SB_close, QStyle::SP_DialogCloseButton },
        { m_ui->bj_play, QStyle::SP_MediaPlay },          { m_ui->bj_stop, QStyle::SP_MediaStop },
        { m_ui->bj_prev, QStyle::SP_MediaSkipBackward },  { m_ui->bj_next, QStyle::SP_MediaSkipForward },
        { m_ui->bj_ok, QStyle::SP_DirOpenIcon },
    };
    for (const auto& entry : buttons) {
        entry.button->setIcon(style()->standardIcon(entry.icon));
    }
    // The whole-text loop is the scheduler's; the user never sees its button.
    m_ui->SB_repeat1->setVisible(false);

    const QStringList titles = { QStringLiteral("姓名"), QStringLiteral("入职"), QStringLiteral("生日"),
                                 QStringLiteral("部门"), QStringLiteral("选择"), QStringLiteral("年龄") };
    m_ui->SGrid1->setColumnCount(titles.size());
    m_ui->SGrid1->setHorizontalHeaderLabels(titles);
    m_ui->SGrid1->verticalHeader()->setVisible(false);
    const int widths[] = { 56, 62, 62, 105, 30 };
    // The date columns grow to show a whole "yyyy-mm-dd" in this font; the others keep their widths.
    const int dateWidth = m_ui->SGrid1->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + 10;
    for (int column = 0; column < 5; ++column) {
        const bool date = column == 1 || column == 2;
        m_ui->SGrid1->setColumnWidth(column, date ? qMax(widths[column], dateWidth) : widths[column]);
    }
    m_ui->SGrid1->setColumnHidden(5, true);
}

void Tf_speaker::setupStatusBar()
{
    const int widths[] = { 100, 200, 400 };
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFixedWidth(widths[i]);
        panel->setFrameShape(QFrame::StyledPanel);
        m_ui->StatusBar1->addWidget(panel);
        m_statusPanels.append(panel);
    }
}

void Tf_speaker::setupTray()
{
    m_trayMenu = new QMenu(this);
    m_trayMenu->setObjectName(QStringLiteral("PopupMenu6"));
    m_N5 = m_trayMenu->addAction(QStringLiteral("显示Kelvora (&S)"));
    m_N5->setObjectName(QStringLiteral("N5"));
    m_N5->setCheckable(true);
    m_N5->setChecked(true);
    m_N18 = m_trayMenu->addAction(QStringLiteral("隐藏Kelvora (&H)"));
    m_N18->setObjectName(QStringLiteral("N18"));
    m_N18->setCheckable(true);
    m_N7 = m_trayMenu->addAction(QStringLiteral("退出  (&C)"));
    m_N7->setObjectName(QStringLiteral("N7"));
    connect(m_N5, &QAction::triggered, this, [this] { N5Click(); });
    connect(m_N18, &QAction::triggered, this, [this] { N18Click(); });
    connect(m_N7, &QAction::triggered, this, [this] { N7Click(); });

    // The icon exists from the start; a tray that appears later (the panel starting after the station
    // at log-in) is found by a slow look every few seconds and gets it then. Until then the close box
    // minimises instead (closeEvent).
    m_tray = new QSystemTrayIcon(windowIcon(), this);
    m_tray->setObjectName(QStringLiteral("TrayIcon1"));
    m_tray->setToolTip(QStringLiteral("Kelvora"));
    m_tray->setContextMenu(m_trayMenu);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason != QSystemTrayIcon::Trigger) {
            return;
        }
        if (isVisible() && !isMinimized()) {
            N18Click();
        } else {
            N5Click();
        }
    });
    m_trayProbe = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    m_trayTimer = new QTimer(this);
    m_trayTimer->setObjectName(QStringLiteral("TrayTimer"));
    m_trayTimer->setInterval(5000);
    connect(m_trayTimer, &QTimer::timeout, this, [this] { trayCheck(); });
    m_trayTimer->start();
    trayCheck();
}

void Tf_speaker::trayCheck()
{
    if (!m_tray || m_ending) {
        return;
    }
    const bool available = m_trayProbe && m_trayProbe();
    if (available == m_trayAvailable && (!available || m_tray->isVisible())) {
        return;
    }
    m_trayAvailable = available;
    if (available) {
        // Shown afresh: an icon shown while no tray was there is not docked by the tray that came.
        m_tray->hide();
        m_tray->show();
        logEvent(QStringLiteral("tray icon shown"));
        return;
    }
    m_tray->hide();
    logEvent(QStringLiteral("the tray went away"));
    if (!m_ending && !isVisible()) {
        showMinimized();
    }
}

void Tf_speaker::sayStillRunning(bool toTray)
{
    if (m_stillRunningSaid) {
        return;
    }
    m_stillRunningSaid = true;
    const QString text = (toTray ? QStringLiteral("Kelvora 仍在运行，窗口已隐藏到托盘：")
                                 : QStringLiteral("Kelvora 仍在运行，窗口已最小化到任务栏："))
        + QStringLiteral("定时播报、整点报时和背景音乐照常进行。")
        + (toTray ? QStringLiteral("单击托盘图标可重新打开窗口；") : QString())
        + QStringLiteral("要结束程序，请用工具栏的“关闭”")
        + (toTray ? QStringLiteral("或托盘菜单的“退出”。") : QStringLiteral("。"));
    if (toTray && QSystemTrayIcon::supportsMessages() && m_tray->isVisible()) {
        logEvent(QStringLiteral("tray notice: ") + text);
        m_tray->showMessage(QStringLiteral("Kelvora"), text, QSystemTrayIcon::Information, 10000);
    } else {
        infobox(m_dialogs, text);
    }
    try {
        IniChanges changes;
        StationSettings::set(changes, StationSettings::TrayNoticeShown, true);
        IniFile(IniFile::defaultPath()).write(changes);
    } catch (const RuntimeError& error) {
        logEvent(QStringLiteral("the tray notice is not remembered: ") + error.message());
    }
}

void Tf_speaker::connectSaveEnabling()
{
    const QList<QCheckBox*> boxes
        = { m_ui->chk1, m_ui->chk2,      m_ui->chk3,      m_ui->chk4,      m_ui->chk5,     m_ui->chk6,
            m_ui->chk7, m_ui->chk_read1, m_ui->chk_read2, m_ui->chk_read3, m_ui->chk_next, m_ui->chk_rollover };
    for (QCheckBox* box : boxes) {
        connect(box, &QCheckBox::toggled, this, &Tf_speaker::enableSave);
    }
    for (QSpinBox* spin : { m_ui->SpinEdit1, m_ui->SpinEdit2, m_ui->SpinEdit3, m_ui->SpinEdit4 }) {
        connect(spin, &QSpinBox::valueChanged, this, &Tf_speaker::enableSave);
    }
    for (QTimeEdit* edit : { m_ui->TimeEdit1, m_ui->TimeEdit2 }) {
        connect(edit, &QTimeEdit::timeChanged, this, &Tf_speaker::enableSave);
    }
}

void Tf_speaker::enableSave()
{
    m_ui->sb_save->setEnabled(true);
}

void Tf_speaker::loadSettings()
{
    using namespace StationSettings;
    IniFile ini(IniFile::defaultPath());

    m_voicePanel->loadRateAndVolume(ini);
    m_datetimetype = read(ini, Datetimetype);

    const int musicVolume = read(ini, MusicVolume);
    const int speakingVolume = read(ini, SpeakingVolume);
    m_ui->SpinEdit1->setValue(read(ini, Readtimes));
    m_ui->SpinEdit2->setValue(read(ini, Intervaltime));
    const int playmode = read(ini, Playmode);
    if (playmode >= 0 && playmode < m_ui->ComBox1->count()) {
        m_ui->ComBox1->setCurrentIndex(playmode);
    } else {
        logEvent(QStringLiteral("Playmode=%1 is not a play mode; 0 (顺序播放) instead").arg(playmode));
        m_ui->ComBox1->setCurrentIndex(Playmode.defaultValue);
    }
    m_pauseSymbols.setMarkdelay(read(ini, Delay2));
    // "The program folder" of the music's default is the station's data folder.
    m_musicFolder = StationSettings::musicFolder(ini, progdir());

    m_ui->bj_v->setValue(musicVolume);
    m_ui->bj_v1->setValue(speakingVolume);
    m_ui->edt_song->setText(read(ini, Mp3file));

    for (int day = 1; day <= 7; ++day) {
        auto* box = findChild<QCheckBox*>(QStringLiteral("chk%1").arg(day));
        box->setChecked(read(ini, CheckBox[size_t(day - 1)]));
    }
    m_ui->TimeEdit1->setTime(
        parseTimeOfDay(read(ini, Playtime1), parseTimeOfDay(Playtime1.defaultValue.toString(), {})));
    m_ui->TimeEdit2->setTime(
        parseTimeOfDay(read(ini, Playtime2), parseTimeOfDay(Playtime2.defaultValue.toString(), {})));
    if (m_ui->TimeEdit2->time() < m_ui->TimeEdit1->time()) {
        // Saved by an older version (the save refuses it now): said once, where the operator looks.
        logEvent(QStringLiteral("the stored broadcast range %1 to %2 ends before it starts: it never holds, "
                                "nothing is broadcast until it is corrected on the schedule panel")
                     .arg(m_ui->TimeEdit1->time().toString(QStringLiteral("HH:mm:ss")),
                          m_ui->TimeEdit2->time().toString(QStringLiteral("HH:mm:ss"))));
    }
    // The announcement's inputs, read as the command line's preview reads them.
    const AnnouncementSettings announcement = AnnouncementSettings::read(ini);
    m_ui->SpinEdit3->setValue(announcement.days);
    m_ui->SpinEdit4->setValue(announcement.showdays);
    m_mainreadText = announcement.mainread;
    m_ui->edt_user->setText(announcement.organisation);

    m_ui->chk_read1->setChecked(announcement.readGroup[0]);
    m_ui->chk_read2->setChecked(announcement.readGroup[1]);
    m_ui->chk_read3->setChecked(announcement.readGroup[2]);
    m_ui->chk_next->setChecked(announcement.nextMonth);
    m_ui->chk_rollover->setChecked(read(ini, Rollover));
    // Written back at once; a refused write is reported and start-up goes on.
    guarded(m_dialogs, [&] {
        IniChanges changes;
        set(changes, NextMonth, m_ui->chk_next->isChecked());
        ini.write(changes);
    });
}

void Tf_speaker::FormShow()
{
    if (!StationSettings::read(IniFile(IniFile::defaultPath()), StationSettings::TtsInformation)) {
        showVoiceInformation()->setShowAtStart(true);
    }
}

void Tf_speaker::N33Click()
{
    showVoiceInformation();
}

Tf_information* Tf_speaker::showVoiceInformation()
{
    // A new window each time; it frees itself when closed.
    auto* window = new Tf_information(m_services, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return window;
}

void Tf_speaker::showEvent(QShowEvent* event)
{
    m_everShown = true;
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) {
        guarded(m_dialogs, [this] { FormShow(); });
    }
}

void Tf_speaker::closeEvent(QCloseEvent* event)
{
    if (m_ending) {
        event->accept();
        return;
    }
    // The close box never ends the station: it goes to the tray, or to the taskbar without a tray.
    event->ignore();
    if (m_trayAvailable) {
        N18Click();
    } else {
        showMinimized();
    }
    sayStillRunning(m_trayAvailable);
}

void Tf_speaker::SB_closeClick()
{
    // Once: a second request while the first still saves (another signal, the tray) does nothing.
    if (m_ending) {
        return;
    }
    m_ending = true;
    m_state.stopflag = true;
    if (m_tray) {
        m_tray->hide();
    }
    // A refused write is shown, but the program still ends: the user asked to close it. A list
    // without a choice (no voices on this start) leaves the stored choice as it is. The window's
    // place goes into the same rewrite.
    m_closeSaveFailed = !guarded(m_dialogs, [this] {
        using namespace StationSettings;
        IniChanges changes;
        m_voicePanel->saveVoice(changes);
        set(changes, Rate, m_ui->TrackBar2->value());
        set(changes, Volume, m_ui->TrackBar1->value());
        set(changes, MusicVolume, m_ui->bj_v->value());
        set(changes, SpeakingVolume, m_ui->bj_v1->value());
        if (m_ui->ComBox1->currentIndex() >= 0) {
            set(changes, Playmode, m_ui->ComBox1->currentIndex());
        }
        windowGeometryChanges(changes);
        // One rewrite: a refusal leaves the file as it was, none of the values half saved.
        IniFile(IniFile::defaultPath()).write(changes);
    });
    endWithoutSaving();
}

void Tf_speaker::endWithoutSaving()
{
    m_ending = true;
    m_state.stopflag = true;
    if (m_readingCommands) {
        m_readingCommands->controller().shutdown();
    }
    emit terminationRequested();
}

void Tf_speaker::sb_saveClick()
{
    using namespace StationSettings;
    if (m_ui->TimeEdit2->time() < m_ui->TimeEdit1->time()) {
        refuseCrossingRange();
        return;
    }
    const QString start = m_ui->TimeEdit1->time().toString(QStringLiteral("HH:mm:ss"));
    IniChanges changes;
    set(changes, Readtimes, m_ui->SpinEdit1->value());
    set(changes, Intervaltime, m_ui->SpinEdit2->value());
    set(changes, Mp3file, m_ui->edt_song->text().trimmed());
    set(changes, Playtime, start);
    for (int day = 1; day <= 7; ++day) {
        const auto* box = findChild<QCheckBox*>(QStringLiteral("chk%1").arg(day));
        set(changes, CheckBox[size_t(day - 1)], box->isChecked());
    }
    set(changes, Playtime1, start);
    set(changes, Playtime2, m_ui->TimeEdit2->time().toString(QStringLiteral("HH:mm:ss")));
    set(changes, Days, m_ui->SpinEdit3->value());
    set(changes, Showdays, m_ui->SpinEdit4->value());
    set(changes, ReadAdd[0], m_ui->chk_read1->isChecked());
    set(changes, ReadAdd[1], m_ui->chk_read2->isChecked());
    set(changes, ReadAdd[2], m_ui->chk_read3->isChecked());
    set(changes, NextMonth, m_ui->chk_next->isChecked());
    set(changes, Rollover, m_ui->chk_rollover->isChecked());
    // One rewrite of the file as it is now: a refusal saves none of the panel (the button stays on).
    IniFile(IniFile::defaultPath()).write(changes);
    m_ui->sb_save->setEnabled(false);
}

void Tf_speaker::refuseCrossingRange()
{
    using namespace StationSettings;
    const QString from = m_ui->TimeEdit1->time().toString(QStringLiteral("HH:mm:ss"));
    const QString to = m_ui->TimeEdit2->time().toString(QStringLiteral("HH:mm:ss"));
    // Nothing of the panel is written; the range goes back to the one that holds, without counting as a
    // change of the range (the scheduler already saw the edits that led here).
    const IniFile ini(IniFile::defaultPath());
    {
        const QSignalBlocker start(m_ui->TimeEdit1);
        const QSignalBlocker end(m_ui->TimeEdit2);
        m_ui->TimeEdit1->setTime(
            parseTimeOfDay(read(ini, Playtime1), parseTimeOfDay(Playtime1.defaultValue.toString(), {})));
        m_ui->TimeEdit2->setTime(
            parseTimeOfDay(read(ini, Playtime2), parseTimeOfDay(Playtime2.defaultValue.toString(), {})));
    }
    warnbox(m_dialogs,
            QStringLiteral("时间范围错误：结束时间 %1 早于开始时间 %2，这样的时间范围永远不会成立。"
                           "设置未保存，时间范围已恢复为 %3 到 %4。")
                .arg(to, from, m_ui->TimeEdit1->time().toString(QStringLiteral("HH:mm:ss")),
                     m_ui->TimeEdit2->time().toString(QStringLiteral("HH:mm:ss"))));
}

void Tf_speaker::sb_delayClick()
{
    if (!m_settings) {
        return;
    }
    m_settings->show();
    m_settings->raise();
    m_settings->activateWindow();
}

void Tf_speaker::sb_editClick()
{
    // The list and the announcement are rebuilt only when the roster changed (or was browsed).
    if (m_roster && m_roster->editRoster()) {
        refreshSpokenForm(); // names and their readings may have changed
        if (m_birthdayList) {
            m_birthdayList->RefreshBirthdays();
        }
    }
}

void Tf_speaker::N31Click()
{
    // A help file the user put into the station's folder comes first; then the manual shipped with the
    // program. Whatever cannot be opened is said, never silence.
    QStringList tried;
    const QStringList candidates = { StationFolders::current().dataFolder() + QStringLiteral("riri.chm"),
                                     StationFolders::sharedFolder() + QStringLiteral("help/index.html") };
    for (const QString& help : candidates) {
        if (!QFileInfo(help).isFile()) {
            continue;
        }
        if (m_services.desktopOrNone().open(QUrl::fromLocalFile(help))) {
            return;
        }
        tried.append(help);
    }
    if (tried.isEmpty()) {
        warnbox(m_dialogs, QStringLiteral("找不到帮助文件。"),
                QStringLiteral("%1: missing (reinstall the package kelvora)").arg(candidates.last()));
        return;
    }
    warnbox(m_dialogs,
            QStringLiteral("无法打开帮助：本机没有能打开帮助文件的程序（网页浏览器）。\n帮助文件：")
                + tried.join(QStringLiteral("\n")),
            QStringLiteral("xdg-open could not start a program for %1").arg(tried.join(QStringLiteral(", "))));
}

void Tf_speaker::N32Click()
{
    if (m_about) {
        if (auto* dialog = qobject_cast<QDialog*>(m_about.data())) {
            dialog->exec();
        }
    }
}

void Tf_speaker::N5Click()
{
    m_N5->setChecked(true);
    m_N18->setChecked(false);
    showNormal();
    raise();
    activateWindow();
}

void Tf_speaker::N18Click()
{
    m_N5->setChecked(false);
    m_N18->setChecked(true);
    saveWindowGeometry(); // the session may end while it is hidden, which saves nothing
    hide();
}

void Tf_speaker::N7Click()
{
    m_ui->SB_close->click();
}
