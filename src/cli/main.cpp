// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-cli: the settings of many PV data loggers at once, from the command line.

#include "cli_app.h"
#include "secret_input.h"
#include "wire_text/wire_text.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

int main(int argc, char *argv[])
{
    // Only report --pdf paints: Qt GUI on the offscreen platform, so that it needs no display.
    const bool paints = argc > 2 && std::strcmp(argv[1], "report") == 0 &&
                        std::any_of(argv + 2, argv + argc, [](const char *argument) {
                            return std::strncmp(argument, "--pdf", 5) == 0;
                        });
#ifndef Q_OS_WIN
    // Windows' own platform needs no display; elsewhere one may be missing.
    if (paints) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
#endif
    const std::unique_ptr<QCoreApplication> application =
        paints ? std::make_unique<QGuiApplication>(argc, argv)
               : std::make_unique<QCoreApplication>(argc, argv);
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
