#include "spokenform.h"

#include "chinesetext.h"
#include "pinyin.h"

namespace {

// The answers kept are few (the syllables after 一 and 不); the bound only guards a run of years.
constexpr qsizetype MaxKeptTones = 4096;

} // namespace

SpokenForm::SpokenForm(VoiceEngine* voice)
    : m_voice(voice)
    , m_lexicon(std::make_shared<const Lexicon>())
{
}

void SpokenForm::publish(std::shared_ptr<const Lexicon> lexicon)
{
    if (!lexicon) {
        lexicon = std::make_shared<const Lexicon>();
    }
    std::lock_guard lock(m_mutex);
    m_lexicon = std::move(lexicon);
}

std::shared_ptr<const Lexicon> SpokenForm::lexicon() const
{
    std::lock_guard lock(m_mutex);
    return m_lexicon;
}

QString SpokenForm::spoken(const QString& text, VoiceEngine::ChineseReading reading, const Lexicon& lexicon,
                           const ToneSandhi::ToneOf& toneOf)
{
    switch (reading) {
    case VoiceEngine::ChineseReading::None:
        return text;
    case VoiceEngine::ChineseReading::Characters:
        return ChineseText::normalise(text);
    case VoiceEngine::ChineseReading::Pinyin:
        break;
    }
    return joinParts(ToneSandhi::apply(lexicon.apply(ChineseText::normalise(text)), toneOf));
}

QString SpokenForm::spoken(const QString& text) const
{
    if (!m_voice) {
        return text;
    }
    const VoiceEngine::ChineseReading reading = m_voice->currentChineseReading();
    if (reading == VoiceEngine::ChineseReading::None) {
        return text;
    }
    return spoken(text, reading, *lexicon(), [this](const QString& following) { return tone(following); });
}

QString SpokenForm::entry(const QString& word, const QString& pinyin, bool isName) const
{
    const VoiceEngine::ChineseReading reading
        = m_voice ? m_voice->currentChineseReading() : VoiceEngine::ChineseReading::None;
    if (reading != VoiceEngine::ChineseReading::Pinyin) {
        return word.trimmed();
    }
    const QString canonical = Pinyin::canonical(pinyin);
    if (!canonical.isEmpty()) {
        return canonical;
    }
    if (isName) {
        return joinParts(lexicon()->name(word.trimmed()));
    }
    return spoken(word.trimmed());
}

int SpokenForm::tone(const QString& following) const
{
    if (following.isEmpty()) {
        return 0;
    }
    {
        std::lock_guard lock(m_toneMutex);
        const auto kept = m_tones.constFind(following);
        if (kept != m_tones.constEnd()) {
            return *kept;
        }
    }
    const int tone = m_voice->firstSyllableTone(following);
    if (tone > 0) { // 0: the engine could not say now; ask again next time
        std::lock_guard lock(m_toneMutex);
        if (m_tones.size() >= MaxKeptTones) {
            m_tones.clear();
        }
        m_tones.insert(following, tone);
    }
    return tone;
}
