#include "desktop.h"

#include <atomic>

namespace {
std::atomic<Desktop*> g_desktop { nullptr };
}

Desktop::~Desktop() = default;

Desktop& Desktop::instance()
{
    static NoDesktop none;
    Desktop* desktop = g_desktop.load();
    return desktop ? *desktop : none;
}

void Desktop::setInstance(Desktop* desktop)
{
    g_desktop.store(desktop);
}
