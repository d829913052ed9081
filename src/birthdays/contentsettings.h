#pragma once

#include "composer.h"

#include <QString>
#include <QStringList>

#include <array>

class IniChanges;
class IniFile;

// The announcement content as setinfo.ini holds it: the fixed text, the three age groups and the
// organisation name. Loads with the content tab's defaults and saves in the tab's order.
struct ContentSettings
{
    QString mainread;
    std::array<AgeGroup, 3> groups;
    QString company;

    // The tab's default fixed text: the one start-up composes with.
    static const QString DefaultMainread;
    static constexpr int MinimumAge = 1;
    static constexpr int MaximumAge = 100;

    // As the tab shows it.
    static ContentSettings load(const IniFile& ini);
    // The three age groups as each composition reads them.
    static std::array<AgeGroup, 3> loadAgeGroups(const IniFile& ini);
    // Bounds in order (equal bounds allowed).
    bool boundsInOrder() const;
    // Mainread, then each group's addtext, Agegroup and Readage, then Company: the tab's save.
    void save(IniChanges& changes) const;
    // Labels of the texts that the settings file will give back cut (its 2047-byte limit).
    QStringList textsTooLong() const;

    // The text the composition uses: without leading and trailing blanks and control characters.
    static QString mainreadText(const QString& typed);
};
