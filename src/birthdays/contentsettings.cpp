#include "contentsettings.h"

#include "common/ansi.h"
#include "common/inifile.h"
#include "common/linebreaks.h"
#include "common/stationsettings.h"

namespace {

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

const QString ContentSettings::DefaultMainread = StationSettings::Mainread.defaultValue.toString();

std::array<AgeGroup, 3> ContentSettings::loadAgeGroups(const IniFile& ini)
{
    std::array<AgeGroup, 3> groups;
    for (size_t i = 0; i < groups.size(); ++i) {
        const StationSettings::AgeGroupKeys& keys = StationSettings::AgeGroups[i];
        // Stored with its line breaks escaped (see linebreaks.h).
        groups[i].addtext = unescapeLineBreaks(StationSettings::read(ini, keys.addtext));
        groups[i].upperAge = StationSettings::read(ini, keys.agegroup);
        groups[i].readAge = StationSettings::read(ini, keys.readage);
    }
    return groups;
}

ContentSettings ContentSettings::load(const IniFile& ini)
{
    ContentSettings settings;
    settings.mainread = unescapeLineBreaks(StationSettings::read(ini, StationSettings::Mainread, DefaultMainread));
    settings.groups = loadAgeGroups(ini);
    settings.company = StationSettings::read(ini, StationSettings::Company);
    return settings;
}

bool ContentSettings::boundsInOrder() const
{
    return groups[1].upperAge >= groups[0].upperAge && groups[2].upperAge >= groups[1].upperAge;
}

void ContentSettings::save(IniChanges& changes) const
{
    StationSettings::set(changes, StationSettings::Mainread, escapeLineBreaks(mainread));
    for (size_t i = 0; i < groups.size(); ++i) {
        const AgeGroup& group = groups[i];
        const StationSettings::AgeGroupKeys& keys = StationSettings::AgeGroups[i];
        StationSettings::set(changes, keys.addtext, escapeLineBreaks(group.addtext));
        StationSettings::set(changes, keys.agegroup, group.upperAge);
        StationSettings::set(changes, keys.readage, group.readAge);
    }
    StationSettings::set(changes, StationSettings::Company, company);
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
