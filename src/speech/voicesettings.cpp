#include "voicesettings.h"

#include "common/inifile.h"
#include "voiceengine.h"

namespace {
const QString Speaker = QStringLiteral("Speaker");
}

namespace VoiceSettings {

int speaker(const IniFile& ini)
{
    return ini.readInteger(Speaker, QStringLiteral("Speaker"), 0);
}

int rate(const IniFile& ini)
{
    return qBound(-10, ini.readInteger(Speaker, QStringLiteral("Rate"), 2), 15);
}

int volume(const IniFile& ini)
{
    return qBound(0, ini.readInteger(Speaker, QStringLiteral("Volume"), 120), 100);
}

int apply(VoiceEngine& engine, const IniFile& ini)
{
    const int baserate = engine.rate();
    engine.setRate(baserate + rate(ini));
    const int stored = volume(ini);
    if (stored != SliderStartVolume) {
        engine.setVolume(stored);
    }
    const int index = speaker(ini);
    if (index < 0 || index >= engine.voices().size()) {
        return -1;
    }
    engine.setVoice(index);
    return index;
}

} // namespace VoiceSettings
