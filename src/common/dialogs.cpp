#include "dialogs.h"

#include <QTextStream>

#include <atomic>

namespace {
std::atomic<Dialogs*> g_dialogs { nullptr };
}

Dialogs::~Dialogs() = default;

Dialogs& Dialogs::instance()
{
    static ConsoleDialogs console;
    Dialogs* dialogs = g_dialogs.load();
    return dialogs ? *dialogs : console;
}

void Dialogs::setInstance(Dialogs* dialogs)
{
    g_dialogs.store(dialogs);
}

bool ConsoleDialogs::message(Icon, const QString& caption, const QString& text, Buttons)
{
    QTextStream(stderr) << caption << ": " << text << Qt::endl;
    return false;
}
