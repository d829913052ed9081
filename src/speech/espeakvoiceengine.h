#pragma once

#include "voiceengine.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class SoundDevice;

// The station's voice on the espeak-ng library: text is synthesised to PCM and streamed as it comes
// to the speech channel of the shared sound device. A worker thread speaks the queue in order; the
// library itself (not reentrant) is only ever entered under one process-wide lock.
class EspeakVoiceEngine final : public VoiceEngine
{
public:
    // sound: the output the speech plays on (null: none; speech then keeps its duration in silence).
    // dataPath: the espeak-ng data folder; empty for the installed one. Without usable data the engine
    // has no voices and refuses to speak.
    explicit EspeakVoiceEngine(SoundDevice* sound, const QString& dataPath = QString());
    ~EspeakVoiceEngine() override;
    EspeakVoiceEngine(const EspeakVoiceEngine&) = delete;
    EspeakVoiceEngine& operator=(const EspeakVoiceEngine&) = delete;

    // Voices that really speak here: the Chinese voices that read Chinese characters first (the one that
    // also reads pinyin before the others), then the Chinese voices that cannot, then the rest in the
    // engine's order. Each Chinese voice is probed once, without sound, when the engine starts.
    QStringList voices() override;
    // espeak-ng's identifiers ("sit/cmn-Latn-pinyin").
    QStringList voiceIdentifiers() override;
    void setVoice(int index) override;
    int rate() override;
    void setRate(int rate) override;
    int volume() override;
    void setVolume(int volume) override;
    void speak(const QString& text, int flags) override;
    void close() override;
    bool isSpeaking() override;
    ChineseReading chineseReading(int index) override;
    ChineseReading currentChineseReading() override;
    // From espeak-ng's phonemes; 0 when a synthesis holds the library for longer than a moment.
    int firstSyllableTone(const QString& text) override;

    // The current voice's phonemes for text in espeak-ng's notation (as `espeak-ng -x` prints them),
    // without sound. Throws RuntimeError when the engine is unavailable or the voice does not load.
    QString phonemes(const QString& text);

    // False when espeak-ng could not start (no data); the reason is in failure().
    bool isAvailable() const;
    QString failure() const;
    // Samples per second of synthesize()'s PCM.
    int sampleRate() const;
    // The current voice, rate and volume rendered to 16-bit signed mono PCM in native byte order,
    // without playing it. Throws RuntimeError when the engine is unavailable or fails.
    QByteArray synthesize(const QString& text);

    // Words per minute espeak-ng is given for a rate: 175 at 0, tripled per +10, within 80..450.
    static int wordsPerMinute(int rate);
    // Microseconds from the last speak() call to its first sample handed to the sound device.
    qint64 lastFirstSampleLatencyUs() const;
    // Called on the worker thread each time a text starts playing (diagnostics and tests).
    void setUtteranceObserver(std::function<void(const QString&)> observer);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
