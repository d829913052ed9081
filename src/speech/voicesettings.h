#pragma once

class IniFile;
class VoiceEngine;

// The voice values of setinfo.ini [Speaker] as start-up puts them into the voice panel, for those
// who speak without the panel (the command line's rendering).
namespace VoiceSettings {

// The volume slider's position before start-up moves it; a stored value equal to it leaves the
// engine's own volume, since the slider's change action does not run.
constexpr int SliderStartVolume = 95;

int speaker(const IniFile& ini); // Speaker, default 0
int rate(const IniFile& ini); // Rate, default 2, within -10..15
int volume(const IniFile& ini); // Volume, default 120, within 0..100

// The engine as a reading finds it after start-up and applyvoice: the stored voice when the list has
// it, the engine's own rate plus the stored rate, and the stored volume. Returns the voice's index,
// -1 when the stored index is outside the list (nothing is assigned then, as applyvoice does).
int apply(VoiceEngine& engine, const IniFile& ini);

} // namespace VoiceSettings
