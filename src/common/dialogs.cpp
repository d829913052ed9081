#include "dialogs.h"

#include <QTextStream>

Dialogs::~Dialogs() = default;

bool Dialogs::detailedMessage(Icon icon, const QString& caption, const QString& text, const QString&, Buttons buttons)
{
    return message(icon, caption, text, buttons);
}

bool ConsoleDialogs::detailedMessage(Icon icon, const QString& caption, const QString& text, const QString& details,
                                     Buttons buttons)
{
    return message(icon, caption, details.isEmpty() ? text : text + QLatin1Char(' ') + details, buttons);
}

bool ConsoleDialogs::message(Icon, const QString& caption, const QString& text, Buttons)
{
    QTextStream(stderr) << caption << ": " << text << Qt::endl;
    return false;
}
