#pragma once

#include "voicesettings.h"

#include <QObject>

class Dialogs;

class IniChanges;
class IniFile;
class QComboBox;
class QLabel;
class QSlider;
class QWidget;
class VoiceEngine;

// The voice panel of the main window: the voice list flatComboBox1, the rate slider TrackBar2 with
// StaticText6 and the volume slider TrackBar1 with StaticText9, driving the one voice object.
// A null engine is an absent one: the list stays empty and the sliders only move their labels.
class VoicePanel final : public QObject
{
    Q_OBJECT
public:
    struct Widgets
    {
        QComboBox* flatComboBox1 = nullptr;
        QSlider* TrackBar2 = nullptr;
        QLabel* StaticText6 = nullptr;
        QSlider* TrackBar1 = nullptr;
        QLabel* StaticText9 = nullptr;
        QWidget* Memo1 = nullptr; // takes the focus back after a slider moved
    };

    VoicePanel(VoiceEngine* voice, const Widgets& widgets, Dialogs& dialogs, QObject* parent = nullptr);

    // Start-up, with the settings file open: baserate from the engine, then [Speaker] Rate into the rate
    // slider (its change runs once in any case) and [Speaker] Volume into the volume slider (its change
    // runs only when the position moves, so a stored 95 keeps the engine's own volume).
    void loadRateAndVolume(const IniFile& ini);
    // Start-up: lists the engine's voices and selects the stored voice (VoiceSettings::choose); what
    // was chosen instead of a voice that is not there goes to the log.
    void fillVoiceList(const IniFile& ini);
    // The close button: [Speaker] Speaker and VoiceName of the selected voice; nothing without one.
    void saveVoice(IniChanges& changes) const;
    // Assigns the voice at the list's index to the engine; nothing when no voice is selected. Every
    // speaking path runs it first. Throws RuntimeError when the engine refuses the voice.
    void applyvoice();

    int baserate() const { return m_baserate; }
    VoiceEngine* engine() const { return m_voice; }
    // The list's selected text is blank when no voice can be used.
    bool hasVoice() const;

    void TrackBar2Change();
    void TrackBar1Change();

private:
    VoiceEngine* m_voice;
    Widgets m_w;
    Dialogs& m_dialogs;
    VoiceSettings::VoiceList m_voices;
    int m_baserate = 0;
};
