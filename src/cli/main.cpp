// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-cli: the settings of many PV data loggers at once, from the command line.

#include "cli_app.h"
#include "secret_input.h"
#include "wire_text/wire_text.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    // Qt Core alone: report --pdf has its document painted by a program of its own.
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnwick-cli"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    // The loggers' code page, as the window takes it.
    if (const auto unknown = wire_text::SelectCodePageFromEnvironment()) {
        err << wire_text::kCodePageVariable << ": unknown code page \"" << *unknown
            << "\"; using the system's code page.\n";
    }
    cli::Console console{out, err, isatty(fileno(stderr)) == 1, cli::ReadSecretFromStandardInput};
    return cli::RunCli(QCoreApplication::arguments(), console);
}
