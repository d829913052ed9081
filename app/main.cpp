#include "birthdays/spreadsheetxlsx.h"
#include "common/clock.h"
#include "common/dialogs.h"
#include "common/eventlog.h"
#include "common/helpers.h"
#include "common/instanceguard.h"
#include "common/loggingdialogs.h"
#include "common/services.h"
#include "common/signalwatcher.h"
#include "common/sounddevice.h"
#include "common/stationfolders.h"
#include "common/ui/qtdesktop.h"
#include "common/ui/qtdialogs.h"
#include "music/sdlaudiolibrary.h"
#include "shell/application.h"
#include "shell/commandline.h"
#include "shell/logindpowercontrol.h"
#include "shell/station.h"
#include "shell/termination.h"
#include "shell/tf_speaker.h"
#include "speech/espeakvoiceengine.h"
#include "speech/sampleplayer.h"

#include <QFileInfo>
#include <QTextStream>
#include <QWindow>

#include <cstdio>
#include <unistd.h>

namespace {

// Help, version and the previews: no windows, no lock, nothing written to the station's folders
// (the import writes the roster, into a new station's template copy if need be).
int runPreview(const CommandLine& line, int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const StationFolders folders = StationFolders::decide(StationFolders::Inputs::ofProcess(line.folder()));
    StationFolders::setCurrent(folders);
    QString problem;
    if (line.isValid() && line.command() == CommandLine::Command::Import && !line.dryRun()
        && !folders.prepare(StationFolders::templateDatabase(), &problem)) {
        err << "kelvora: " << problem << Qt::endl;
        return CommandLine::Failure;
    }
    return line.run(out, err, Clock::system());
}

// For the start-up benchmark (KELVORA_REPORT_SHOWN set): one line "shown <pid>" on standard output
// when the main window is first on the screen.
class ShownReporter final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = qobject_cast<QWindow*>(watched);
        if (event->type() == QEvent::Expose && window && window->isExposed()) {
            std::printf("shown %lld\n", static_cast<long long>(QCoreApplication::applicationPid()));
            std::fflush(stdout);
            window->removeEventFilter(this);
        }
        return false;
    }
};

// Exit codes a supervisor can tell apart (the unit file does not restart a copy that found another).
constexpr int ExitSaveFailed = 1;
constexpr int ExitNoDatabase = 2;
constexpr int ExitAlreadyRunning = 3;

// A reason for the end of the program: in the log and, when the log does not already echo there, on
// standard error, so a service's journal has it.
void report(const QString& text)
{
    logEvent(text);
    if (!EventLog::echoes()) {
        QTextStream(stderr) << "kelvora: " << text << Qt::endl;
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    const CommandLine line = CommandLine::parse(arguments);
    if (!line.runsStation()) {
        return runPreview(line, argc, argv);
    }
    // The station takes SIGTERM and SIGINT before anything else can (SDL claims a signal it finds
    // untouched); what comes before the event loop runs waits for it.
    SignalWatcher::install();
    // The sound output's driver is chosen while this is the only thread: the choice may set the
    // process environment, which no other thread may be reading meanwhile.
    const QString soundFallback = SoundDevice::chooseDriver();
    const bool headless = line.command() == CommandLine::Command::Headless;
    if (headless) {
        // The same program with its windows on a platform that shows nothing; no tray exists there.
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    KelvoraApplication app(argc, argv);
    // The name alone: a display name would be appended to every other window's caption ("系统设置 — Kelvora").
    QApplication::setApplicationName(QStringLiteral("Kelvora"));
    // The desktop entry kelvora.desktop: its icon and name for the window on Wayland and in task lists.
    QGuiApplication::setDesktopFileName(QStringLiteral("kelvora"));
    QApplication::setQuitOnLastWindowClosed(false);

    // Where the files live is settled before anything reads or writes one; a folder that cannot be
    // made shows up as the database's failure below, with this reason in the log first.
    const StationFolders folders = StationFolders::decide(StationFolders::Inputs::ofProcess(line.folder()));
    StationFolders::setCurrent(folders);
    QString folderProblem;
    const bool hadDatabase = QFileInfo::exists(folders.databaseFile());
    const bool prepared = folders.prepare(StationFolders::templateDatabase(), &folderProblem);
    EventLog::open(folders.logFile(), isatty(STDERR_FILENO) == 1);
    logEvent(CommandLine::version() + (headless ? QStringLiteral(" started (headless)") : QStringLiteral(" started")));
    logEvent(folders.describe());
    if (!prepared) {
        report(folderProblem);
    } else if (!hadDatabase && QFileInfo::exists(folders.databaseFile())) {
        logEvent(QStringLiteral("a new station: %1 copied from %2")
                     .arg(folders.databaseFile(), StationFolders::templateDatabase()));
    }
    if (!soundFallback.isEmpty()) {
        logEvent(QStringLiteral("no sound output (%1): the silent driver stands in").arg(soundFallback));
    }

    // Every box goes to the log; without windows nobody could answer, so the console answers No at once.
    QtDialogs windowDialogs;
    ConsoleDialogs consoleDialogs;
    LoggingDialogs dialogs(headless ? static_cast<Dialogs&>(consoleDialogs) : static_cast<Dialogs&>(windowDialogs));
    app.setDialogs(&dialogs);
    QtDesktop desktop;

    const auto end = [&app](int code) {
        logEvent(QStringLiteral("Kelvora ended"));
        EventLog::close();
        app.setDialogs(nullptr);
        return code;
    };

    Termination termination;

    InstanceGuard guard;
    if (!guard.tryAcquire()) {
        if (guard.running()) {
            dialogs.detailedMessage(Dialogs::Icon::Critical, QStringLiteral("Kelvora! !"),
                                    QStringLiteral("程序已经在运行中!"), guard.failure(), Dialogs::Buttons::Ok);
            report(QStringLiteral("程序已经在运行中! ") + guard.failure());
            return end(ExitAlreadyRunning);
        }
        // Better a station that runs unguarded than none.
        logEvent(QStringLiteral("instance lock: ") + guard.failure());
    }

    Services services;
    services.clock = &Clock::system();
    services.dialogs = &dialogs;
    services.desktop = &desktop;
    SoundDevice sound;
    services.sound = &sound;
    LogindPowerControl power;
    services.power = &power;
    EspeakVoiceEngine voice(&sound);
    services.voice = &voice;
    SdlAudioLibrary audio(sound);
    services.audio = &audio;
    SdlSamplePlayer samples(sound);
    services.samples = &samples;
    XlsxSpreadsheet spreadsheet(desktop, services.clock);
    services.spreadsheet = &spreadsheet;

    Station station(services);
    QObject::connect(&station, &Station::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    if (!station.start()) {
        report(QStringLiteral("数据连接失败! ") + station.failure());
        return end(ExitNoDatabase);
    }
    Tf_speaker* main = station.mainWindow();
    const auto exitCode = [main](int loopCode) { return main->closeSaveFailed() ? ExitSaveFailed : loopCode; };
    if (termination.requested() != 0) {
        main->SB_closeClick();
        return end(exitCode(0));
    }
    termination.setMainWindow(main);
    if (!headless) {
        ShownReporter reporter;
        if (qEnvironmentVariableIsSet("KELVORA_REPORT_SHOWN")) {
            main->winId(); // creates the window to watch
            main->windowHandle()->installEventFilter(&reporter);
        }
        station.showMainWindow(line.minimized());
        return end(exitCode(app.exec()));
    }
    return end(exitCode(app.exec()));
}
