#pragma once

#include <QString>
#include <QStringList>

#include <array>

class IniFile;

// The announcement content as setinfo.ini holds it: the fixed text, the three age groups and the
// organisation name. Loads with the content tab's defaults and saves in the tab's order.
struct ContentSettings
{
    struct AgeGroup
    {
        int agegroup = 0; // upper age bound, 1..100
        bool readage = false; // speak the age
        QString addtext; // greeting text, exactly as typed
    };

    QString mainread;
    std::array<AgeGroup, 3> groups;
    QString company;

    // The tab's default fixed text (longer than start-up's: it begins with "的生日，").
    static const QString DefaultMainread;
    static constexpr int MinimumAge = 1;
    static constexpr int MaximumAge = 100;

    static ContentSettings load(const IniFile& ini);
    // Bounds in order (equal bounds allowed).
    bool boundsInOrder() const;
    // Writes Mainread, then each group's addtext, Agegroup and Readage, then Company. Throws
    // RuntimeError naming the file when a write is refused.
    void save(IniFile& ini) const;
    // Labels of the texts that the settings file will give back cut (its 2047-byte limit).
    QStringList textsTooLong() const;

    // The text the composition uses: without leading and trailing blanks and control characters.
    static QString mainreadText(const QString& typed);
};
