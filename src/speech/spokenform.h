#pragma once

#include "lexicon.h"
#include "tonesandhi.h"
#include "voiceengine.h"

#include <QHash>

#include <memory>
#include <mutex>

// What the engine is handed for a text: the one step between a piece as cut (after "%Date%" and the
// marks) and the voice. For a voice that reads Chinese characters the normaliser says numbers, dates
// and times in words; for the voice that also reads pinyin, the lexicon's words and the roster's names
// are handed on in their readings and 一 and 不 change their tones. A voice that cannot read Chinese
// characters gets the text as it stands. Safe from the main thread and the speaking thread at once.
class SpokenForm final
{
public:
    // voice: whose current voice decides, and whose knowledge of tones the changes of 一 and 不 use;
    // null hands every text on as it stands. It outlives this object.
    explicit SpokenForm(VoiceEngine* voice = nullptr);

    // The lexicon and names from now on; the speaking thread picks it up at its next piece.
    void publish(std::shared_ptr<const Lexicon> lexicon);
    std::shared_ptr<const Lexicon> lexicon() const;

    // The text handed to the engine for text, for the voice it speaks with now.
    QString spoken(const QString& text) const;
    // The same for a voice that reads as reading does, with its tones from toneOf.
    static QString spoken(const QString& text, VoiceEngine::ChineseReading reading, const Lexicon& lexicon,
                          const ToneSandhi::ToneOf& toneOf);
    // What listening to an entry hands the engine: its reading for the voice that reads pinyin (when
    // it is one), else the word itself; a name without a reading of its own as the roster would read it.
    QString entry(const QString& word, const QString& pinyin, bool isName) const;

private:
    int tone(const QString& following) const;

    VoiceEngine* m_voice;
    mutable std::mutex m_mutex;
    std::shared_ptr<const Lexicon> m_lexicon;
    mutable std::mutex m_toneMutex;
    mutable QHash<QString, int> m_tones; // the voice's answers, kept: they do not change within a run
};
