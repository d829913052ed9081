#pragma once

class AudioLibrary;
class Clock;
class Desktop;
class Dialogs;
class PowerControl;
class SamplePlayer;
class SoundDevice;
class SpreadsheetAutomation;
class VoiceEngine;

// The platform services the station runs on: the real ones in the program, recording fakes in tests.
// They are handed to whoever needs them; none is a process global. None is owned here.
struct Services
{
    Clock* clock = nullptr; // null: the machine's clock
    Dialogs* dialogs = nullptr; // null: boxes go to standard error and are answered No
    Desktop* desktop = nullptr; // null: nothing can be opened
    SoundDevice* sound = nullptr; // null: no sound output at all
    VoiceEngine* voice = nullptr;
    AudioLibrary* audio = nullptr;
    SpreadsheetAutomation* spreadsheet = nullptr;
    PowerControl* power = nullptr; // null: the station never switches the machine off
    SamplePlayer* samples = nullptr;

    // The service, or its stand-in when none was given.
    Clock& clockOrSystem() const;
    Dialogs& dialogsOrConsole() const;
    Desktop& desktopOrNone() const;
};
