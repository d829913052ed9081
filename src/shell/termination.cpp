#include "termination.h"

#include "common/eventlog.h"
#include "tf_speaker.h"

#include <QCoreApplication>

Termination::Termination(QObject* parent)
    : QObject(parent)
{
    connect(&m_watcher, &SignalWatcher::terminationRequested, this, &Termination::terminationRequested);
}

void Termination::terminationRequested(int signalNumber)
{
    if (m_signal != 0) {
        logEvent(QStringLiteral("signal %1: already ending").arg(signalNumber));
        return;
    }
    m_signal = signalNumber;
    if (m_main) {
        logEvent(QStringLiteral("signal %1: ending as the close button does").arg(signalNumber));
        m_main->SB_closeClick();
        return;
    }
    logEvent(QStringLiteral("signal %1 during start-up: ending").arg(signalNumber));
    QCoreApplication::exit(0); // every event loop returns: a box that waits closes
}
