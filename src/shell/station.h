#pragma once

#include "common/readingstate.h"
#include "common/services.h"

#include <QObject>

#include <memory>

class TDM;
class Tf_speaker;
class Tf_about;
class TFdelaytime;
class Tfbirthday;
class Tfselectmonth;
class ContentTab;
class TFaddbiaodian;

// Creates the station in its fixed order (data module, main window, about window, sound, settings
// windows) and ends it. The program runs one; tests run one per test on a temporary program folder.
class Station final : public QObject
{
    Q_OBJECT
public:
    explicit Station(const Services& services, QObject* parent = nullptr);
    ~Station() override;

    // False when the station cannot run (the database could not be opened): the program ends.
    bool start();
    // Why start() failed: the database's path and the reason.
    QString failure() const { return m_failure; }
    // minimized: kept in the tray (or minimised without one), as --minimized asks.
    void showMainWindow(bool minimized = false);

    TDM* dataModule() const { return m_tdm.get(); }
    Tf_speaker* mainWindow() const { return m_main.get(); }
    Tf_about* aboutWindow() const { return m_about.get(); }
    TFdelaytime* settingsWindow() const { return m_settings.get(); }
    ContentTab* contentTab() const { return m_contentTab; }
    Tfbirthday* rosterEditor() const { return m_roster.get(); }
    Tfselectmonth* monthView() const { return m_month.get(); }
    TFaddbiaodian* addSymbolWindow() const { return m_addSymbol.get(); }
    ReadingState& readingState() { return m_state; }
    const Services& services() const { return m_services; }

signals:
    // The main window asked to end the program.
    void finished();

private:
    Q_INVOKABLE void commitDataRequested();

    Services m_services;
    QString m_failure;
    ReadingState m_state;
    std::unique_ptr<TDM> m_tdm;
    std::unique_ptr<Tf_speaker> m_main;
    std::unique_ptr<Tf_about> m_about;
    std::unique_ptr<TFaddbiaodian> m_addSymbol;
    std::unique_ptr<TFdelaytime> m_settings;
    ContentTab* m_contentTab = nullptr; // a page of m_settings
    std::unique_ptr<Tfbirthday> m_roster;
    std::unique_ptr<Tfselectmonth> m_month;
};
