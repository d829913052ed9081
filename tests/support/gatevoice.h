#pragma once

#include "speech/voiceengine.h"

#include <QStringList>

#include <condition_variable>
#include <functional>
#include <mutex>

// A voice whose synchronous pieces can be held: a held piece is "being spoken" until the test lets it
// go or the voice is closed, as a real engine returns when it is purged. Records what was spoken; after
// close() it behaves as the real engine does (synchronous speech throws VoiceClosed, the rest is
// dropped). Safe from any thread.
class GateVoice final : public VoiceEngine
{
public:
    explicit GateVoice(QStringList names = { QStringLiteral("Chinese (Mandarin)") });

    // Runs on the speaking thread as each speak() begins, before anything else.
    std::function<void(const QString& text)> onSpeak;

    // From now on each synchronous piece is held until release() or close().
    void hold(bool on);
    // Lets one held piece end (a piece held later waits for the next release).
    void release();
    // Blocks until close() was called; for hooks that place the program's end at their point.
    void waitUntilClosed();

    QStringList texts() const;
    bool isClosed() const;

    QStringList voices() override { return m_names; }
    void setVoice(int) override { }
    int rate() override { return 0; }
    void setRate(int) override { }
    int volume() override { return 100; }
    void setVolume(int) override { }
    void speak(const QString& text, int flags) override;
    void close() override;

private:
    QStringList m_names;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    QStringList m_texts;
    bool m_hold = false;
    int m_releases = 0;
    bool m_closed = false;
};
