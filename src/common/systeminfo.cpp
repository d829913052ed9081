#include "systeminfo.h"

#include <QFile>

MemoryStatus memoryStatus()
{
    MemoryStatus status;
    QFile file(QStringLiteral("/proc/meminfo"));
    if (!file.open(QIODevice::ReadOnly)) {
        return status;
    }
    qint64 available = -1;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2) {
            continue;
        }
        if (parts.at(0) == "MemTotal:") {
            status.totalKb = parts.at(1).toLongLong();
        } else if (parts.at(0) == "MemAvailable:") {
            available = parts.at(1).toLongLong();
        }
    }
    if (status.totalKb > 0 && available >= 0) {
        status.loadPercent = static_cast<int>((status.totalKb - available) * 100 / status.totalKb);
    }
    return status;
}
