#pragma once

#include "speech/voiceengine.h"

#include <QList>
#include <QMutex>
#include <QStringList>

// Records what was spoken, with its flags and the voice, rate and volume in force. Speaking takes
// no time unless the test sets a duration per call, which it waits on the Clock (instant with the
// fake clock).
class RecordingVoice final : public VoiceEngine
{
public:
    struct Spoken
    {
        QString text;
        int flags;
        int voice;
        int rate;
        int volume;
    };

    explicit RecordingVoice(QStringList names = { QStringLiteral("Chinese (Mandarin)"), QStringLiteral("English") },
                            QStringList identifiers = {});

    QStringList voices() override;
    // The identifiers given, else the names.
    QStringList voiceIdentifiers() override;
    void setVoice(int index) override;
    int rate() override;
    void setRate(int rate) override;
    int volume() override;
    void setVolume(int volume) override;
    void speak(const QString& text, int flags) override;

    QList<Spoken> spoken() const;
    QStringList texts() const;
    void clear();
    int currentVoice() const;
    // Each synchronous speak waits this long on the Clock.
    void setSpeakDuration(int ms);
    // The next speak throws RuntimeError with this text.
    void failNextSpeak(const QString& message);

private:
    mutable QMutex m_mutex;
    QStringList m_names;
    QStringList m_identifiers;
    QList<Spoken> m_spoken;
    int m_voice = -1;
    int m_rate = 0;
    int m_volume = 100;
    int m_duration = 0;
    QString m_failure;
};
