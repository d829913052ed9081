#pragma once

#include <QRect>
#include <QSize>

class IniFile;

// The main window's own keys of setinfo.ini, all in section [Window]: where the window was and how
// the station starts. A section of their own: the older sections stay exactly as they were.
//   Left, Top, Width, Height   the normal (not maximised) geometry, in device-independent pixels
//   Maximized                  1 when the window was maximised
//   StartHidden                1: start with the window hidden in the tray (like --minimized)
//   TrayNoticeShown            1 once the first close to the tray has said that the station keeps running
struct WindowSettings
{
    QRect geometry; // invalid when never stored
    bool maximized = false;
    bool startHidden = false;
    bool trayNoticeShown = false;

    static WindowSettings read(const IniFile& ini);
    // Each throws RuntimeError naming the file when the write is refused.
    static void writeGeometry(IniFile& ini, const QRect& geometry, bool maximized);
    static void writeStartHidden(IniFile& ini, bool startHidden);
    static void writeTrayNoticeShown(IniFile& ini);

    // Where a window of that geometry goes on a screen with that available area: never larger than the
    // area (nor smaller than minimum, unless the area is), wholly inside it. An invalid geometry (none
    // stored) takes the preferred size, centred.
    static QRect fitted(const QRect& geometry, const QSize& preferred, const QSize& minimum, const QRect& available);
};
