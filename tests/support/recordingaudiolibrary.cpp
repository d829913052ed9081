#include "recordingaudiolibrary.h"

bool RecordingAudioLibrary::init()
{
    calls.append(QStringLiteral("init"));
    return initResult;
}

AudioLibrary::Handle RecordingAudioLibrary::streamCreateFile(const QString& path)
{
    calls.append(QStringLiteral("create ") + path);
    if (!initResult || !m_files.contains(path)) {
        return 0;
    }
    const Handle handle = m_next++;
    Stream stream;
    stream.path = path;
    stream.lengthBytes = m_files.value(path);
    m_streams.insert(handle, stream);
    return handle;
}

void RecordingAudioLibrary::streamFree(Handle handle)
{
    calls.append(QStringLiteral("free %1").arg(handle));
    if (m_streams.contains(handle)) {
        m_streams[handle].freed = true;
        m_streams[handle].playing = false;
    }
}

void RecordingAudioLibrary::channelPlay(Handle handle, bool restart)
{
    calls.append(QStringLiteral("play %1%2").arg(handle).arg(restart ? QStringLiteral(" restart") : QString()));
    if (m_streams.contains(handle) && !m_streams[handle].freed) {
        m_streams[handle].playing = true;
    }
}

void RecordingAudioLibrary::channelStop(Handle handle)
{
    calls.append(QStringLiteral("stop %1").arg(handle));
    if (m_streams.contains(handle)) {
        m_streams[handle].playing = false;
    }
}

void RecordingAudioLibrary::channelSetVolume(Handle handle, float volume)
{
    calls.append(QStringLiteral("volume %1 %2").arg(handle).arg(double(volume), 0, 'f', 2));
    if (m_streams.contains(handle) && !m_streams[handle].freed) {
        m_streams[handle].volume = volume;
        m_streams[handle].volumeSet = true;
        m_volumes.append(volume);
    }
}

quint64 RecordingAudioLibrary::channelGetLength(Handle handle)
{
    return m_streams.contains(handle) && !m_streams[handle].freed ? m_streams[handle].lengthBytes : quint64(-1);
}

quint64 RecordingAudioLibrary::channelGetPosition(Handle handle)
{
    return m_streams.contains(handle) && !m_streams[handle].freed ? m_streams[handle].positionBytes : quint64(-1);
}

double RecordingAudioLibrary::channelBytes2Seconds(Handle handle, quint64 bytes)
{
    if (!m_streams.contains(handle) || bytes == quint64(-1)) {
        return -1.0;
    }
    return double(bytes) / bytesPerSecond;
}

void RecordingAudioLibrary::addFile(const QString& path, double seconds)
{
    m_files.insert(path, quint64(seconds * bytesPerSecond));
}

void RecordingAudioLibrary::setPosition(Handle handle, double seconds)
{
    if (m_streams.contains(handle)) {
        m_streams[handle].positionBytes = quint64(seconds * bytesPerSecond);
    }
}

bool RecordingAudioLibrary::finish(Handle handle)
{
    if (!m_streams.contains(handle)) {
        return false;
    }
    Stream& stream = m_streams[handle];
    stream.positionBytes = stream.lengthBytes;
    stream.playing = false;
    if (!m_endHandler) {
        return false;
    }
    // A copy: the handler may start the next stream, which must not change what is being called.
    const auto handler = m_endHandler;
    handler(handle);
    return true;
}

RecordingAudioLibrary::Stream* RecordingAudioLibrary::stream(Handle handle)
{
    return m_streams.contains(handle) ? &m_streams[handle] : nullptr;
}
