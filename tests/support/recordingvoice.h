#pragma once

#include "speech/voiceengine.h"

class Clock;

#include <QHash>
#include <QList>
#include <QMutex>
#include <QStringList>

// Records what was spoken, with its flags and the voice, rate and volume in force. Speaking takes
// no time unless the test sets a duration per call, which it waits on the clock it gives (instant with
// the fake clock).
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
    // After close(): synchronous speech throws VoiceClosed and is not recorded, asynchronous is dropped.
    void speak(const QString& text, int flags) override;
    void close() override;
    // What setSpeaking() last said (false at first).
    bool isSpeaking() override;
    void setSpeaking(bool speaking);
    ChineseReading chineseReading(int index) override;
    ChineseReading currentChineseReading() override;
    int firstSyllableTone(const QString& text) override;

    // What each voice makes of Chinese text, by index (None for those not given).
    void setChineseReadings(const QList<ChineseReading>& readings);
    // The tone firstSyllableTone() answers for a text starting with each character (0 for others).
    void setTones(const QHash<QChar, int>& tones);
    // The texts firstSyllableTone() was asked about.
    QStringList toneQuestions() const;

    QList<Spoken> spoken() const;
    QStringList texts() const;
    void clear();
    int currentVoice() const;
    // Each synchronous speak waits this long on the clock.
    void setSpeakDuration(int ms, Clock& clock);
    bool isClosed() const;
    // The voice speaks again (a new station on the same voice).
    void reopen();
    // The next speak throws RuntimeError with this text.
    void failNextSpeak(const QString& message);

private:
    mutable QMutex m_mutex;
    QStringList m_names;
    QStringList m_identifiers;
    QList<Spoken> m_spoken;
    QList<ChineseReading> m_readings;
    QHash<QChar, int> m_tones;
    QStringList m_toneQuestions;
    int m_voice = -1;
    int m_rate = 0;
    int m_volume = 100;
    int m_duration = 0;
    Clock* m_clock = nullptr;
    bool m_closed = false;
    bool m_speaking = false;
    QString m_failure;
};
