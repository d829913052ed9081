#include "stationsettings.h"

#include "inifile.h"

#include <QFileInfo>
#include <QString>

namespace StationSettings {

int read(const IniFile& ini, const IntegerKey& key)
{
    return ini.readInteger(key.section.toString(), key.name.toString(), key.defaultValue);
}

int readWithin(const IniFile& ini, const IntegerKey& key)
{
    return qBound(key.minimum, read(ini, key), key.maximum);
}

bool read(const IniFile& ini, const BooleanKey& key)
{
    return ini.readBool(key.section.toString(), key.name.toString(), key.defaultValue);
}

QString read(const IniFile& ini, const TextKey& key)
{
    return read(ini, key, key.defaultValue.toString());
}

QString read(const IniFile& ini, const TextKey& key, const QString& defaultValue)
{
    return ini.readString(key.section.toString(), key.name.toString(), defaultValue);
}

bool has(const IniFile& ini, const TextKey& key)
{
    return ini.hasKey(key.section.toString(), key.name.toString());
}

void set(IniChanges& changes, const IntegerKey& key, int value)
{
    changes.setInteger(key.section.toString(), key.name.toString(), value);
}

void set(IniChanges& changes, const BooleanKey& key, bool value)
{
    changes.setBool(key.section.toString(), key.name.toString(), value);
}

void set(IniChanges& changes, const TextKey& key, const QString& value)
{
    changes.setString(key.section.toString(), key.name.toString(), value);
}

QString musicFolder(const IniFile& ini, const QString& programFolder)
{
    // A folder chosen by the user comes first, as long as it is there.
    const QString stored = read(ini, Mp3bj);
    if (!stored.isEmpty() && QFileInfo(stored).isDir()) {
        return stored;
    }
    // Without one (or when it has gone) the music folder beside the program, which a fresh install
    // ships; the program folder itself only when there is none.
    if (QFileInfo(programFolder + QStringLiteral("mp3files")).isDir()) {
        return programFolder + QStringLiteral("mp3files");
    }
    return programFolder;
}

} // namespace StationSettings
