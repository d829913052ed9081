#pragma once

#include <QString>
#include <QStringList>

class IniChanges;
class IniFile;
class VoiceEngine;

// The voice values of setinfo.ini [Speaker] as start-up puts them into the voice panel, for those
// who speak without the panel (the command line's rendering).
namespace VoiceSettings {

// The volume slider's position before start-up moves it; a stored value equal to it leaves the
// engine's own volume, since the slider's change action does not run.
constexpr int SliderStartVolume = 95;

int speaker(const IniFile& ini); // Speaker
int rate(const IniFile& ini); // Rate, within its range
int volume(const IniFile& ini); // Volume, within its range

// The engine's voices as the settings choose among them.
struct VoiceList
{
    QStringList names;
    QStringList identifiers;
    QList<bool> readsChinese; // the engine's word on each voice; all false when it cannot tell

    // Empty for a null engine.
    static VoiceList of(VoiceEngine* engine);
};

// The voice start-up selects and why. [Speaker] VoiceName (the engine's identifier of the voice) wins
// when that voice is installed, else [Speaker] Speaker when it is a position of the list, else the
// first Chinese voice; -1 only for an empty list. note is empty when the stored voice was found, else
// it says what was chosen instead, for the log.
struct Choice
{
    int index = -1;
    QString note;
};
Choice choose(const IniFile& ini, const VoiceList& voices);
// The first voice that reads Chinese as the engine says, else the first whose identifier or name is
// Chinese, else the first voice; -1 for an empty list.
int firstChineseVoice(const VoiceList& voices);
// Stores the voice at index as Speaker and VoiceName. Changes nothing when index is not a position of
// the list (no voice to choose from), so a start without voices never loses the choice.
void write(IniChanges& changes, int index, const VoiceList& voices);

// The engine as a reading finds it after start-up and applyvoice: the chosen voice (see choose), the
// engine's own rate plus the stored rate, and the stored volume. Returns the voice's index, -1 when the
// engine has no voice (nothing is assigned then).
int apply(VoiceEngine& engine, const IniFile& ini);

} // namespace VoiceSettings
