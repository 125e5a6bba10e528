// tarnwick-cli: the settings of many PV data loggers at once, from the command line.

#include "cli_app.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnwick-cli"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    cli::Console console{out, err, isatty(fileno(stderr)) == 1};
    return cli::RunCli(QCoreApplication::arguments(), console);
}
