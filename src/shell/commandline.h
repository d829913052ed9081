#pragma once

#include "birthdays/exportwriters.h"
#include "birthdays/rosterimport.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

class Clock;
class QTextStream;

// The program's arguments: none starts the station as always; --headless starts it without any window;
// the others print something about the program folder and end. Preview commands only read the
// program folder (draft.dat opened read-only, setinfo.ini never written, no instance lock), so they
// may run beside a running station; so do --export, which reads the roster, and --import, which
// writes it in one transaction that a running station sees at its next composition.
class CommandLine final
{
public:
    enum class Command {
        Station,
        Headless,
        Help,
        Version,
        Announcement,
        Voices,
        Render,
        Spoken,
        Export,
        Import,
        Holidays,
        Plan
    };
    enum ExitCode { Success = 0, Failure = 1, Usage = 2 };

    // arguments: without the program's name.
    static CommandLine parse(const QStringList& arguments);

    bool isValid() const { return m_error.isEmpty(); }
    // What is wrong with the arguments, for the usage message.
    QString error() const { return m_error; }
    Command command() const { return m_command; }
    // Starts the station (with or without windows) rather than printing and ending.
    bool runsStation() const { return isValid() && (m_command == Command::Station || m_command == Command::Headless); }
    // --date; invalid when not given (today).
    QDate date() const { return m_date; }
    QString wavPath() const { return m_wavPath; }
    // --text, or the text of --spoken.
    std::optional<QString> text() const { return m_text; }
    // --export and --import: the file, the export's format, what becomes of people already there.
    QString file() const { return m_file; }
    ExportFormat format() const { return m_format; }
    ImportPlan::Duplicates duplicates() const { return m_duplicates; }
    bool dryRun() const { return m_dryRun; }
    // --plan: the first day of the month.
    QDate month() const { return m_month; }
    // --folder: the station's one folder, absolute; empty when not given (StationFolders decides).
    QString folder() const { return m_folder; }
    // --minimized: the station starts with its window hidden in the tray (autostart).
    bool minimized() const { return m_minimized; }

    static QString usage();
    static QString version();

    // Runs help, version or a preview command (an invalid line prints its error and the usage);
    // results go to out, messages to err. Returns the exit code. Needs a QCoreApplication.
    // The clock gives today and the time of day (the machine's in the program).
    int run(QTextStream& out, QTextStream& err, Clock& clock) const;

private:
    int announcement(QTextStream& out, QTextStream& err, Clock& clock) const;
    int voices(QTextStream& out, QTextStream& err, Clock& clock) const;
    int render(QTextStream& out, QTextStream& err, Clock& clock) const;
    int spoken(QTextStream& out, QTextStream& err, Clock& clock) const;
    int exportRoster(QTextStream& out, QTextStream& err, Clock& clock) const;
    int importRoster(QTextStream& out, QTextStream& err, Clock& clock) const;

    Command m_command = Command::Station;
    QDate m_date;
    QString m_wavPath;
    std::optional<QString> m_text;
    QString m_file;
    ExportFormat m_format = ExportFormat::Xls;
    ImportPlan::Duplicates m_duplicates = ImportPlan::Duplicates::Skip;
    bool m_dryRun = false;
    QDate m_month;
    QString m_folder;
    bool m_minimized = false;
    QString m_error;
};
