#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// Keeps a second copy of the program from running: a lock file "Kelvora" in the user's runtime folder,
// held from start to end. A lock left by a killed copy is stale and taken over.
class InstanceGuard final
{
public:
    explicit InstanceGuard(const QString& folder = QString());
    // True when this process now holds the lock.
    bool tryAcquire();
    QString lockPath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};
