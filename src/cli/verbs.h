// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCommandLineParser>
#include <QString>

namespace cli {

class Session;

// One verb of tarnwick-cli: its name and help, the options it takes besides the run
// options, and what it does. A verb checks every value before it opens the sockets, so a
// refused value sends nothing.
struct Verb {
    const char *name;
    const char *synopsis;
    QString description;
    void (*addOptions)(QCommandLineParser &parser);
    int (*run)(const QCommandLineParser &parser, Session &session);
    // Whether it works on many loggers at once, and so offers --parallel.
    bool manyLoggers = true;
};

Verb SearchVerb();
Verb ReadVerb();
Verb WriteVerb();
Verb BackupVerb();
Verb ApplyVerb();
Verb WatchVerb();
Verb CommissionVerb();
Verb ReportVerb();

} // namespace cli
