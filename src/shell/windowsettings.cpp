#include "windowsettings.h"

#include "common/inifile.h"
#include "common/stationsettings.h"

#include <algorithm>

WindowSettings WindowSettings::read(const IniFile& ini)
{
    namespace S = StationSettings;
    WindowSettings settings;
    const int width = S::read(ini, S::WindowWidth);
    const int height = S::read(ini, S::WindowHeight);
    if (width > 0 && height > 0) {
        settings.geometry = QRect(S::read(ini, S::WindowLeft), S::read(ini, S::WindowTop), width, height);
    }
    settings.maximized = S::read(ini, S::WindowMaximized);
    settings.startHidden = S::read(ini, S::StartHidden);
    settings.trayNoticeShown = S::read(ini, S::TrayNoticeShown);
    return settings;
}

void WindowSettings::setGeometry(IniChanges& changes, const QRect& geometry, bool maximized)
{
    using namespace StationSettings;
    set(changes, WindowLeft, geometry.x());
    set(changes, WindowTop, geometry.y());
    set(changes, WindowWidth, geometry.width());
    set(changes, WindowHeight, geometry.height());
    set(changes, WindowMaximized, maximized);
}

QRect WindowSettings::fitted(const QRect& geometry, const QSize& preferred, const QSize& minimum,
                             const QRect& available)
{
    if (!available.isValid()) {
        return geometry.isValid() ? geometry : QRect(QPoint(0, 0), preferred);
    }
    QSize size = geometry.isValid() ? geometry.size() : preferred;
    size = size.expandedTo(minimum).boundedTo(available.size());
    QRect placed(geometry.isValid() ? geometry.topLeft() : QPoint(), size);
    if (!geometry.isValid()) {
        placed.moveCenter(available.center());
    }
    // Pulled wholly onto the area: a screen that went away or shrank leaves no window out of reach.
    placed.moveLeft(std::clamp(placed.left(), available.left(), available.right() - size.width() + 1));
    placed.moveTop(std::clamp(placed.top(), available.top(), available.bottom() - size.height() + 1));
    return placed;
}
