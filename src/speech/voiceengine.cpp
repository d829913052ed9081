#include "voiceengine.h"

VoiceClosed::VoiceClosed()
    : RuntimeError(QStringLiteral("the voice is closed: the program is ending"))
{
}

VoiceEngine::~VoiceEngine() = default;

QStringList VoiceEngine::voiceIdentifiers()
{
    return voices();
}

bool VoiceEngine::isSpeaking()
{
    return false;
}

VoiceEngine::ChineseReading VoiceEngine::chineseReading(int)
{
    return ChineseReading::None;
}

VoiceEngine::ChineseReading VoiceEngine::currentChineseReading()
{
    return ChineseReading::None;
}

int VoiceEngine::firstSyllableTone(const QString&)
{
    return 0;
}
