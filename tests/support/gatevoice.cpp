#include "gatevoice.h"

#include <utility>

GateVoice::GateVoice(QStringList names)
    : m_names(std::move(names))
{
}

void GateVoice::hold(bool on)
{
    std::lock_guard lock(m_mutex);
    m_hold = on;
}

void GateVoice::release()
{
    {
        std::lock_guard lock(m_mutex);
        ++m_releases;
    }
    m_changed.notify_all();
}

void GateVoice::waitUntilClosed()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_closed; });
}

QStringList GateVoice::texts() const
{
    std::lock_guard lock(m_mutex);
    return m_texts;
}

bool GateVoice::isClosed() const
{
    std::lock_guard lock(m_mutex);
    return m_closed;
}

void GateVoice::speak(const QString& text, int flags)
{
    if (onSpeak) {
        onSpeak(text);
    }
    std::unique_lock lock(m_mutex);
    if (m_closed) {
        if ((flags & Async) || text.trimmed().isEmpty()) {
            return;
        }
        throw VoiceClosed();
    }
    if (text.trimmed().isEmpty()) {
        return; // a purge
    }
    m_texts.append(text);
    m_changed.notify_all();
    if (m_hold && !(flags & Async)) {
        m_changed.wait(lock, [&] { return m_closed || m_releases > 0; });
        if (!m_closed) {
            --m_releases;
        }
    }
}

void GateVoice::close()
{
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_changed.notify_all();
}
