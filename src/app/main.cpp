// SPDX-License-Identifier: GPL-3.0-or-later
#include "wire_text/wire_text.h"
#include "tarnwick_version.h"
#include "ui/main_window.h"
#include "ui/message_box_notifier.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    QApplication::setApplicationVersion(QStringLiteral(TARNWICK_VERSION));
    // --help and --version print and end; Qt's own options (-platform) are taken before.
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Finds the PV data loggers on the LAN and reads or writes their settings."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(application);
    const auto unknownCodePage = wire_text::SelectCodePageFromEnvironment();

    MessageBoxNotifier notifier;
    MainWindow window(notifier);
    notifier.setParent(&window);
    window.show();
    if (unknownCodePage) {
        // Said in the window on every system: a Windows program has no console to read.
        std::fprintf(stderr, "%s: unknown code page \"%s\"; using the system's code page.\n",
                     wire_text::kCodePageVariable, qPrintable(*unknownCodePage));
        window.reportUnknownCodePage(*unknownCodePage);
    }
    return QApplication::exec();
}
