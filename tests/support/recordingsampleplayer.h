#pragma once

#include "speech/sampleplayer.h"

#include <QStringList>

// Records what was played and stopped; a sample "plays" until stopped or replaced.
class RecordingSamplePlayer final : public SamplePlayer
{
public:
    void play(const QString& path) override
    {
        if (m_playing) {
            calls.append(QStringLiteral("stop"));
        }
        calls.append(QStringLiteral("play ") + path);
        m_playing = true;
    }
    void stop() override
    {
        calls.append(QStringLiteral("stop"));
        m_playing = false;
    }
    bool isPlaying() override { return m_playing; }

    QStringList calls;

private:
    bool m_playing = false;
};
