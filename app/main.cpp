#include "birthdays/spreadsheetxlsx.h"
#include "common/dialogs.h"
#include "common/eventlog.h"
#include "common/helpers.h"
#include "common/instanceguard.h"
#include "common/loggingdialogs.h"
#include "common/signalwatcher.h"
#include "common/ui/qtdesktop.h"
#include "common/ui/qtdialogs.h"
#include "music/sdlaudiolibrary.h"
#include "shell/application.h"
#include "shell/commandline.h"
#include "shell/logindpowercontrol.h"
#include "shell/station.h"
#include "shell/tf_speaker.h"
#include "speech/espeakvoiceengine.h"
#include "speech/sampleplayer.h"

#include <QTextStream>
#include <QWindow>

#include <cstdio>
#include <unistd.h>

namespace {

// Help, version and the previews: no windows, no lock, nothing written to the program folder.
int runPreview(const CommandLine& line, int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return line.run(out, err);
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
    const bool headless = line.command() == CommandLine::Command::Headless;
    if (headless) {
        // The same program with its windows on a platform that shows nothing; no tray exists there.
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    KelvoraApplication app(argc, argv);
    // The name alone: a display name would be appended to every other window's caption ("系统设置 — Kelvora").
    QApplication::setApplicationName(QStringLiteral("Kelvora"));
    QApplication::setQuitOnLastWindowClosed(false);

    EventLog::open(progdir() + QStringLiteral("kelvora.log"), isatty(STDERR_FILENO) == 1);
    logEvent(CommandLine::version() + (headless ? QStringLiteral(" started (headless)") : QStringLiteral(" started")));

    // Every box goes to the log; without windows nobody could answer, so the console answers No at once.
    QtDialogs windowDialogs;
    ConsoleDialogs consoleDialogs;
    LoggingDialogs dialogs(headless ? static_cast<Dialogs&>(consoleDialogs) : static_cast<Dialogs&>(windowDialogs));
    Dialogs::setInstance(&dialogs);
    QtDesktop desktop;
    Desktop::setInstance(&desktop);

    const auto end = [](int code) {
        logEvent(QStringLiteral("Kelvora ended"));
        EventLog::close();
        Dialogs::setInstance(nullptr);
        return code;
    };

    InstanceGuard guard;
    if (!guard.tryAcquire()) {
        dialogs.message(Dialogs::Icon::Critical, QStringLiteral("Kelvora! !"), QStringLiteral("程序已经在运行中!"),
                        Dialogs::Buttons::Ok);
        return end(0);
    }

    LogindPowerControl power;
    EspeakVoiceEngine voice;
    Services services;
    services.power = &power;
    SdlAudioLibrary audio;
    services.audio = &audio;
    services.voice = &voice;
    SdlSamplePlayer samples;
    services.samples = &samples;
    XlsxSpreadsheet spreadsheet;
    services.spreadsheet = &spreadsheet;

    Station station(services);
    QObject::connect(&station, &Station::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    if (!station.start()) {
        return end(0);
    }
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, station.mainWindow(), [&station](int signal) {
        logEvent(QStringLiteral("signal %1: ending as the close button does").arg(signal));
        station.mainWindow()->SB_closeClick();
    });
    if (!headless) {
        ShownReporter reporter;
        if (qEnvironmentVariableIsSet("KELVORA_REPORT_SHOWN")) {
            station.mainWindow()->winId(); // creates the window to watch
            station.mainWindow()->windowHandle()->installEventFilter(&reporter);
        }
        station.showMainWindow();
        return end(app.exec());
    }
    return end(app.exec());
}
