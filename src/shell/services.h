#pragma once

class AudioLibrary;
class PowerControl;
class SamplePlayer;
class SpreadsheetAutomation;
class VoiceEngine;

// The platform services the station runs on: the real ones in the program, recording fakes in tests.
// None is owned here.
struct Services
{
    VoiceEngine* voice = nullptr;
    AudioLibrary* audio = nullptr;
    SpreadsheetAutomation* spreadsheet = nullptr;
    PowerControl* power = nullptr; // null: the station never switches the machine off
    SamplePlayer* samples = nullptr;
};
