#include "instanceguard.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString LockName = QStringLiteral("Kelvora");

// A folder that only this user can have made: a real folder (no symbolic link) owned by uid.
bool ownFolder(const QString& path, uint uid, QString* why)
{
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        *why = QStringLiteral("%1 does not exist").arg(path);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        *why = QStringLiteral("%1 is not a folder").arg(path);
        return false;
    }
    if (info.st_uid != uid) {
        *why = QStringLiteral("%1 belongs to another user").arg(path);
        return false;
    }
    return true;
}

QString describeHolder(QLockFile& lock, const QString& path)
{
    qint64 pid = 0;
    QString host;
    QString application;
    if (lock.getLockInfo(&pid, &host, &application)) {
        return QStringLiteral("%1: held by process %2").arg(path).arg(pid);
    }
    return QStringLiteral("%1: held by another copy").arg(path);
}

} // namespace

LockPlaces LockPlaces::ofThisProcess()
{
    LockPlaces places;
    places.runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    places.runUserRoot = QStringLiteral("/run/user");
    places.tempRoot = QDir::tempPath();
    places.uid = ::getuid();
    return places;
}

InstanceGuard::InstanceGuard(const QString& folder)
    : m_uid(::getuid())
{
    m_candidates.append({ folder, false });
    m_path = QDir(folder).filePath(LockName);
}

InstanceGuard::InstanceGuard(const LockPlaces& places)
    : m_uid(places.uid)
{
    // The runtime folder the session names; a relative one is invalid and ignored.
    if (!places.runtimeDir.isEmpty() && QDir::isAbsolutePath(places.runtimeDir)) {
        m_candidates.append({ QDir::cleanPath(places.runtimeDir), false });
    }
    const QString runUser = QDir::cleanPath(QDir(places.runUserRoot).filePath(QString::number(places.uid)));
    QString why;
    if (ownFolder(runUser, places.uid, &why)) {
        m_candidates.append({ runUser, false });
    }
    m_candidates.append(
        { QDir::cleanPath(QDir(places.tempRoot).filePath(QStringLiteral("kelvora-%1").arg(places.uid))), true });
    // Duplicates (the runtime folder is /run/user/UID) are tried once.
    for (qsizetype i = m_candidates.size() - 1; i > 0; --i) {
        for (qsizetype j = 0; j < i; ++j) {
            if (m_candidates.at(j).folder == m_candidates.at(i).folder) {
                m_candidates.removeAt(i);
                break;
            }
        }
    }
    m_path = QDir(m_candidates.constFirst().folder).filePath(LockName);
}

InstanceGuard::~InstanceGuard() = default;

QStringList InstanceGuard::folders() const
{
    QStringList folders;
    for (const Candidate& candidate : m_candidates) {
        folders.append(candidate.folder);
    }
    return folders;
}

bool InstanceGuard::prepare(const Candidate& candidate)
{
    const QByteArray path = QFile::encodeName(candidate.folder);
    if (!candidate.temporary) {
        if (!QDir().mkpath(candidate.folder)) {
            m_notes.append(QStringLiteral("%1 cannot be made").arg(candidate.folder));
            return false;
        }
        return true;
    }
    // In a folder everybody writes to, only a folder of this user's own is safe to hold the lock.
    if (!QFileInfo::exists(candidate.folder) && !QFileInfo(candidate.folder).isSymLink()
        && ::mkdir(path.constData(), 0700) != 0) {
        m_notes.append(QStringLiteral("%1 cannot be made").arg(candidate.folder));
        return false;
    }
    QString why;
    if (!ownFolder(candidate.folder, m_uid, &why)) {
        m_notes.append(why);
        return false;
    }
    ::chmod(path.constData(), 0700);
    return true;
}

bool InstanceGuard::heldElsewhere(const Candidate& candidate, QString* holder) const
{
    QString why;
    if (candidate.temporary && !ownFolder(candidate.folder, m_uid, &why)) {
        return false;
    }
    const QString path = QDir(candidate.folder).filePath(LockName);
    if (!QFileInfo::exists(path)) {
        return false;
    }
    QLockFile probe(path);
    probe.setStaleLockTime(0);
    if (probe.tryLock(0)) {
        probe.unlock(); // it was stale: nothing runs there
        return false;
    }
    if (probe.error() != QLockFile::LockFailedError) {
        return false;
    }
    *holder = describeHolder(probe, path);
    return true;
}

bool InstanceGuard::tryAcquire()
{
    m_lock.reset();
    m_failure.clear();
    m_running = false;
    for (const Candidate& candidate : std::as_const(m_candidates)) {
        if (m_lock) {
            QString holder;
            if (heldElsewhere(candidate, &holder)) {
                m_lock.reset(); // unlocks
                m_failure = holder;
                m_running = true;
                return false;
            }
            continue;
        }
        if (!prepare(candidate)) {
            continue;
        }
        const QString path = QDir(candidate.folder).filePath(LockName);
        auto lock = std::make_unique<QLockFile>(path);
        // Only a lock whose process is gone counts as stale, however old it is.
        lock->setStaleLockTime(0);
        if (lock->tryLock(0)) {
            m_lock = std::move(lock);
            m_path = path;
            continue;
        }
        if (lock->error() == QLockFile::LockFailedError) {
            m_path = path;
            m_failure = describeHolder(*lock, path);
            m_running = true;
            return false;
        }
        m_notes.append(QStringLiteral("%1: the lock cannot be made").arg(path));
    }
    if (!m_lock) {
        m_failure = QStringLiteral("no folder can hold the lock: ") + m_notes.join(QStringLiteral("; "));
        return false;
    }
    return true;
}
