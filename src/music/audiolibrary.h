#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

// The audio library's calls that the music player makes, with their meaning kept: one music
// stream at a time, handles above 44 (0 when a file cannot be opened), volume 0.0..1.0, lengths
// and positions in bytes that the library itself turns into seconds.
class AudioLibrary
{
public:
    using Handle = quint32;
    // A handle names an open stream when it is above this value.
    static constexpr Handle LastInvalidHandle = 44;
    static bool isOpen(Handle handle) { return handle > LastInvalidHandle; }

    virtual ~AudioLibrary();

    // High 16 bits: major and minor version, as 0x0204 for 2.4.
    virtual quint32 version() = 0;
    // Starts the output device; false when no output could be opened.
    virtual bool init() = 0;
    // Why init() found no output, when the library can tell; empty otherwise.
    virtual QString initFailure() const { return QString(); }
    virtual Handle streamCreateFile(const QString& path) = 0;
    virtual void streamFree(Handle handle) = 0;
    virtual void channelPlay(Handle handle, bool restart) = 0;
    virtual void channelStop(Handle handle) = 0;
    virtual void channelSetVolume(Handle handle, float volume) = 0;
    virtual quint64 channelGetLength(Handle handle) = 0;
    virtual quint64 channelGetPosition(Handle handle) = 0;
    virtual double channelBytes2Seconds(Handle handle, quint64 bytes) = 0;

    // handler is told, on the main thread and within moments, that a stream played to its end by itself
    // (never after a stop or a free). One handler; an empty one stops the telling. A library that cannot
    // tell never calls it: the player then notices the end by the stream's position.
    virtual void setEndHandler(std::function<void(Handle)> handler);
};
