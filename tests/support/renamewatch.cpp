#include "renamewatch.h"

#include <QFile>

#include <sys/inotify.h>
#include <unistd.h>

RenameWatch::RenameWatch(const QString& folder)
{
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd >= 0) {
        m_watch = inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), IN_MOVED_TO | IN_CLOSE_WRITE);
    }
}

RenameWatch::~RenameWatch()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void RenameWatch::drain()
{
    if (m_fd < 0) {
        return;
    }
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got <= 0) {
            return;
        }
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            const QString name = event->len > 0 ? QFile::decodeName(event->name) : QString();
            if (event->mask & IN_MOVED_TO) {
                ++m_renames[name];
            }
            if (event->mask & IN_CLOSE_WRITE) {
                ++m_writes[name];
            }
            at += ssize_t(sizeof(inotify_event)) + event->len;
        }
    }
}

int RenameWatch::renames(const QString& name)
{
    drain();
    return m_renames.value(name);
}

int RenameWatch::writesInPlace(const QString& name)
{
    drain();
    return m_writes.value(name);
}

void RenameWatch::reset()
{
    drain();
    m_renames.clear();
    m_writes.clear();
}
