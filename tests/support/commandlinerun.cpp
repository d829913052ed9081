#include "commandlinerun.h"

#include "common/clock.h"
#include "shell/commandline.h"

#include <QTextStream>

CommandLineRun runCommandLine(const QStringList& arguments, Clock* clock)
{
    CommandLineRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.code = CommandLine::parse(arguments).run(out, err, clock ? *clock : Clock::system());
    return run;
}
