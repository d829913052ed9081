#include "windowsettings.h"

#include "common/inifile.h"

#include <algorithm>

namespace {
const QString Window = QStringLiteral("Window");
}

WindowSettings WindowSettings::read(const IniFile& ini)
{
    WindowSettings settings;
    const int width = ini.readInteger(Window, QStringLiteral("Width"), 0);
    const int height = ini.readInteger(Window, QStringLiteral("Height"), 0);
    if (width > 0 && height > 0) {
        settings.geometry = QRect(ini.readInteger(Window, QStringLiteral("Left"), 0),
                                  ini.readInteger(Window, QStringLiteral("Top"), 0), width, height);
    }
    settings.maximized = ini.readBool(Window, QStringLiteral("Maximized"), false);
    settings.startHidden = ini.readBool(Window, QStringLiteral("StartHidden"), false);
    settings.trayNoticeShown = ini.readBool(Window, QStringLiteral("TrayNoticeShown"), false);
    return settings;
}

void WindowSettings::writeGeometry(IniFile& ini, const QRect& geometry, bool maximized)
{
    ini.writeInteger(Window, QStringLiteral("Left"), geometry.x());
    ini.writeInteger(Window, QStringLiteral("Top"), geometry.y());
    ini.writeInteger(Window, QStringLiteral("Width"), geometry.width());
    ini.writeInteger(Window, QStringLiteral("Height"), geometry.height());
    ini.writeBool(Window, QStringLiteral("Maximized"), maximized);
}

void WindowSettings::writeStartHidden(IniFile& ini, bool startHidden)
{
    ini.writeBool(Window, QStringLiteral("StartHidden"), startHidden);
}

void WindowSettings::writeTrayNoticeShown(IniFile& ini)
{
    ini.writeBool(Window, QStringLiteral("TrayNoticeShown"), true);
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
