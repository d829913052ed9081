#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a Qt signal on the main thread, so the program ends as its close
// button does instead of dying mid-write. install() takes both signals first thing in main, before
// any library can claim them; a signal that comes before the watcher exists or while no events flow
// waits in a socket and is delivered as soon as they do.
class SignalWatcher final : public QObject
{
    Q_OBJECT
public:
    // Safe to call more than once; the watcher calls it too.
    static void install();

    explicit SignalWatcher(QObject* parent = nullptr);
    // The default actions come back.
    ~SignalWatcher() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void readSignal();
    QSocketNotifier* m_notifier = nullptr;
};
