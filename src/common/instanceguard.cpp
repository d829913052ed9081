#include "instanceguard.h"

#include <QDir>
#include <QStandardPaths>

InstanceGuard::InstanceGuard(const QString& folder)
{
    QString dir = folder;
    if (dir.isEmpty()) {
        dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    }
    if (dir.isEmpty()) {
        dir = QDir::tempPath();
    }
    QDir().mkpath(dir);
    m_path = QDir(dir).filePath(QStringLiteral("Kelvora"));
}

bool InstanceGuard::tryAcquire()
{
    m_lock = std::make_unique<QLockFile>(m_path);
    // Only a lock whose process is gone counts as stale, however old it is.
    m_lock->setStaleLockTime(0);
    return m_lock->tryLock(0);
}
