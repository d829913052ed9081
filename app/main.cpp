#include "birthdays/spreadsheetxlsx.h"
#include "common/dialogs.h"
#include "common/instanceguard.h"
#include "common/signalwatcher.h"
#include "common/ui/qtdesktop.h"
#include "common/ui/qtdialogs.h"
#include "music/sdlaudiolibrary.h"
#include "shell/application.h"
#include "shell/logindpowercontrol.h"
#include "shell/station.h"
#include "shell/tf_speaker.h"
#include "speech/espeakvoiceengine.h"
#include "speech/sampleplayer.h"

int main(int argc, char* argv[])
{
    KelvoraApplication app(argc, argv);
    // The name alone: a display name would be appended to every other window's caption ("系统设置 — Kelvora").
    QApplication::setApplicationName(QStringLiteral("Kelvora"));
    QApplication::setQuitOnLastWindowClosed(false);

    QtDialogs dialogs;
    Dialogs::setInstance(&dialogs);
    QtDesktop desktop;
    Desktop::setInstance(&desktop);

    InstanceGuard guard;
    if (!guard.tryAcquire()) {
        dialogs.message(Dialogs::Icon::Critical, QStringLiteral("Kelvora! !"), QStringLiteral("程序已经在运行中!"),
                        Dialogs::Buttons::Ok);
        return 0;
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
        return 0;
    }
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, station.mainWindow(),
                     [&station] { station.mainWindow()->SB_closeClick(); });
    station.showMainWindow();
    return app.exec();
}
