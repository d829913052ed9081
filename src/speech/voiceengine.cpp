#include "voiceengine.h"

VoiceEngine::~VoiceEngine() = default;
