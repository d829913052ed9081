#include "services.h"

#include "clock.h"
#include "desktop.h"
#include "dialogs.h"

Clock& Services::clockOrSystem() const
{
    return clock ? *clock : Clock::system();
}

Dialogs& Services::dialogsOrConsole() const
{
    static ConsoleDialogs console;
    return dialogs ? *dialogs : console;
}

Desktop& Services::desktopOrNone() const
{
    static NoDesktop none;
    return desktop ? *desktop : none;
}
