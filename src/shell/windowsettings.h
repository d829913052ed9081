#pragma once

#include <QRect>
#include <QSize>

class IniChanges;
class IniFile;

// The main window's keys of setinfo.ini (section [Window], see StationSettings): where the window was
// and how the station starts.
struct WindowSettings
{
    QRect geometry; // invalid when never stored
    bool maximized = false;
    bool startHidden = false;
    bool trayNoticeShown = false;

    static WindowSettings read(const IniFile& ini);
    // The geometry's keys, for the save action that writes them (alone or with the close's keys).
    static void setGeometry(IniChanges& changes, const QRect& geometry, bool maximized);

    // Where a window of that geometry goes on a screen with that available area: never larger than the
    // area (nor smaller than minimum, unless the area is), wholly inside it. An invalid geometry (none
    // stored) takes the preferred size, centred.
    static QRect fitted(const QRect& geometry, const QSize& preferred, const QSize& minimum, const QRect& available);
};
