#pragma once

#include <QString>

// Where the station keeps its files: the settings, the database with the music folder, and the log.
// Portable: all of them in the program folder, as build/bin and a copied /opt/kelvora have them (the
// folder holds setinfo.ini or draft.dat; read-only or not). Installed: the user's XDG folders, each
// under "kelvora/". Chosen: one folder named on the command line (--folder). decide() is the only
// place that chooses; everything that reads or writes a station file asks current().
class StationFolders final
{
public:
    enum class Mode { Portable, Installed, Chosen };

    // What the decision looks at. Empty XDG values mean "not set".
    struct Inputs
    {
        QString programFolder; // the executable's folder
        QString chosenFolder; // --folder; empty when not given
        QString home;
        QString configHome; // $XDG_CONFIG_HOME
        QString dataHome; // $XDG_DATA_HOME
        QString stateHome; // $XDG_STATE_HOME

        // The running program's folder and environment; needs a QCoreApplication.
        static Inputs ofProcess(const QString& chosenFolder = QString());
    };

    static StationFolders decide(const Inputs& inputs);
    // Everything in one folder (a copied program folder, --folder, tests).
    static StationFolders inOneFolder(const QString& folder, Mode mode = Mode::Chosen);

    Mode mode() const { return m_mode; }
    // Each ends in a separator.
    QString configFolder() const { return m_config; }
    QString dataFolder() const { return m_data; }
    QString stateFolder() const { return m_state; }
    QString settingsFile() const; // setinfo.ini
    QString databaseFile() const; // draft.dat
    QString logFile() const; // kelvora.log
    QString musicFolder() const; // mp3files, the default music folder
    // For the log: the mode and the folders.
    QString describe() const;

    // Makes the folders of an installed or chosen station and gives a new station the template
    // draft.dat; a file already in place is never replaced. A portable folder is left as it is (it may
    // be read-only). A chosen folder gets the template only while it holds no station (neither
    // setinfo.ini nor draft.dat): a station that lost its database must say so, not start afresh.
    // False, with the reason, when a folder cannot be made or the template cannot be copied.
    bool prepare(const QString& templateDatabase, QString* problem) const;

    // The folders of this process: set once at start-up, before any other thread runs. Until then,
    // the program folder as a portable station.
    static StationFolders current();
    static void setCurrent(const StationFolders& folders);
    // Back to the program folder (tests).
    static void resetCurrent();

    // share/kelvora as installed beside the program's bin folder (the build tree has the same
    // layout): the template draft.dat and the manual.
    static QString sharedFolder(const QString& programFolder);
    static QString sharedFolder();
    static QString templateDatabase();

private:
    Mode m_mode = Mode::Portable;
    QString m_config;
    QString m_data;
    QString m_state;
};
