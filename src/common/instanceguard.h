#pragma once

#include <QLockFile>
#include <QString>
#include <QStringList>

#include <memory>

// Where a user's lock may live. Every start of the same user looks at the same places, however it was
// started (desktop, service, cron, a terminal), so one of them always finds the copy that runs.
struct LockPlaces
{
    QString runtimeDir; // $XDG_RUNTIME_DIR, empty when not set
    QString runUserRoot; // /run/user
    QString tempRoot; // the temporary folder (/tmp, or $TMPDIR)
    uint uid = 0;

    static LockPlaces ofThisProcess();
};

// Keeps a second copy of the program from running: a lock file "Kelvora", held from start to end. It
// is taken in $XDG_RUNTIME_DIR when set, else in /run/user/UID when that exists, else in
// /tmp/kelvora-UID (made 0700, used only when it is the user's own folder). A start also looks for a
// live lock in the other two, so a copy started by cron before anybody logged in (no runtime folder
// then) still keeps out the copy of the desktop session that begins later. A lock left by a killed
// copy is stale and taken over.
class InstanceGuard final
{
public:
    // The lock in this one folder only (tests).
    explicit InstanceGuard(const QString& folder);
    explicit InstanceGuard(const LockPlaces& places = LockPlaces::ofThisProcess());
    ~InstanceGuard();
    Q_DISABLE_COPY_MOVE(InstanceGuard)

    // True when this process now holds the lock; otherwise failure() says who holds it (running()) or
    // why no lock could be made anywhere.
    bool tryAcquire();
    bool running() const { return m_running; }
    QString lockPath() const { return m_path; }
    QString failure() const { return m_failure; }
    // The folders in the order they are tried: the lock is taken in the first that can hold it, the
    // later ones are only looked at.
    QStringList folders() const;
    // Why a folder was passed over (not the user's own, a symbolic link...), for the log.
    QStringList notes() const { return m_notes; }

private:
    struct Candidate
    {
        QString folder;
        bool temporary = false; // the temporary folder's own: made 0700 when it is to hold the lock
    };
    bool prepare(const Candidate& candidate);
    // True when a live copy holds the lock of the folder; nothing is kept there.
    bool heldElsewhere(const Candidate& candidate, QString* holder) const;

    QList<Candidate> m_candidates;
    uint m_uid = 0;
    QString m_path;
    QStringList m_notes;
    QString m_failure;
    bool m_running = false;
    std::unique_ptr<QLockFile> m_lock;
};
