#include "dialogs.h"

#include <QTextStream>

Dialogs::~Dialogs() = default;

bool ConsoleDialogs::message(Icon, const QString& caption, const QString& text, Buttons)
{
    QTextStream(stderr) << caption << ": " << text << Qt::endl;
    return false;
}
