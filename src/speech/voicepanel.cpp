#include "voicepanel.h"

#include "common/errorguard.h"
#include "common/eventlog.h"
#include "common/inifile.h"
#include "voiceengine.h"
#include "voicesettings.h"

#include <QComboBox>
#include <QLabel>
#include <QSlider>

VoicePanel::VoicePanel(VoiceEngine* voice, const Widgets& widgets, Dialogs& dialogs, QObject* parent)
    : QObject(parent)
    , m_voice(voice)
    , m_w(widgets)
    , m_dialogs(dialogs)
{
    m_w.flatComboBox1->setEditable(false);
    connect(m_w.TrackBar2, &QSlider::valueChanged, this, [this] { guarded(m_dialogs, [this] { TrackBar2Change(); }); });
    connect(m_w.TrackBar1, &QSlider::valueChanged, this, [this] { guarded(m_dialogs, [this] { TrackBar1Change(); }); });
}

void VoicePanel::loadRateAndVolume(const IniFile& ini)
{
    if (m_voice) {
        m_baserate = m_voice->rate();
    }
    m_w.TrackBar2->setValue(VoiceSettings::rate(ini));
    TrackBar2Change(); // runs once whether or not the position changed
    m_w.TrackBar1->setValue(VoiceSettings::volume(ini));
}

void VoicePanel::fillVoiceList(const IniFile& ini)
{
    m_w.flatComboBox1->clear();
    m_voices = VoiceSettings::VoiceList::of(m_voice);
    m_w.flatComboBox1->addItems(m_voices.names);
    const VoiceSettings::Choice choice = VoiceSettings::choose(ini, m_voices);
    if (!choice.note.isEmpty()) {
        logEvent(QStringLiteral("voice: ") + choice.note);
    }
    m_w.flatComboBox1->setCurrentIndex(choice.index);
}

void VoicePanel::saveVoice(IniChanges& changes) const
{
    VoiceSettings::write(changes, m_w.flatComboBox1->currentIndex(), m_voices);
}

void VoicePanel::applyvoice()
{
    const int index = m_w.flatComboBox1->currentIndex();
    if (m_voice && index >= 0) {
        m_voice->setVoice(index);
    }
}

bool VoicePanel::hasVoice() const
{
    return !m_w.flatComboBox1->currentText().trimmed().isEmpty();
}

void VoicePanel::TrackBar2Change()
{
    m_w.StaticText6->setText(QString::number(m_w.TrackBar2->value()));
    if (m_voice) {
        m_voice->setRate(m_baserate + m_w.TrackBar2->value());
    }
    m_w.Memo1->setFocus();
}

void VoicePanel::TrackBar1Change()
{
    m_w.StaticText9->setText(QString::number(m_w.TrackBar1->value()));
    if (m_voice) {
        m_voice->setVolume(m_w.TrackBar1->value());
    }
    m_w.Memo1->setFocus();
}
