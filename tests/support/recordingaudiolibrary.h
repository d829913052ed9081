#pragma once

#include "music/audiolibrary.h"

#include <QHash>
#include <QStringList>

// In-memory streams whose lengths and positions the test sets; records every call in order.
class RecordingAudioLibrary final : public AudioLibrary
{
public:
    struct Stream
    {
        QString path;
        quint64 lengthBytes = 0;
        quint64 positionBytes = 0;
        bool playing = false;
        bool freed = false;
        float volume = 1.0f;
        bool volumeSet = false;
    };

    quint32 version() override { return versionWord; }
    bool init() override;
    Handle streamCreateFile(const QString& path) override;
    void streamFree(Handle handle) override;
    void channelPlay(Handle handle, bool restart) override;
    void channelStop(Handle handle) override;
    void channelSetVolume(Handle handle, float volume) override;
    quint64 channelGetLength(Handle handle) override;
    quint64 channelGetPosition(Handle handle) override;
    double channelBytes2Seconds(Handle handle, quint64 bytes) override;
    void setEndHandler(std::function<void(Handle)> handler) override { m_endHandler = std::move(handler); }

    // A file the library will open, with its length in seconds (bytesPerSecond bytes each).
    void addFile(const QString& path, double seconds);
    void setPosition(Handle handle, double seconds);
    // The stream plays to its end: its position becomes its length and the end handler is told, as
    // the real library tells it on the main thread. False when no handler listens.
    bool finish(Handle handle);
    bool hasEndHandler() const { return bool(m_endHandler); }
    Stream* stream(Handle handle);
    // Volumes set on any stream, in order.
    QList<float> volumes() const { return m_volumes; }
    void clearVolumes() { m_volumes.clear(); }

    quint32 versionWord = 0x02040000;
    bool initResult = true;
    int bytesPerSecond = 176400;
    QStringList calls; // "create path", "free 45", "play 45", "stop 45", "volume 45 0.40", ...

private:
    QHash<QString, quint64> m_files;
    QHash<Handle, Stream> m_streams;
    QList<float> m_volumes;
    std::function<void(Handle)> m_endHandler;
    Handle m_next = 45;
};
