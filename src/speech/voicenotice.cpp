#include "voicenotice.h"

#include "common/atomicfile.h"
#include "common/helpers.h"
#include "common/runtimeerror.h"
#include "voiceengine.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace VoiceNotice {

const QList<RecommendedVoice>& recommendedVoices()
{
    static const QList<RecommendedVoice> voices = {
        { QStringLiteral("中文男声Liang                 是否安装"), QStringLiteral("chk_liang"),
          QStringLiteral("Liang"), QStringLiteral(":/samples/liang1.mp3"), QStringLiteral("liang1.mp3") },
        { QStringLiteral("中文女声Hui                     是否安装"), QStringLiteral("chk_hui"), QStringLiteral("Hui"),
          QStringLiteral(":/samples/hui1.mp3"), QStringLiteral("hui1.mp3") },
        { QStringLiteral("中文女声Lily                     是否安装"), QStringLiteral("chk_lily"),
          QStringLiteral("Lily"), QStringLiteral(":/samples/lily1.mp3"), QStringLiteral("lily1.mp3") },
        { QStringLiteral("微软普通话HuiHui        是否安装"), QStringLiteral("chk_huihui"), QStringLiteral("HuiHui"),
          QStringLiteral(":/samples/huihui1.mp3"), QStringLiteral("huihui1.mp3") },
        { QStringLiteral("微软香港话HunYee     是否安装"), QStringLiteral("chk_hunyee"), QStringLiteral("HunYee"),
          QStringLiteral(":/samples/hunyee1.mp3"), QStringLiteral("hunyee1.mp3") },
        { QStringLiteral("微软台湾话HanHan     是否安装"), QStringLiteral("chk_hanhan"), QStringLiteral("HanHan"),
          QStringLiteral(":/samples/hanhan1.mp3"), QStringLiteral("hanhan1.mp3") },
    };
    return voices;
}

QString installedStatus(const QString& voiceName, const QStringList& engineVoices)
{
    // Whole words only: "Hui" must not be found inside "HuiHui".
    static const QRegularExpression separators(QStringLiteral("[^A-Za-z0-9]+"));
    for (const QString& voice : engineVoices) {
        const QStringList words = voice.split(separators, Qt::SkipEmptyParts);
        for (const QString& word : words) {
            if (word.compare(voiceName, Qt::CaseInsensitive) == 0) {
                return QStringLiteral("是");
            }
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
