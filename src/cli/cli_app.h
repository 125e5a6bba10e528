// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <QTextStream>

#include <chrono>
#include <functional>
#include <optional>

namespace cli {

// Exit statuses: every logger succeeded, some logger failed, bad usage or input.
inline constexpr int kAllSucceeded = 0;
inline constexpr int kSomeFailed = 1;
inline constexpr int kBadUsage = 2;
// Ctrl+C or SIGTERM ended the run; the report says what was done.
inline constexpr int kInterrupted = 130;

struct Console {
    QTextStream &out;
    QTextStream &err;
    bool errIsTerminal = false; // a progress line only on a terminal
    // A secret asked for with the prompt, read from standard input; nothing when there
    // is none.
    std::function<std::optional<QString>(const QString &prompt)> readSecret;
    // While requests wait, the progress line is redrawn at this pace, with the time from
    // this clock (milliseconds since the run began; the run's own when not given).
    std::chrono::milliseconds progressPace{1000};
    std::function<qint64()> progressClock = {};
};

// Runs one verb of tarnwick-cli; `arguments` begin with the program name. Needs a
// QCoreApplication.
int RunCli(const QStringList &arguments, Console &console);

} // namespace cli
