#include "recordingvoice.h"

#include "common/clock.h"
#include "common/runtimeerror.h"

#include <utility>

RecordingVoice::RecordingVoice(QStringList names, QStringList identifiers)
    : m_names(std::move(names))
    , m_identifiers(std::move(identifiers))
{
}

QStringList RecordingVoice::voices()
{
    QMutexLocker lock(&m_mutex);
    return m_names;
}

QStringList RecordingVoice::voiceIdentifiers()
{
    QMutexLocker lock(&m_mutex);
    return m_identifiers.isEmpty() ? m_names : m_identifiers;
}

void RecordingVoice::setVoice(int index)
{
    QMutexLocker lock(&m_mutex);
    if (index < 0 || index >= m_names.size()) {
        throw RuntimeError(QStringLiteral("no voice at index %1").arg(index));
    }
    m_voice = index;
}

int RecordingVoice::rate()
{
    QMutexLocker lock(&m_mutex);
    return m_rate;
}

void RecordingVoice::setRate(int rate)
{
    QMutexLocker lock(&m_mutex);
    m_rate = rate;
}

int RecordingVoice::volume()
{
    QMutexLocker lock(&m_mutex);
    return m_volume;
}

void RecordingVoice::setVolume(int volume)
{
    QMutexLocker lock(&m_mutex);
    m_volume = volume;
}

void RecordingVoice::speak(const QString& text, int flags)
{
    int duration = 0;
    Clock* clock = nullptr;
    {
        QMutexLocker lock(&m_mutex);
        if (m_closed) {
            if ((flags & Async) || text.trimmed().isEmpty()) {
                return;
            }
            throw VoiceClosed();
        }
        if (!m_failure.isEmpty()) {
            throw RuntimeError(std::exchange(m_failure, QString()));
        }
        m_spoken.append({ text, flags, m_voice, m_rate, m_volume });
        duration = (flags & Async) ? 0 : m_duration;
        clock = m_clock;
    }
    if (duration > 0 && clock) {
        clock->sleep(duration);
    }
}

QList<RecordingVoice::Spoken> RecordingVoice::spoken() const
{
    QMutexLocker lock(&m_mutex);
    return m_spoken;
}

QStringList RecordingVoice::texts() const
{
    QMutexLocker lock(&m_mutex);
    QStringList texts;
    for (const Spoken& s : m_spoken) {
        texts.append(s.text);
    }
    return texts;
}

void RecordingVoice::clear()
{
    QMutexLocker lock(&m_mutex);
    m_spoken.clear();
}

int RecordingVoice::currentVoice() const
{
    QMutexLocker lock(&m_mutex);
    return m_voice;
}

void RecordingVoice::close()
{
    QMutexLocker lock(&m_mutex);
    m_closed = true;
}

bool RecordingVoice::isClosed() const
{
    QMutexLocker lock(&m_mutex);
    return m_closed;
}

void RecordingVoice::reopen()
{
    QMutexLocker lock(&m_mutex);
    m_closed = false;
}

void RecordingVoice::setSpeakDuration(int ms, Clock& clock)
{
    QMutexLocker lock(&m_mutex);
    m_duration = ms;
    m_clock = &clock;
}

void RecordingVoice::failNextSpeak(const QString& message)
{
    QMutexLocker lock(&m_mutex);
    m_failure = message;
}

VoiceEngine::ChineseReading RecordingVoice::chineseReading(int index)
{
    QMutexLocker lock(&m_mutex);
    return index >= 0 && index < m_readings.size() ? m_readings.at(index) : ChineseReading::None;
}

VoiceEngine::ChineseReading RecordingVoice::currentChineseReading()
{
    int voice = -1;
    {
        QMutexLocker lock(&m_mutex);
        voice = m_voice;
    }
    return chineseReading(voice);
}

int RecordingVoice::firstSyllableTone(const QString& text)
{
    QMutexLocker lock(&m_mutex);
    m_toneQuestions.append(text);
    return text.isEmpty() ? 0 : m_tones.value(text.front(), 0);
}

void RecordingVoice::setChineseReadings(const QList<ChineseReading>& readings)
{
    QMutexLocker lock(&m_mutex);
    m_readings = readings;
}

void RecordingVoice::setTones(const QHash<QChar, int>& tones)
{
    QMutexLocker lock(&m_mutex);
    m_tones = tones;
}

QStringList RecordingVoice::toneQuestions() const
{
    QMutexLocker lock(&m_mutex);
    return m_toneQuestions;
}

bool RecordingVoice::isSpeaking()
{
    QMutexLocker lock(&m_mutex);
    return m_speaking;
}

void RecordingVoice::setSpeaking(bool speaking)
{
    QMutexLocker lock(&m_mutex);
    m_speaking = speaking;
}
