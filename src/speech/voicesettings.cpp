#include "voicesettings.h"

#include "common/inifile.h"
#include "common/stationsettings.h"
#include "voiceengine.h"

namespace {

bool isChinese(const QString& name, const QString& identifier)
{
    // espeak-ng names its voices by language ("sit/cmn-Latn-pinyin", "sit/yue"); other engines by name.
    const QString language = identifier.section(QLatin1Char('/'), -1).toLower();
    for (const char* code : { "cmn", "yue", "hak", "zh" }) {
        if (language == QLatin1String(code) || language.startsWith(QLatin1String(code) + QLatin1Char('-'))) {
            return true;
        }
    }
    for (const char* word : { "Chinese", "Mandarin", "Cantonese" }) {
        if (name.contains(QLatin1String(word), Qt::CaseInsensitive)) {
            return true;
        }
    }
    return name.contains(QStringLiteral("中文")) || name.contains(QStringLiteral("普通话"));
}
} // namespace

namespace VoiceSettings {

int speaker(const IniFile& ini)
{
    return StationSettings::read(ini, StationSettings::VoiceIndex);
}

int rate(const IniFile& ini)
{
    return StationSettings::readWithin(ini, StationSettings::Rate);
}

int volume(const IniFile& ini)
{
    return StationSettings::readWithin(ini, StationSettings::Volume);
}

VoiceList VoiceList::of(VoiceEngine* engine)
{
    VoiceList list;
    if (!engine) {
        return list;
    }
    list.names = engine->voices();
    list.identifiers = engine->voiceIdentifiers();
    for (int i = 0; i < list.names.size(); ++i) {
        list.readsChinese.append(engine->chineseReading(i) != VoiceEngine::ChineseReading::None);
    }
    return list;
}

int firstChineseVoice(const VoiceList& voices)
{
    const int told = int(voices.readsChinese.indexOf(true));
    if (told >= 0 && told < voices.names.size()) {
        return told;
    }
    for (int i = 0; i < voices.names.size(); ++i) {
        if (isChinese(voices.names.at(i), voices.identifiers.value(i))) {
            return i;
        }
    }
    return voices.names.isEmpty() ? -1 : 0;
}

Choice choose(const IniFile& ini, const VoiceList& voices)
{
    const QStringList& names = voices.names;
    const QStringList& identifiers = voices.identifiers;
    Choice choice;
    if (names.isEmpty()) {
        choice.note = QStringLiteral("no voice is installed");
        return choice;
    }
    const QString stored = StationSettings::read(ini, StationSettings::VoiceName).trimmed();
    if (!stored.isEmpty()) {
        choice.index = int(identifiers.indexOf(stored));
        if (choice.index >= 0 && choice.index < names.size()) {
            return choice;
        }
    }
    const int index = speaker(ini);
    if (index >= 0 && index < names.size()) {
        choice.index = index;
        if (!stored.isEmpty()) {
            choice.note = QStringLiteral("the voice %1 is not installed; voice %2 (%3) instead")
                              .arg(stored)
                              .arg(index)
                              .arg(names.at(index));
        }
        return choice;
    }
    choice.index = firstChineseVoice(voices);
    choice.note = QStringLiteral("%1 is not a voice of the %2 installed; voice %3 (%4) instead")
                      .arg(stored.isEmpty() ? QStringLiteral("Speaker=%1").arg(index) : stored)
                      .arg(names.size())
                      .arg(choice.index)
                      .arg(names.at(choice.index));
    return choice;
}

void write(IniChanges& changes, int index, const VoiceList& voices)
{
    if (index < 0 || index >= voices.names.size() || index >= voices.identifiers.size()) {
        return;
    }
    StationSettings::set(changes, StationSettings::VoiceIndex, index);
    StationSettings::set(changes, StationSettings::VoiceName, voices.identifiers.at(index));
}

int apply(VoiceEngine& engine, const IniFile& ini)
{
    const int baserate = engine.rate();
    engine.setRate(baserate + rate(ini));
    const int stored = volume(ini);
    if (stored != SliderStartVolume) {
        engine.setVolume(stored);
    }
    const int index = choose(ini, VoiceList::of(&engine)).index;
    if (index < 0) {
        return -1;
    }
    engine.setVoice(index);
    return index;
}

} // namespace VoiceSettings
