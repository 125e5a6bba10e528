// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-cli: the settings of many PV data loggers at once, from the command line.

#include "cli_app.h"
#include "secret_input.h"
#include "wire_text/wire_text.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <unistd.h>

int main(int argc, char *argv[])
{
    // Only report --pdf paints: Qt GUI on the offscreen platform, so that it needs no display.
    const bool paints = argc > 2 && std::strcmp(argv[1], "report") == 0 &&
                        std::any_of(argv + 2, argv + argc, [](const char *argument) {
                            return std::strncmp(argument, "--pdf", 5) == 0;
                        });
    // Qt GUI looks up the user's runtime directory and warns when the session names none
    // (a cron job, a container): this run then has a private one of its own, which goes
    // with it.
    std::optional<QTemporaryDir> runtimeDirectory;
#ifndef Q_OS_WIN
    // Windows' own platform needs no display; elsewhere one may be missing.
    if (paints) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") &&
            runtimeDirectory.emplace().isValid()) {
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDirectory->path()));
        }
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
