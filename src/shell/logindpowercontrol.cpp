#include "logindpowercontrol.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>

namespace {
QDBusInterface login1()
{
    return QDBusInterface(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                          QStringLiteral("org.freedesktop.login1.Manager"), QDBusConnection::systemBus());
}
} // namespace

bool LogindPowerControl::canPowerOff()
{
    QDBusInterface manager = login1();
    if (!manager.isValid()) {
        return false;
    }
    const QDBusReply<QString> reply = manager.call(QStringLiteral("CanPowerOff"));
    return reply.isValid() && reply.value() == QLatin1String("yes");
}

void LogindPowerControl::powerOff()
{
    QDBusInterface manager = login1();
    if (manager.isValid()) {
        manager.call(QStringLiteral("PowerOff"), false);
    }
}
