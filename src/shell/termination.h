#pragma once

#include "common/signalwatcher.h"

#include <QObject>

class Tf_speaker;

// What SIGTERM and SIGINT do to the program. The first ends it as the close button does, once; later
// ones only show in the log, so the close save never runs twice. One that comes while the station
// still starts closes any box start-up shows, and the program ends as soon as start-up is done
// (requested() tells main).
class Termination final : public QObject
{
    Q_OBJECT
public:
    explicit Termination(QObject* parent = nullptr);

    // The window whose close button ends the program, once the station runs; null before.
    void setMainWindow(Tf_speaker* main) { m_main = main; }
    // The signal that asked for the end, 0 while none did.
    int requested() const { return m_signal; }

private:
    void terminationRequested(int signalNumber);

    SignalWatcher m_watcher;
    Tf_speaker* m_main = nullptr;
    int m_signal = 0;
};
