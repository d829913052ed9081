#include "contentsettings.h"

#include "common/ansi.h"
#include "common/inifile.h"
#include "common/linebreaks.h"

namespace {

const QString System = QStringLiteral("System");
const int DefaultAgegroups[3] = { 20, 25, 50 };

QString groupSection(int index)
{
    return QStringLiteral("Addread%1").arg(index + 1);
}

bool isBlankOrControl(QChar c)
{
    return c.isSpace() || c.category() == QChar::Other_Control;
}

// Whether the stored form of the text reaches past what the file gives back.
bool cutOnRead(const QString& text)
{
    return Ansi::length(escapeLineBreaks(text).trimmed()) > IniFile::MaxValueBytes;
}

} // namespace

const QString ContentSettings::DefaultMainread = QStringLiteral(
    "的生日，在这里我们祝他生日快乐，感谢你们辛勤付出，公司将为你准备神秘小礼物一件，请赶快来领取吧！");

ContentSettings ContentSettings::load(const IniFile& ini)
{
    ContentSettings settings;
    settings.mainread = unescapeLineBreaks(ini.readString(System, QStringLiteral("Mainread"), DefaultMainread));
    for (int i = 0; i < 3; ++i) {
        AgeGroup& group = settings.groups[i];
        const QString section = groupSection(i);
        group.addtext = unescapeLineBreaks(ini.readString(section, QStringLiteral("addtext"), QString()));
        group.agegroup = ini.readInteger(section, QStringLiteral("Agegroup"), DefaultAgegroups[i]);
        group.readage = ini.readBool(section, QStringLiteral("Readage"), false);
    }
    settings.company = ini.readString(System, QStringLiteral("Company"), QString());
    return settings;
}

bool ContentSettings::boundsInOrder() const
{
    return groups[1].agegroup >= groups[0].agegroup && groups[2].agegroup >= groups[1].agegroup;
}

void ContentSettings::save(IniFile& ini) const
{
    ini.writeString(System, QStringLiteral("Mainread"), escapeLineBreaks(mainread));
    for (int i = 0; i < 3; ++i) {
        const AgeGroup& group = groups[i];
        const QString section = groupSection(i);
        ini.writeString(section, QStringLiteral("addtext"), escapeLineBreaks(group.addtext));
        ini.writeInteger(section, QStringLiteral("Agegroup"), group.agegroup);
        ini.writeBool(section, QStringLiteral("Readage"), group.readage);
    }
    ini.writeString(System, QStringLiteral("Company"), company);
}

QStringList ContentSettings::textsTooLong() const
{
    QStringList labels;
    if (cutOnRead(mainread)) {
        labels << QStringLiteral("固定的播报内容");
    }
    const QString names[3] = { QStringLiteral("第一年龄段祝福语"), QStringLiteral("第二年龄段祝福语"),
                               QStringLiteral("第三年龄段祝福语") };
    for (int i = 0; i < 3; ++i) {
        if (cutOnRead(groups[i].addtext)) {
            labels << names[i];
        }
    }
    if (cutOnRead(company)) {
        labels << QStringLiteral("单位名称");
    }
    return labels;
}

QString ContentSettings::mainreadText(const QString& typed)
{
    qsizetype start = 0;
    qsizetype end = typed.size();
    while (start < end && isBlankOrControl(typed.at(start))) {
        ++start;
    }
    while (end > start && isBlankOrControl(typed.at(end - 1))) {
        --end;
    }
    return typed.mid(start, end - start);
}
