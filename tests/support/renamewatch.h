#pragma once

#include <QHash>
#include <QString>

// Watches a folder through inotify: how often a file of it was put in place by a rename (as an atomic
// rewrite does it) and how often it was written in place. The kernel reports an event as the call
// returns, so counting after the action sees all of it.
class RenameWatch final
{
public:
    explicit RenameWatch(const QString& folder);
    ~RenameWatch();
    RenameWatch(const RenameWatch&) = delete;
    RenameWatch& operator=(const RenameWatch&) = delete;

    bool isWatching() const { return m_watch >= 0; }
    // Renames onto the name since the watch began (or the last reset).
    int renames(const QString& name);
    // Files of that name closed after writing, in place (not through a rename).
    int writesInPlace(const QString& name);
    void reset();

private:
    void drain();

    int m_fd = -1;
    int m_watch = -1;
    QHash<QString, int> m_renames;
    QHash<QString, int> m_writes;
};
