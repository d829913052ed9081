#pragma once

#include "common/runtimeerror.h"

#include <QStringList>

// Synchronous speech asked of a closed engine.
class VoiceClosed final : public RuntimeError
{
public:
    VoiceClosed();
};

// The speech engine, as the station uses it: installed voices, the chosen voice, rate, volume, and
// speaking. Every call is safe from the main thread and from the speaking thread at once.
class VoiceEngine
{
public:
    enum SpeakFlag {
        Synchronous = 0, // returns when the text has been played
        Async = 1, // returns at once; the text is queued after what the voice still says
        PurgeBeforeSpeak = 2 // whatever is queued or playing stops first
    };

    // What a voice makes of a Chinese text.
    enum class ChineseReading {
        None, // cannot read Chinese characters (not a Chinese voice, or one that spells them)
        Characters, // reads Chinese characters
        Pinyin // reads Chinese characters, and latin text as pinyin with tone numbers ("zeng1 guo2 fan1")
    };

    virtual ~VoiceEngine();

    // Display names of the installed voices, in the same order on every call within a run.
    virtual QStringList voices() = 0;
    // The engine's own name of each voice of voices(), in the same order: what the settings keep the
    // chosen voice by, since positions move when voices are installed or removed. An engine without
    // such names gives the display names.
    virtual QStringList voiceIdentifiers();
    // Later speech uses voices()[index]; throws RuntimeError for an index outside the list.
    virtual void setVoice(int index) = 0;
    // Integer rate: 0 is the engine's normal speed; each step of 10 triples (or thirds) the speed.
    virtual int rate() = 0;
    virtual void setRate(int rate) = 0;
    // 0..100.
    virtual int volume() = 0;
    virtual void setVolume(int volume) = 0;
    // flags: a combination of SpeakFlag. Throws RuntimeError when the engine fails, and VoiceClosed for
    // synchronous speech after close().
    virtual void speak(const QString& text, int flags) = 0;
    // The end of the program: what is queued or playing stops, and no new speech starts from now on, so
    // a reading that was about to speak its next piece ends instead: synchronous speech throws
    // VoiceClosed at once, asynchronous speech is dropped. Cannot be undone.
    virtual void close() = 0;
    // Something spoken asynchronously is still queued or playing. An engine that cannot tell says false.
    virtual bool isSpeaking();

    // Of voices()[index]; None for an index outside the list. The engine that cannot tell says None.
    virtual ChineseReading chineseReading(int index);
    // Of the voice later speech uses.
    virtual ChineseReading currentChineseReading();
    // The Mandarin tone (1..4, 5 for the neutral tone) of the first syllable of text as the current
    // voice reads it there, without sound; 0 when the engine cannot tell (or is busy speaking).
    virtual int firstSyllableTone(const QString& text);
};
