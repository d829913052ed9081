#pragma once

#include "common/services.h"
#include "speech/pausesymbols.h"
#include "speech/spokenform.h"

#include <QMainWindow>
#include <QPointer>
#include <QScopedPointer>

#include <functional>
#include <memory>

class QLabel;
class QTimer;
class QMenu;
class QAction;
class QSystemTrayIcon;
class QTableWidget;
class MusicPanel;
class SchedulePanel;
class TDM;
class Tfbirthday;
class TimeAnnouncements;
class VoicePanel;
class BirthdayList;
class PauseSymbols;
class BroadcastActions;
class Clock;
class Dialogs;
class IniChanges;
class ReadingCommands;
class ReadingController;
class ReadingState;
class Tf_information;
class StationCalendar;

namespace Ui {
class Tf_speaker;
}

// The main window: assembles the subsystems' panels, restores the settings into the controls at
// creation, lives in the tray, and ends the program through its close button.
class Tf_speaker final : public QMainWindow
{
    Q_OBJECT
public:
    Tf_speaker(const Services& services, ReadingState& state, TDM* dataModule, QWidget* parent = nullptr);
    ~Tf_speaker() override;

    Ui::Tf_speaker* form() const { return m_ui.data(); }
    const Services& services() const { return m_services; }
    ReadingState& readingState() const { return m_state; }
    TDM* dataModule() const { return m_dataModule; }
    // The scheduler (timer_autoplay) and the time announcements (telltime).
    SchedulePanel* schedulePanel() const { return m_schedulePanel; }
    TimeAnnouncements* timeAnnouncements() const { return m_timeAnnouncements; }
    BirthdayList* birthdayList() const { return m_birthdayList; }
    // Days off, working days and the calendar's settings the station follows.
    StationCalendar* calendar() const { return m_calendar.get(); }
    // The holiday tab or the content tab changed the calendar: read it again and rebuild today's
    // list and announcement, as after a roster edit.
    void calendarChanged();

    // The windows created after this one, which the toolbar and the menu show.
    void setAboutWindow(QWidget* about) { m_about = about; }
    void setSettingsWindow(QWidget* settings) { m_settings = settings; }
    void setRosterEditor(Tfbirthday* roster) { m_roster = roster; }

    QLabel* statusPanel(int index) const;
    // Created at start-up even without a tray; shown once a tray is there (trayCheck).
    QSystemTrayIcon* trayIcon() const { return m_tray; }
    // Shows the window at start-up where it was, or keeps it in the tray (minimized: --minimized, or the
    // setting StartHidden); without a tray it starts minimised instead, so it can always be reached.
    void showAtStart(bool minimized);
    // Looks whether a tray is there now: one that appeared gets the icon, one that went away while the
    // window was hidden brings the window back (minimised). Runs every few seconds.
    void trayCheck();
    // How trayCheck() asks (tests); by default QSystemTrayIcon::isSystemTrayAvailable.
    void setTrayProbe(std::function<bool()> probe) { m_trayProbe = std::move(probe); }
    bool trayAvailable() const { return m_trayAvailable; }

    // The fixed announcement text in memory.
    QString MainreadText() const { return m_mainreadText; }
    void setMainreadText(const QString& text) { m_mainreadText = text; }
    int datetimetype() const { return m_datetimetype; }
    int markdelay() const { return m_pauseSymbols.markdelay(); }
    // The pause symbols shared with the speaking thread.
    PauseSymbols& pauseSymbols() { return m_pauseSymbols; }
    // What every speaking path hands the voice for a text (normaliser, lexicon, names' readings).
    SpokenForm& spokenForm() { return m_spokenForm; }
    // Reads the lexicon and the roster's names and readings again (after either changed).
    void refreshSpokenForm();
    // 试听 of a lexicon entry or a name: the chosen voice says it as a reading would, unless a reading
    // is on the air (it is not interrupted).
    void listenTo(const QString& word, const QString& pinyin, bool isName);
    VoicePanel* voicePanel() const { return m_voicePanel; }
    QString musicFolder() const { return m_musicFolder; }
    ReadingCommands* readingCommands() const { return m_readingCommands.get(); }
    ReadingController& readingController() const;
    MusicPanel* musicPanel() const { return m_musicPanel; }

    // The birthday-list report of a string grid through the spreadsheet application.
    void ExportGridToExcel(const QString& title, QTableWidget* grid, int dataFontSize);
    // "导出生日资料(&O)" of the birthday grid's menu.
    void O1Click();

    // Handlers, named after their controls.
    void FormShow();
    void SB_closeClick();
    void sb_saveClick();
    void sb_delayClick();
    void sb_editClick();
    void N31Click();
    void N32Click();
    void N33Click();
    void N5Click();
    void N18Click();
    void N7Click();
    void enableSave();
    // Ends the program without saving (the end of the desktop session).
    void endWithoutSaving();
    // The close button's save was refused (the program still ended).
    bool closeSaveFailed() const { return m_closeSaveFailed; }

signals:
    // The program is to end: the station leaves its event loop.
    void terminationRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void setupSchedule();
    void applyvoice();
    // The daily rollover's new day: song_endtime back to "00:00:00", and the birthday list and the
    // day's announcement rebuilt as at start-up (RefreshBirthdays).
    void newDay();
    void setupToolbar();
    void setupStatusBar();
    void setupTray();
    // Keyboard shortcuts of the toolbar (shown in the hints) and the names screen readers say.
    void setupKeyboardAndNames();
    // The panels scroll inside the window when it is smaller than they would like (small screens,
    // large scaling), so the window never has to be larger than the screen.
    void setupScrolling();
    void restoreWindowGeometry();
    // Where the window is, when it was shown and moved since the last save: the keys go into the
    // changes and true is returned.
    bool windowGeometryChanges(IniChanges& changes) const;
    // The same written alone (hiding to the tray); a refused write is only logged (nothing to act on).
    void saveWindowGeometry();
    // Once per user: closing the window did not end the station.
    void sayStillRunning(bool toTray);
    void loadSettings();
    void setupReading();
    void createMusicPanel();
    Tf_information* showVoiceInformation();
    void connectSaveEnabling();
    // The schedule save met a range whose end is before its start: says so, saves nothing and shows the
    // stored range again.
    void refuseCrossingRange();
    void setupBirthdayList();

    const QScopedPointer<Ui::Tf_speaker> m_ui;
    Services m_services;
    Clock& m_clock;
    Dialogs& m_dialogs;
    ReadingState& m_state;
    TDM* m_dataModule;
    SchedulePanel* m_schedulePanel = nullptr;
    TimeAnnouncements* m_timeAnnouncements = nullptr;
    BirthdayList* m_birthdayList = nullptr;
    QList<QLabel*> m_statusPanels;
    QSystemTrayIcon* m_tray = nullptr;
    QTimer* m_trayTimer = nullptr;
    std::function<bool()> m_trayProbe;
    bool m_trayAvailable = false;
    bool m_startHidden = false;
    bool m_maximizedAtStart = false;
    bool m_everShown = false;
    bool m_stillRunningSaid = false;
    QMenu* m_trayMenu = nullptr;
    QAction* m_N5 = nullptr;
    QAction* m_N18 = nullptr;
    QAction* m_N7 = nullptr;
    QPointer<QWidget> m_about;
    QPointer<QWidget> m_settings;
    Tfbirthday* m_roster = nullptr;
    MusicPanel* m_musicPanel = nullptr;
    QString m_mainreadText;
    QString m_musicFolder;
    int m_datetimetype = 1;
    PauseSymbols m_pauseSymbols;
    SpokenForm m_spokenForm;
    VoicePanel* m_voicePanel = nullptr;
    bool m_ending = false;
    bool m_closeSaveFailed = false;
    // What the scheduler starts and stops: the reading controller and the music player themselves.
    std::unique_ptr<BroadcastActions> m_broadcast;
    // Declared last: destroyed first, it stops and joins a reading while the editor still exists.
    std::unique_ptr<ReadingCommands> m_readingCommands;
    std::unique_ptr<StationCalendar> m_calendar;
};
