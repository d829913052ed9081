#include "commandlinerun.h"

#include "shell/commandline.h"

#include <QTextStream>

CommandLineRun runCommandLine(const QStringList& arguments)
{
    CommandLineRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.code = CommandLine::parse(arguments).run(out, err);
    return run;
}
