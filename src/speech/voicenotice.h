#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class VoiceEngine;

// The Chinese voices of the notes window (those espeak-ng-data brings), and whether this machine's engine
// has them.
namespace VoiceNotice {

struct RecommendedVoice
{
    QString caption; // the row's caption, spaces included
    QString statusName; // objectName of the row's status label
    QString voiceName; // the engine's display name of the voice
    QString resource; // the built-in sample
    QString fileName; // the sample's name in the temporary folder
};

const QList<RecommendedVoice>& recommendedVoices();

// "是" when one of the engine's voices has that display name, else "否".
QString installedStatus(const QString& voiceName, const QStringList& engineVoices);
// The engine's voices that read Chinese characters, by their display names, in the engine's order;
// a Chinese voice that cannot read them (it spells each one) is not among them.
QStringList chineseVoices(VoiceEngine& engine);
// The window's first line: thanks, and the Chinese voices this machine has (or that it has none).
QString greeting(const QStringList& chineseVoices);
// Writes the built-in sample into the folder unless a file of that name is already there, and
// returns its path. Throws RuntimeError naming the file when it cannot be written.
QString ensureSampleFile(const RecommendedVoice& voice, const QString& folder);

} // namespace VoiceNotice
