#include "voicenotice.h"

#include "common/atomicfile.h"
#include "common/helpers.h"
#include "common/runtimeerror.h"
#include "voiceengine.h"

#include <QFile>
#include <QFileInfo>

namespace VoiceNotice {

const QList<RecommendedVoice>& recommendedVoices()
{
    // The Chinese voices of espeak-ng-data, the only ones the station's engine can speak with here; the
    // Hakka voice is left out (it says "Chinese letter" for every character). Each sample was made by
    // the voice of its row (scripts/make-samples.sh).
    static const QList<RecommendedVoice> voices = {
        { QStringLiteral("普通话 · 读拼音                   是否安装"), QStringLiteral("chk_pinyin"),
          QStringLiteral("Chinese (Mandarin, latin as Pinyin)"), QStringLiteral(":/samples/pinyin1.mp3"),
          QStringLiteral("pinyin1.mp3") },
        { QStringLiteral("普通话 · 读英文字母             是否安装"), QStringLiteral("chk_mandarin"),
          QStringLiteral("Chinese (Mandarin, latin as English)"), QStringLiteral(":/samples/mandarin1.mp3"),
          QStringLiteral("mandarin1.mp3") },
        { QStringLiteral("粤语（广东话）                     是否安装"), QStringLiteral("chk_cantonese"),
          QStringLiteral("Chinese (Cantonese)"), QStringLiteral(":/samples/cantonese1.mp3"),
          QStringLiteral("cantonese1.mp3") },
    };
    return voices;
}

QString installedStatus(const QString& voiceName, const QStringList& engineVoices)
{
    // The engine's own display name, whole: "Chinese (Mandarin, latin as Pinyin)" is not the Mandarin
    // voice "latin as English".
    for (const QString& voice : engineVoices) {
        if (voice.simplified().compare(voiceName, Qt::CaseInsensitive) == 0) {
            return QStringLiteral("是");
        }
    }
    return QStringLiteral("否");
}

QStringList chineseVoices(VoiceEngine& engine)
{
    QStringList found;
    const QStringList names = engine.voices();
    for (int i = 0; i < names.size(); ++i) {
        if (engine.chineseReading(i) != VoiceEngine::ChineseReading::None) {
            found.append(names.at(i));
        }
    }
    return found;
}

QString greeting(const QStringList& chinese)
{
    if (chinese.isEmpty()) {
        return QStringLiteral("感谢您使用本软件！本机尚未安装中文语音，请先安装语音库。");
    }
    return QStringLiteral("感谢您使用本软件！本机可用的中文语音：") + chinese.join(QStringLiteral("、"));
}

QString ensureSampleFile(const RecommendedVoice& voice, const QString& folder)
{
    const QString path = withslash(folder) + voice.fileName;
    const QFileInfo found(path);
    if (found.exists() && !(found.isFile() && found.size() == 0)) {
        return path; // played as found, never rewritten; only an empty file left by a failed write is
    }
    QFile resource(voice.resource);
    if (!resource.open(QIODevice::ReadOnly)) {
        throw RuntimeError(QStringLiteral("找不到试听资源 %1").arg(voice.resource));
    }
    const QByteArray bytes = resource.readAll();
    AtomicFile::replace(path, bytes);
    return path;
}

} // namespace VoiceNotice
