#include "voiceengine.h"

VoiceEngine::~VoiceEngine() = default;

QStringList VoiceEngine::voiceIdentifiers()
{
    return voices();
}
