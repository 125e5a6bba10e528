#pragma once

#include <QStringList>
#include <QTextStream>

namespace cli {

// Exit statuses: every logger succeeded, some logger failed, bad usage or input.
inline constexpr int kAllSucceeded = 0;
inline constexpr int kSomeFailed = 1;
inline constexpr int kBadUsage = 2;

struct Console {
    QTextStream &out;
    QTextStream &err;
    bool errIsTerminal = false; // a progress line only on a terminal
};

// Runs one verb of tarnwick-cli; `arguments` begin with the program name. Needs a
// QCoreApplication.
int RunCli(const QStringList &arguments, Console &console);

} // namespace cli
