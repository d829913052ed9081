#pragma once

#include <QString>
#include <QStringList>

// What the command line printed and returned, run inside the test (on progdir()'s folder).
struct CommandLineRun
{
    int code = -1;
    QString out;
    QString err;
};

class Clock;

// clock: the machine's when null.
CommandLineRun runCommandLine(const QStringList& arguments, Clock* clock = nullptr);
